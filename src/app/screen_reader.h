#pragma once
#include <windows.h>

namespace app {

// Names a control for screen readers (what they say of it besides "edit" or "list"); the
// system's answer. Alone in its source file, so that a test build of the program can link a
// definition of its own in its place and see each name given: Wine has no annotation service.
HRESULT name_for_screen_readers(HWND control, const wchar_t* name);

} // namespace app
