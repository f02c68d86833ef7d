// Soak run of the whole program: starts the end-to-end build of Pelikant (whose site is the feed
// server on the fixed test port), then plays poll cycles against it. Every cycle changes the
// topics; a third of the cycles answer with one of the broken or hostile answers of the feed
// server in turn (failures, malformed and odd feeds, hanging and dripping transfers). Prints the process's
// private bytes, handles and threads at the start, after the first cycle and at the end.
//
//   bench_soak.exe [cycles] [site URL]     (tools/soak.sh sets up the display and the server)
#include <cstdio>
#include <cstdlib>
#include <string>

#include <curl/curl.h>
#include <windows.h>

#include "../tests/feed_server.h"
#include "../tests/process_figures.h"
#include "../tests/started_process.h"

namespace {

std::string site = "http://127.0.0.1:8766";

std::string get(const std::string& path, const std::string* post_body = nullptr) {
    return feed_server::get(site, path, post_body);
}
using feed_server::escape;

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

void print(const char* when, const RProcessFigures& f) {
    std::printf("%-22s private %.1f MB, handles %lu, threads %d%s\n", when, f.private_mb, f.handles,
                f.threads, f.from_linux ? " (Linux side: resident private memory, open descriptors)" : "");
    std::fflush(stdout);
}

RProcessFigures figures(const CProcess& program) {
    return process_figures(program.process(), program.pid(), "pelikant_e2e.exe");
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

    const CProcess program(beside_test("pelikant_e2e.exe"));
    const HWND window = program.main_window(20000);
    if (window == nullptr) {
        std::printf("the program did not start or its window never appeared\n");
        return 1; // the process, if any, is ended with the holder
    }
    Sleep(3000); // documentation loaded, first feed shown
    print("after start-up:", figures(program));

    const DWORD began = GetTickCount();
    RProcessFigures after_first;
    int failed_cycles = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        if (cycle % 3 == 1) {
            // A third of the cycles: each broken or hostile answer in turn.
            const char* name = feed_server::HOSTILE[(cycle / 3) % (sizeof(feed_server::HOSTILE) /
                                                                   sizeof(feed_server::HOSTILE[0]))]
                                   .name;
            get("/t/feed?as=" + escape(std::string("/t/hostile?case=") + name));
            ++failed_cycles;
        } else {
            const std::string next = feed(cycle);
            get("/t/feed", &next);
        }
        const int before = std::atoi(get("/t/feed-count").c_str());
        PostMessageA(window, WM_TIMER, 1, 0);
        if (!polled(before)) {
            std::printf("cycle %d: the program did not poll\n", cycle);
        }
        Sleep(20); // the parse and the refill
        if (cycle == 1) {
            after_first = figures(program);
            print("after the first cycle:", after_first);
        } else if (cycle % 250 == 0 && cycle < cycles) {
            print(("after " + std::to_string(cycle) + " cycles:").c_str(),
                  figures(program));
        }
        if (program.wait(0) != -1) {
            std::printf("cycle %d: the program ended\n", cycle);
            return 1;
        }
    }
    // Hanging and dripping transfers end at the transfer limit; wait for the last of them.
    RProcessFigures end = figures(program);
    for (int waited = 0; waited < 60 && end.threads > after_first.threads; ++waited) {
        Sleep(1000);
        end = figures(program);
    }
    print("at the end:", end);
    std::printf("%d cycles (%d failing or malformed) in %.1f s\n", cycles, failed_cycles,
                (GetTickCount() - began) / 1000.0);

    const DWORD quit_at = GetTickCount();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(6002, 0), 0);
    const long code = program.wait(5000);
    std::printf("exit: %s, code %ld, %lu ms after \"Zako\xf1"
                "cz\"\n",
                code != -1 ? "ended" : "still running", code, static_cast<unsigned long>(GetTickCount() - quit_at));
    return code == 0 ? 0 : 1;
}
