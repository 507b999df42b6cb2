#pragma once

#include "platform/registry.h"

#include <windows.h>

#include <functional>
#include <string>

namespace archive::win32 {

// frmAbout: a modeless dialog with no owner, fixed frame, centred on the
// screen. Closing it (OK, Esc, the close box) destroys it; `onClosed` runs then.
class AboutBox {
  public:
    AboutBox(RegistryAndLauncher& registry, std::function<void()> onClosed);
    ~AboutBox();
    AboutBox(const AboutBox&) = delete;
    AboutBox& operator=(const AboutBox&) = delete;

    bool Create();
    HWND hwnd() const { return hwnd_; }
    // Where its message boxes go (a modal MessageBoxW unless replaced, as tests do).
    std::function<void(const std::wstring&)> messageSink;

    // The command identifiers of its buttons.
    static constexpr int kOk = IDOK;
    static constexpr int kSysInfo = 1001;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Paint();
    int Pixels(int twips) const;

    RegistryAndLauncher& registry_;
    std::function<void()> onClosed_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HFONT titleFont_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    UINT dpi_ = 96;
};

} // namespace archive::win32
