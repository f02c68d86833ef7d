#pragma once
// Test helper: the built pelikant.exe (beside the test program) as a module of resources, so the
// documentation index it embeds is read by the program's own loader.
#include <string>

#include <windows.h>

#include "../beside_test.h"

namespace test {

// pelikant.exe mapped for its resources only; get() is null when it is missing.
class CShippedModule {
public:
    CShippedModule()
        : module_(LoadLibraryExA(beside_test("pelikant.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~CShippedModule() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    CShippedModule(const CShippedModule&) = delete;
    CShippedModule& operator=(const CShippedModule&) = delete;

    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

} // namespace test
