#include "win32/dpi.h"

#include <algorithm>
#include <cmath>

namespace archive::win32 {

UINT WindowDpi(HWND window)
{
    // Windows 10 answers per window; older systems have one DPI for the whole screen.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    if (const HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        if (const FARPROC found = GetProcAddress(user32, "GetDpiForWindow")) {
            const auto getDpi =
                reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(found));
            if (const UINT dpi = getDpi(window)) {
                return dpi;
            }
        }
    }
    const HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

HFONT MakeMessageFont(UINT dpi, int weight, double points, const wchar_t* face)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    const HDC screen = GetDC(nullptr);
    const int systemDpi = std::max(GetDeviceCaps(screen, LOGPIXELSY), 1);
    ReleaseDC(nullptr, screen);
    font.lfHeight = points > 0 ? -static_cast<LONG>(std::lround(points * dpi / 72.0))
                               : MulDiv(font.lfHeight, static_cast<int>(dpi), systemDpi);
    font.lfWidth = 0;
    font.lfWeight = weight;
    if (face) {
        lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    }
    return CreateFontIndirectW(&font);
}

int Scale::Pixels(float twips) const
{
    return static_cast<int>(std::lround(twips * static_cast<float>(dpi) / 1440.0f));
}

float Scale::Twips(int pixels) const
{
    return static_cast<float>(pixels) * 1440.0f / static_cast<float>(dpi);
}

int Width(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

int Height(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

void Place(HWND window, int left, int top, int width, int height)
{
    SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace archive::win32
