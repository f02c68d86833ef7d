// The path of a file built beside the running test program (pelikant.exe, helper programs).
#pragma once
#include <string>

#include <windows.h>

inline std::string beside_test(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}
