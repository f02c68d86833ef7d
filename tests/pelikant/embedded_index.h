#pragma once
// Test helper: the documentation index embedded in the built pelikant.exe.
#include <string>

#include <windows.h>

#include "memory/chunked.h"
#include "pelikant/parse_xml.h"

namespace test {

inline std::string beside_test(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// Reads resource 5010 the way the program does: into chunked memory, one zero, linearised.
inline bool load_embedded_index(pelikant::CParseXml& parser) {
    HMODULE module = LoadLibraryExA(beside_test("pelikant.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return false;
    }
    bool ok = false;
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(5010), MAKEINTRESOURCEA(10)); // RT_RCDATA
    HGLOBAL loaded = info != nullptr ? LoadResource(module, info) : nullptr;
    const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes != nullptr) {
        memory::ChunkedMemory<char, 128> text;
        text.append(static_cast<std::int32_t>(SizeofResource(module, info)), bytes);
        const char zero = 0;
        text.append(1, &zero);
        text.linearize(0);
        ok = parser.parse(text.data());
    }
    FreeLibrary(module);
    return ok;
}

} // namespace test
