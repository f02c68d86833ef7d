// Real files in a fresh temporary folder. CFile and CFastFile are run through the same cases where
// they promise the same; the randomized cases compare every step with a std::string model.
#include "files/fast_file.h"
#include "files/file.h"
#include "files/small_file.h"
#include "files/file_writer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using files::CFastFile;
using files::CFile;
using files::IFile;

const int rw = files::mode_read | files::mode_write;
const std::int64_t page = CFastFile::page_size;

std::string disk(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put_disk(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

// What the system holds for an open file, read through its own handle; the file pointer is kept.
std::string disk(void* handle) {
    LARGE_INTEGER size, zero, old;
    zero.QuadPart = 0;
    EXPECT_TRUE(GetFileSizeEx(handle, &size) && SetFilePointerEx(handle, zero, &old, FILE_CURRENT));
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    OVERLAPPED at = {};
    DWORD got = 0;
    EXPECT_TRUE(bytes.empty() || ReadFile(handle, &bytes[0], static_cast<DWORD>(bytes.size()), &got, &at));
    SetFilePointerEx(handle, old, nullptr, FILE_BEGIN);
    return bytes;
}

std::string text(memory::SuperChunkedMemory<char>& chars) {
    chars.linearize(0);
    return std::string(chars.data() ? chars.data() : "", chars.length());
}

std::unique_ptr<IFile> make(bool fast) {
    return fast ? std::unique_ptr<IFile>(new CFastFile) : std::unique_ptr<IFile>(new CFile);
}

class Files : public ::testing::Test {
protected:
    Files() {
        static int serial = 0;
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        folder_ = std::string(base) + "pelikant_files_" + std::to_string(GetCurrentProcessId()) + "_" +
                  std::to_string(++serial) + "\\";
        EXPECT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    }
    ~Files() override {
        for (const std::string& name : names_) {
            DeleteFileA(name.c_str());
        }
        EXPECT_TRUE(RemoveDirectoryA(folder_.c_str()));
    }
    std::string path(const std::string& name) {
        names_.push_back(folder_ + name);
        return names_.back();
    }

    std::string folder_;
    std::vector<std::string> names_;
};

TEST_F(Files, CreateOpenAndShare) {
    struct Case {
        bool exists, use_open, flag, ok;
        std::int64_t size;
    };
    const Case cases[] = {{true, false, true, true, 0},   {true, false, false, false, -1},
                          {false, false, false, true, 0}, {false, true, false, false, -1},
                          {false, true, true, true, 0},   {true, true, false, true, 3},
                          {true, true, true, true, 3}};
    int n = 0;
    for (bool fast : {false, true}) {
        for (const Case& c : cases) {
            std::string name = path("d" + std::to_string(n++));
            if (c.exists) {
                put_disk(name, "abc");
            }
            auto file = make(fast);
            SCOPED_TRACE(n);
            EXPECT_EQ(c.use_open ? file->open(name.c_str(), rw, c.flag)
                                 : file->create(name.c_str(), rw, c.flag),
                      c.ok);
            EXPECT_EQ(file->size(), c.size);
            EXPECT_EQ(file->tell(), c.ok ? 0 : -1);
            EXPECT_TRUE(file->close());
            EXPECT_EQ(GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES, c.exists || c.ok);
            EXPECT_EQ(disk(name), c.exists && c.size != 0 ? "abc" : "");
        }
    }
    using namespace files;
    struct Share {
        bool fast;
        int first, second;
        bool second_ok;
    };
    const Share shares[] = {
        {false, mode_read, mode_read | share_read | share_write, false},
        {false, mode_read | share_read, mode_read | share_read, true},
        {false, mode_read | share_read, mode_write | share_read, false},
        {false, mode_read | share_read | share_write, mode_write | share_read | share_write, true},
        {false, mode_write | share_read | share_write, mode_read | share_read, false},
        // Others would not see the pages, so CFastFile never shares.
        {true, rw | share_read | share_write, mode_read | share_read | share_write, false},
    };
    for (const Share& c : shares) {
        auto first = make(c.fast);
        ASSERT_TRUE(first->open(path("shared").c_str(), c.first, true));
        EXPECT_EQ(CFile().open(path("shared").c_str(), c.second, false), c.second_ok)
            << c.first << " " << c.second;
    }
}

TEST_F(Files, ClosedOrUnnamedFilesFail) {
    for (bool fast : {false, true}) {
        auto file = make(fast);
        EXPECT_FALSE(file->open(string::weak_string<char>(), rw, true));
        for (int round = 0; round < 2; ++round) { // never opened, then closed
            memory::ChunkedMemory<char, 16> chars;
            string::basic_string<char> line;
            std::int64_t at = 5;
            char c = 0;
            EXPECT_TRUE(file->size() == -1 && file->tell() == -1 && !file->is_open());
            EXPECT_FALSE(file->seek_to(0, &at, files::from_start) || file->seek(0, files::from_end));
            EXPECT_EQ(at, -1);
            EXPECT_FALSE(file->set_size(0) || file->truncate() || file->flush() || file->read_byte(&c));
            EXPECT_FALSE(file->read_append(10, chars) || file->read_line(line) || file->read_last_line(line));
            EXPECT_EQ(file->write("abc", 3), 0);
            EXPECT_TRUE(file->close());
            ASSERT_TRUE(file->create(path("closed").c_str(), rw, true));
            EXPECT_EQ(file->write("abc", 3), 3);
            EXPECT_TRUE(file->close());
        }
    }
}

TEST_F(Files, Lines) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
        bool last_ok;
        std::string last;
        std::int64_t last_start;
    };
    const std::string l(5000, 'q');
    const Case cases[] = {
        {"A\r\nB", {"A", "B"}, true, "B", 3},
        {"A\nBB\nC", {"A", "BB", "C"}, true, "C", 5},
        {"A\n", {"A"}, true, "", 2},
        {"\nB", {"", "B"}, true, "B", 1},
        {"\r\nB", {"", "B"}, true, "B", 2},
        {"A\n\n\nB\r\n", {"A", "", "", "B"}, true, "", 7},
        {"", {}, false, "", 0},
        {"A\rB\r\nC\r", {"AB", "C"}, true, "C", 5},
        {l + "\n" + l, {l, l}, true, l, 5001},
    };
    for (bool fast : {false, true}) {
        for (const Case& c : cases) {
            std::string name = path("lines");
            put_disk(name, c.bytes);
            auto file = make(fast);
            ASSERT_TRUE(file->open(name.c_str(), files::mode_read, false));
            std::vector<std::string> lines;
            string::basic_string<char> line(">");
            while (file->read_line(line) && lines.size() < 10) {
                ASSERT_EQ(line.c_str()[0], '>'); // appended to what was there
                lines.push_back(line.c_str() + 1);
                line = ">";
            }
            EXPECT_EQ(lines, c.lines) << fast << " " << c.bytes.size();
            EXPECT_EQ(file->tell(), static_cast<std::int64_t>(c.bytes.size()));
            line = "<";
            EXPECT_EQ(file->read_last_line(line), c.last_ok);
            EXPECT_EQ(std::string(line.c_str()), c.last + "<") << "prepended to what was there";
            EXPECT_EQ(file->tell(), c.last_start);
        }
    }
}

TEST_F(Files, FastSeekStaysInsideFile) {
    // {offset, origin, ok, position} from position 1000 of 3000; origin 9 counts as 1.
    const std::int64_t cases[][4] = {{3000, 0, 1, 3000}, {3001, 0, 0, 1000}, {-1, 0, 0, 1000},
                                     {0, 2, 1, 3000},    {1, 2, 0, 1000},    {-3000, 2, 1, 0},
                                     {2001, 1, 0, 1000}, {5, 9, 1, 1005},    {INT64_MAX, 1, 0, 1000}};
    std::string name = path("seek");
    put_disk(name, std::string(3000, 's'));
    CFastFile file;
    ASSERT_TRUE(file.open(name.c_str(), files::mode_read, false));
    for (const auto& c : cases) {
        std::int64_t reached = 7;
        ASSERT_TRUE(file.seek(1000, files::from_start));
        EXPECT_EQ(file.seek_to(c[0], &reached, static_cast<int>(c[1])), c[2] != 0) << c[0] << " " << c[1];
        EXPECT_EQ(reached, c[2] ? c[3] : -1);
        EXPECT_EQ(file.tell(), c[3]);
    }
}

TEST_F(Files, FastPagesReachDiskOnlyWhenWrittenBack) {
    std::string name = path("pages");
    std::string model(8192, 'a');
    put_disk(name, model);
    CFastFile file;
    ASSERT_TRUE(file.open(name.c_str(), rw, false));
    ASSERT_TRUE(file.seek(2000, files::from_start));
    ASSERT_EQ(file.write(std::string(100, 'b').data(), 100), 100); // across a page boundary
    model.replace(2000, 100, 100, 'b');
    // Regions 2048 apart use different pages: alternating between them writes nothing back.
    for (int round = 0; round < 50; ++round) {
        for (std::int64_t at : {page * 0 + 100 + round, page + 100 + round}) {
            char c = static_cast<char>('A' + round % 26), back = 0;
            ASSERT_TRUE(file.seek(at + 1, files::from_start) && file.read_byte(&back));
            ASSERT_EQ(back, model[at + 1]);
            ASSERT_TRUE(file.seek(at, files::from_start) && file.write(&c, 1) == 1);
            model[at] = c;
        }
    }
    EXPECT_EQ(disk(file.file().handle()), std::string(8192, 'a'));
    // Regions 4096 apart share a page: the switch writes the first page back.
    ASSERT_TRUE(file.seek(4106, files::from_start) && file.write("x", 1) == 1);
    model[4106] = 'x';
    EXPECT_EQ(disk(file.file().handle()), model.substr(0, 2048) + std::string(6144, 'a'));
    EXPECT_TRUE(file.close());
    EXPECT_EQ(disk(name), model);
}

TEST_F(Files, FastSetSizeInsideCachedPage) {
    std::string name = path("cut");
    std::string bytes;
    for (int i = 0; i < 5000; ++i) {
        bytes += static_cast<char>('a' + i % 26);
    }
    put_disk(name, bytes);
    CFastFile file;
    ASSERT_TRUE(file.open(name.c_str(), rw, false));
    ASSERT_TRUE(file.seek(4200, files::from_start) && file.write("XYZ", 3) == 3);
    ASSERT_TRUE(file.set_size(4300));
    EXPECT_TRUE(file.size() == 4300 && file.tell() == 4300);
    std::string expected = bytes.substr(0, 4200) + "XYZ" + bytes.substr(4203, 97);
    // Growing again shows zeros, not the bytes cut off before.
    for (std::int64_t n : {4300, 4400}) {
        ASSERT_TRUE(file.set_size(n));
        expected.resize(n, '\0');
        memory::ChunkedMemory<char, 64> chars;
        ASSERT_TRUE(file.seek(4096, files::from_start) && file.read_append(1000, chars));
        EXPECT_EQ(text(chars), expected.substr(4096));
    }
    EXPECT_TRUE(file.close());
    EXPECT_EQ(disk(name), expected);
}

TEST_F(Files, AccessFollowsMode) {
    std::string name = path("mode");
    std::string bytes(3000, 'w');
    char c;
    CFastFile file; // write-only still loads pages
    ASSERT_TRUE(file.create(name.c_str(), files::mode_write, true));
    EXPECT_EQ(file.write(bytes.data(), 3000), 3000);
    ASSERT_TRUE(file.seek(2040, files::from_start) && file.write("0123456789", 10) == 10);
    bytes.replace(2040, 10, "0123456789");
    ASSERT_TRUE(file.seek(0, files::from_start));
    EXPECT_FALSE(file.read_byte(&c));
    EXPECT_TRUE(file.close());
    ASSERT_TRUE(file.open(name.c_str(), files::mode_read, false));
    EXPECT_FALSE(file.write("z", 1) || file.set_size(10) || file.truncate());
    EXPECT_TRUE(file.read_byte(&c) && c == 'w' && file.flush() && file.close());
    CFile plain;
    ASSERT_TRUE(plain.open(name.c_str(), files::mode_read, false) && plain.seek(5, files::from_start));
    EXPECT_FALSE(plain.write("z", 1) || plain.set_size(10) || plain.truncate());
    EXPECT_EQ(plain.tell(), 5) << "a failed set_size goes back";
    plain.close();
    EXPECT_EQ(disk(name), bytes);
}

TEST_F(Files, PositionsBeyondFourGigabytes) {
    const std::int64_t big = (std::int64_t(5) << 30) + 7;
    std::string name = path("big");
    CFile plain;
    ASSERT_TRUE(plain.create(name.c_str(), rw, true) && plain.set_size(big) &&
                plain.seek(-8, files::from_end));
    ASSERT_EQ(plain.write("\nxyz", 4), 4);
    EXPECT_EQ(plain.tell(), big - 4);
    plain.close();
    CFastFile fast;
    memory::ChunkedMemory<char, 16> chars;
    ASSERT_TRUE(fast.open(name.c_str(), rw, false) && fast.size() == big);
    ASSERT_TRUE(fast.seek(-8, files::from_end) && fast.read_append(100, chars));
    EXPECT_EQ(text(chars), std::string("\nxyz\0\0\0\0", 8));
    EXPECT_TRUE(fast.write("!", 1) == 1 && fast.size() == big + 1 && fast.close());
    string::basic_string<char> line;
    ASSERT_TRUE(plain.open(name.c_str(), files::mode_read, false) && plain.read_last_line(line));
    EXPECT_EQ(std::string(line.c_str(), line.length()), std::string("xyz\0\0\0\0!", 8));
    EXPECT_EQ(plain.tell(), big - 7);
}

// Under Wine, Z:\dev\full reads as zeros and refuses every write, as a full disk does.
TEST_F(Files, FailedWritesAreReportedAndKept) {
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
        GTEST_SKIP() << "needs Wine's Z:\\dev\\full";
    }
    const char* full = "Z:\\dev\\full";
    CFile plain;
    ASSERT_TRUE(plain.open(full, rw, false));
    EXPECT_EQ(plain.write("abc", 3), 0);
    CFastFile fast;
    ASSERT_TRUE(fast.open(full, rw, false));
    std::string bytes;
    for (int i = 0; i < 6000; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    // Two pages fill without giving up either; the device's bytes past the end never show.
    EXPECT_EQ(fast.write(bytes.data(), page + 100), page + 100);
    char c;
    EXPECT_FALSE(fast.read_byte(&c) || fast.flush() || fast.flush());
    // A third page needs the first one's place, which a failed write-back does not give up.
    EXPECT_EQ(fast.write(bytes.data() + page + 100, 5000), page - 100);
    memory::ChunkedMemory<char, 16> chars;
    ASSERT_TRUE(fast.seek(0, files::from_start) && fast.read_append(10000, chars));
    EXPECT_EQ(text(chars), bytes.substr(0, 2 * page));
    EXPECT_FALSE(fast.close());
    // Nothing of those pages may reach the next file.
    std::string name = path("after_full");
    put_disk(name, "next");
    chars.clear();
    ASSERT_TRUE(fast.open(name.c_str(), rw, false) && fast.read_append(100, chars));
    EXPECT_EQ(text(chars), "next");
    EXPECT_TRUE(fast.close());
    EXPECT_EQ(disk(name), "next");
}

std::wstring wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

TEST_F(Files, SmallFileReadsUpToItsCap) {
    struct Case {
        std::string name;
        const std::string* bytes; // null: no such file
        std::int64_t cap;
        files::ReadOutcome outcome;
    };
    const std::string ten = "0123456789", none;
    const Case cases[] = {
        {"missing", nullptr, 10, files::READ_MISSING},
        {"no_folder\\file", nullptr, 10, files::READ_MISSING},
        {"empty", &none, 0, files::READ_OK},
        {"at_cap", &ten, 10, files::READ_OK},
        {"over_cap", &ten, 9, files::READ_TOO_BIG},
        {"", &none, 10, files::READ_FAILED}, // the folder itself
    };
    for (const Case& c : cases) {
        const std::string name = c.name.empty() ? folder_.substr(0, folder_.size() - 1) : path(c.name);
        if (c.bytes && !c.name.empty()) {
            put_disk(name, *c.bytes);
        }
        std::string out = "stale";
        EXPECT_EQ(files::read_small_file(wide(name), c.cap, out), c.outcome) << c.name;
        EXPECT_EQ(out, c.outcome == files::READ_OK ? *c.bytes : "") << c.name;
    }
}

TEST_F(Files, AtomicWriteReplacesTheFileOrLeavesItWhole) {
    const std::string name = path("state");
    const std::wstring target = wide(name);
    const std::string second("second\0", 7);
    EXPECT_TRUE(files::write_file_atomically(target, "first"));
    EXPECT_EQ(disk(name), "first");
    EXPECT_TRUE(files::write_file_atomically(target, second));
    EXPECT_EQ(disk(name), second);
    // Stopped between the temporary and the replacement, as by a crash or a power cut.
    bool stopped = false;
    EXPECT_FALSE(files::write_file_atomically(target, "third", [&](const std::wstring& temporary) {
        stopped = true;
        EXPECT_EQ(disk(std::string(temporary.begin(), temporary.end())), "third");
        EXPECT_EQ(disk(name), second);
        return false;
    }));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(disk(name), second);
    // The temporary stays, whole: the newest state, for the next start to find.
    EXPECT_EQ(disk(name + ".tmp"), "third");
    // Held open by another program, the file cannot be replaced: the same.
    const HANDLE held =
        CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(files::write_file_atomically(target, "fourth"));
    CloseHandle(held);
    EXPECT_EQ(disk(name), second);
    EXPECT_EQ(disk(name + ".tmp"), "fourth");
    EXPECT_TRUE(files::write_file_atomically(target, "fifth"));
    EXPECT_EQ(disk(name), "fifth");
    EXPECT_EQ(GetFileAttributesA((name + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(files::write_file_atomically(wide(path("no_folder\\state")), "x"));
    std::wstring folder;
    ASSERT_TRUE(files::local_app_folder(folder));
    EXPECT_EQ(folder.substr(folder.size() - 9), L"\\Pelikant");
    EXPECT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// The writer on its own thread: writes come at most once per interval, the latest content
// winning; a failed write stays pending and is tried again after growing waits, with no further
// content; a flush skips the waits; the end waits for a slow write only as long as it was told.
TEST(FileWriter, PacesWritesAndNeverCountsAFailedOneAsWritten) {
    kernel::CCriticalSection lock;
    std::vector<std::string> written; // guarded by lock, as the two below
    std::vector<DWORD> tries;
    int failures = 0;
    DWORD block_ms = 0;
    const auto set = [&](int fail, DWORD block) {
        kernel::CLock guard(lock);
        failures = fail;
        block_ms = block;
        tries.clear();
    };
    files::RWritePace pace;
    pace.min_interval_ms = 300;
    pace.first_retry_ms = 100;
    pace.max_retry_ms = 400;
    files::CFileWriter writer(L"unused", nullptr, pace, [&](const std::wstring&, const std::string& bytes) {
        DWORD wait_ms = 0;
        {
            kernel::CLock guard(lock);
            tries.push_back(GetTickCount());
            if (failures > 0) {
                --failures;
                return false;
            }
            written.push_back(bytes);
            wait_ms = block_ms;
        }
        Sleep(wait_ms); // a slow disk, unlocked
        return true;
    });
    const auto last = [&] {
        for (int n = 0; n < 300 && writer.pending(); ++n) {
            Sleep(10);
        }
        kernel::CLock guard(lock);
        return written.back();
    };
    writer.write("1");
    EXPECT_EQ(last(), "1");
    for (const char* text : {"2", "3", "4"}) {
        writer.write(text); // within the interval after "1"
    }
    EXPECT_EQ(last(), "4");
    EXPECT_EQ(written.size(), 2u);

    set(4, 0);
    writer.write("5");
    EXPECT_EQ(last(), "5") << "a failed write was counted as written";
    {
        kernel::CLock guard(lock);
        ASSERT_EQ(tries.size(), 5u);
        // Each wait at least as long as the pace says (a timer may only come late).
        const DWORD waits[] = {100, 200, 400, 400};
        for (size_t n = 1; n < tries.size(); ++n) {
            EXPECT_GE(tries[n] - tries[n - 1] + 20, waits[n - 1]) << "try " << n;
        }
    }
    set(1000, 0);
    writer.write("6");
    Sleep(400);
    EXPECT_TRUE(writer.failing() && writer.pending());
    set(0, 0);
    EXPECT_TRUE(writer.flush(300)) << "the flush waited for the pace";
    set(0, 5000);
    writer.write("7");
    const DWORD before = GetTickCount();
    writer.finish(300);
    EXPECT_LT(GetTickCount() - before, 2000u) << "the end waited for a slow write";
    writer.write("8");
    Sleep(100);
    kernel::CLock guard(lock);
    EXPECT_EQ(written.back(), "7") << "the end's one attempt, and nothing after it";
}

// Random steps checked against a model; positions gather around page boundaries.
void random_steps(const std::string& name, bool fast, unsigned seed) {
    std::mt19937 random(seed);
    auto below = [&](std::int64_t n) { return static_cast<std::int64_t>(random() % (n > 0 ? n : 1)); };
    std::string model;
    for (std::int64_t n = below(3 * page); n > 0; --n) {
        model += static_cast<char>(random());
    }
    model += "\r\n12\n\n3";
    put_disk(name, model);
    auto file = make(fast);
    ASSERT_TRUE(file->open(name.c_str(), rw, false));
    std::int64_t position = 0;
    auto size = [&] { return static_cast<std::int64_t>(model.size()); };
    auto somewhere = [&]() -> std::int64_t {
        if (random() % 4 == 0) {
            return below(size() + 6);
        }
        return std::max<std::int64_t>(0, below(size() / page + 2) * page + below(7) - 3);
    };
    for (int step = 0; step < 2500; ++step) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
        int op = static_cast<int>(random() % 20);
        if (op < 5) {
            std::int64_t target = somewhere();
            int origin = static_cast<int>(random() % 4);
            std::int64_t base = origin == 0 ? 0 : origin == 2 ? size() : position;
            std::int64_t reached = 0;
            bool ok = target >= 0 && (!fast || (target <= size() && !(origin == 2 && target > base)));
            ASSERT_EQ(file->seek_to(target - base, &reached, origin), ok);
            position = ok ? target : position;
            ASSERT_EQ(reached, ok ? target : -1);
        } else if (op < 7) {
            char c = 0;
            bool ok = position < size();
            ASSERT_EQ(file->read_byte(&c), ok);
            if (ok) {
                ASSERT_EQ(c, model[position++]);
            }
        } else if (op < 10) {
            std::int64_t count = below(2 * page + 10);
            memory::ChunkedMemory<char, 128> chars;
            chars.push_back('#');
            std::int64_t got = std::max<std::int64_t>(0, std::min(count, size() - position));
            ASSERT_EQ(file->read_append(count, chars), got > 0);
            ASSERT_TRUE(text(chars) == "#" + (got > 0 ? model.substr(position, got) : ""));
            position += got;
        } else if (op < 14) {
            std::string bytes(static_cast<size_t>(1 + below(op == 13 ? 3 * page : 20)), '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            ASSERT_EQ(file->write(bytes.data(), bytes.size()), static_cast<std::int64_t>(bytes.size()));
            if (position > size()) {
                model.resize(position, '\0');
            }
            model.replace(position, std::min(bytes.size(), model.size() - position), bytes);
            position += bytes.size();
        } else if (op < 16) {
            std::int64_t n = op == 14 ? somewhere() : position;
            ASSERT_TRUE(op == 14 ? file->set_size(n) : file->truncate());
            model.resize(n, '\0');
            position = n;
        } else if (op == 16) {
            ASSERT_TRUE(file->flush());
            ASSERT_TRUE(disk(fast ? static_cast<CFastFile&>(*file).file().handle()
                                  : static_cast<CFile&>(*file).handle()) == model);
        } else if (op < 19) {
            string::basic_string<char> line;
            bool last = op == 18;
            std::string expected;
            bool ok = last ? size() > 0 : position < size();
            if (ok) {
                size_t from = last ? model.rfind('\n') + 1 : position;
                size_t to = last ? model.size() : std::min(model.find('\n', position), model.size());
                expected = model.substr(from, to - from);
                expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
                position = last ? from : std::min(to + 1, model.size());
            }
            ASSERT_EQ(last ? file->read_last_line(line) : file->read_line(line), ok);
            ASSERT_TRUE(std::string(line.c_str(), line.length()) == expected);
        } else if (random() % 8 == 0) {
            ASSERT_TRUE(file->close());
            ASSERT_TRUE(disk(name) == model);
            ASSERT_TRUE(file->open(name.c_str(), rw, false));
            position = 0;
        }
        ASSERT_EQ(file->tell(), position);
        ASSERT_EQ(file->size(), size());
    }
    ASSERT_TRUE(file->close());
    ASSERT_TRUE(disk(name) == model);
}

TEST_F(Files, RandomStepsMatchModel) {
    for (unsigned seed : {1u, 2u, 3u}) {
        random_steps(path("random_fast"), true, seed);
        random_steps(path("random_plain"), false, seed);
    }
}

} // namespace
