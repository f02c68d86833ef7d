// Figures of another process: private memory, handles and threads. Under Wine the first two
// read as zero through the Windows calls; the process's Linux side tells them through /proc
// (resident private memory, open descriptors), found by the executable's name.
#pragma once
#include <cstdio>
#include <string>

#include <windows.h>
// after windows.h, which they need
#include <psapi.h>

#include "process_counts.h"

struct RProcessFigures {
    double private_mb = 0;
    unsigned long handles = 0;
    int threads = 0;
    bool from_linux = false;
};

inline std::string linux_proc_dir(const char* exe_name) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) {
        return "";
    }
    std::string hit;
    do {
        const std::string name = found.cFileName;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        FILE* file = std::fopen(("Z:\\proc\\" + name + "\\cmdline").c_str(), "rb");
        if (file == nullptr) {
            continue;
        }
        char buffer[4096];
        const size_t n = std::fread(buffer, 1, sizeof(buffer), file);
        std::fclose(file);
        const std::string command(buffer, n);
        if (command.find(exe_name) != std::string::npos) {
            hit = "Z:\\proc\\" + name;
            break;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return hit;
}

inline RProcessFigures process_figures(HANDLE process, DWORD pid, const char* exe_name) {
    RProcessFigures out;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
        out.private_mb = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
    }
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    out.handles = handles;
    out.threads = thread_count(pid);
    if (out.private_mb != 0 || out.handles != 0) {
        return out;
    }
    const std::string dir = linux_proc_dir(exe_name);
    if (dir.empty()) {
        return out;
    }
    out.from_linux = true;
    if (FILE* file = std::fopen((dir + "\\status").c_str(), "rb")) {
        char line[256];
        while (std::fgets(line, sizeof(line), file) != nullptr) {
            long value = 0;
            if (std::sscanf(line, "RssAnon: %ld kB", &value) == 1) {
                out.private_mb = value / 1024.0;
            }
        }
        std::fclose(file);
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\fd\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            out.handles += found.cFileName[0] != '.' ? 1 : 0;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return out;
}
