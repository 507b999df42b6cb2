#pragma once

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <array>
#include <string>

namespace archive::win32 {

// The toolbar: six buttons (the fourth a separator) sending kButtonBase +
// their position, each image from the 32 by 32 image list (scaled with the
// DPI) whose light grey is transparent. Each button carries its tooltip as
// its name, which screen readers read, but shows no caption.
class Toolbar {
  public:
    static constexpr int kButtons = 6;

    Toolbar() = default;
    ~Toolbar();
    Toolbar(const Toolbar&) = delete;
    Toolbar& operator=(const Toolbar&) = delete;

    HWND Create(HWND parent, int id, int commandBase, UINT dpi);
    HWND hwnd() const { return hwnd_; }
    // Draws the images again at a new DPI.
    void SetDpi(UINT dpi);

    // Whether the core wants a button enabled, and whether a running command allows it.
    void SetWanted(int position, bool enabled);
    bool Wanted(int position) const;
    void Allow(bool allowed);
    // Why a wanted-off button is grey, in its tooltip; empty for the button's own name.
    void SetReason(int position, std::wstring reason);

    // The button's key ("OpenSV1", ...; empty for the separator), and its tooltip.
    static std::string Key(int position);
    const wchar_t* Tooltip(int position) const;
    // The pixel size of an image at `dpi`.
    static int ImageSize(UINT dpi);

  private:
    void Apply(int position);
    void MakeImages(UINT dpi);

    HWND hwnd_ = nullptr;
    HIMAGELIST images_ = nullptr;
    int commandBase_ = 0;
    bool allowed_ = true;
    std::array<bool, kButtons + 1> wanted_{};
    std::array<std::wstring, kButtons + 1> tooltips_{};
};

} // namespace archive::win32
