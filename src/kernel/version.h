#pragma once

namespace kernel {

struct RNtVersion {
    unsigned long major = 0;
    unsigned long minor = 0;
    unsigned long build = 0;
};

// The system's own version numbers. GetVersionEx answers 6.2 on Windows 8.1 and later to a
// program whose manifest does not name them; RtlGetVersion never pretends.
RNtVersion nt_version();

} // namespace kernel
