#include "kernel/version.h"

#include <windows.h>

namespace kernel {

RNtVersion nt_version() {
    RNtVersion version;
    using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    RtlGetVersionProc get = ntdll != nullptr ? reinterpret_cast<RtlGetVersionProc>(reinterpret_cast<void*>(
                                                   GetProcAddress(ntdll, "RtlGetVersion")))
                                             : nullptr;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (get == nullptr || get(&info) != 0) {
        return version;
    }
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    return version;
}

} // namespace kernel
