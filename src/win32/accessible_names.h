#pragma once

#include <windows.h>

namespace archive::win32 {

// Gives a control the name a screen reader says for it, beside its window
// text: through the accessibility property service where the system has one
// (a tree, a list or a progress bar has no label of its own to be named by).
void SetAccessibleName(HWND control, const wchar_t* name);

} // namespace archive::win32
