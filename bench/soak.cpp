// Soak run of the whole program: starts the end-to-end build of Pelikant (whose site is the feed
// server on the fixed test port), then plays poll cycles against it. Every cycle changes the
// topics; a third of the cycles answer with a failure or a malformed feed. Prints the process's
// private bytes, handles and threads at the start, after the first cycle and at the end.
//
//   bench_soak.exe [cycles] [site URL]     (tools/soak.sh sets up the display and the server)
#include <cstdio>
#include <cstdlib>
#include <string>

#include <curl/curl.h>
#include <windows.h>
// after windows.h, which they need
#include <psapi.h>
#include <tlhelp32.h>

namespace {

std::string site = "http://127.0.0.1:8766";

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

std::string get(const std::string& path, const std::string* post_body = nullptr) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, (site + path).c_str());
    if (post_body != nullptr) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post_body->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(post_body->size()));
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return body;
}

std::string escape(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string out = escaped != nullptr ? escaped : "";
    curl_free(escaped);
    return out;
}

std::string feed(int cycle) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Pelikant><Information UpdateDT=\"x\">i"
                       "</Information><Forum><TopicContainer>";
    for (int i = 0; i < 40; ++i) {
        const int id = (cycle + i) % 60;
        text += "<Topic Id=\"" + std::to_string(id) + "\" PostCount=\"" + std::to_string(cycle + i) +
                "\" LastUserId=\"" + std::to_string(cycle) + "\" OrderKey=\"" + std::to_string(i % 3) +
                "\" IsOpen=\"1\" Visited=\"0\" UpdateDT=\"2026-12-08 " + std::to_string(10 + i % 10) +
                ":00\"><Title>Temat numer " + std::to_string(id) + " – zażółć gęślą jaźń</Title></Topic>";
    }
    return text + "</TopicContainer></Forum></Pelikant>";
}

struct RFigures {
    double private_mb;
    DWORD handles;
    int threads;
};

RFigures figures(HANDLE process, DWORD pid) {
    RFigures out = {0, 0, 0};
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
        out.private_mb = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
    }
    GetProcessHandleCount(process, &out.handles);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
        out.threads += entry.th32OwnerProcessID == pid ? 1 : 0;
    }
    CloseHandle(snapshot);
    return out;
}

void print(const char* when, const RFigures& f) {
    std::printf("%-22s private %.1f MB, handles %lu, threads %d\n", when, f.private_mb,
                static_cast<unsigned long>(f.handles), f.threads);
    std::fflush(stdout);
}

HWND main_window(DWORD pid) {
    for (int tries = 0; tries < 400; ++tries) {
        HWND found = nullptr;
        while ((found = FindWindowExA(nullptr, found, "Pelikant", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == pid) {
                return found;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

// Waits until the program has asked for the feed once more than `before`.
bool polled(int before) {
    for (int tries = 0; tries < 500; ++tries) {
        if (std::atoi(get("/t/feed-count").c_str()) > before) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (argc > 2) {
        site = argv[2];
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const std::string first = feed(0);
    get("/t/feed", &first);

    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string exe(path, n);
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "pelikant_e2e.exe";
    std::string command = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start %s\n", exe.c_str());
        return 1;
    }
    HWND window = main_window(pi.dwProcessId);
    if (window == nullptr) {
        std::printf("the window never appeared\n");
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    Sleep(3000); // documentation loaded, first feed shown
    print("after start-up:", figures(pi.hProcess, pi.dwProcessId));

    const DWORD began = GetTickCount();
    int failed_cycles = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        switch (cycle % 6) {
        case 1:
            get("/t/feed?as=" + escape("/t/body?status=503&text=niedost%C4%99pny"));
            ++failed_cycles;
            break;
        case 4: {
            const std::string cut = feed(cycle).substr(0, 300); // ends mid-topic
            get("/t/feed", &cut);
            ++failed_cycles;
            break;
        }
        default: {
            const std::string next = feed(cycle);
            get("/t/feed", &next);
            break;
        }
        }
        const int before = std::atoi(get("/t/feed-count").c_str());
        PostMessageA(window, WM_TIMER, 1, 0);
        if (!polled(before)) {
            std::printf("cycle %d: the program did not poll\n", cycle);
        }
        Sleep(20); // the parse and the refill
        if (cycle == 1) {
            print("after the first cycle:", figures(pi.hProcess, pi.dwProcessId));
        }
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            std::printf("cycle %d: the program ended\n", cycle);
            return 1;
        }
    }
    Sleep(2000);
    print("at the end:", figures(pi.hProcess, pi.dwProcessId));
    std::printf("%d cycles (%d failing or malformed) in %.1f s\n", cycles, failed_cycles,
                (GetTickCount() - began) / 1000.0);

    const DWORD quit_at = GetTickCount();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(6002, 0), 0);
    const bool ended = WaitForSingleObject(pi.hProcess, 5000) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    std::printf("exit: %s, code %lu, %lu ms after \"Zako\xf1" "cz\"\n", ended ? "ended" : "still running",
                static_cast<unsigned long>(code), static_cast<unsigned long>(GetTickCount() - quit_at));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ended && code == 0 ? 0 : 1;
}
