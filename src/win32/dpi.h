#pragma once

#include <windows.h>

namespace archive::win32 {

// The window's DPI (96 where the system cannot tell per window).
UINT WindowDpi(HWND window);
// The message font of the system at `dpi`.
HFONT MakeMessageFont(UINT dpi, int weight = FW_NORMAL, double points = 0, const wchar_t* face = nullptr);

// Twips and pixels at one DPI.
struct Scale {
    UINT dpi = 96;
    int Pixels(float twips) const;
    float Twips(int pixels) const;
    // A length given in pixels at 96 DPI.
    int Scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, static_cast<int>(dpi), 96); }
};

// A window's outer size, and moving a child.
int Width(HWND window);
int Height(HWND window);
void Place(HWND window, int left, int top, int width, int height);

} // namespace archive::win32
