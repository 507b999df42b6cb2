#pragma once

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <array>
#include <string>

namespace archive::win32 {

// The toolbar: six buttons (the fourth a separator) sending commandBase +
// their position, each image from the 32 by 32 image list (scaled with the
// DPI) whose light grey is transparent. Each button carries the shared
// table's accessible name, which is also its tooltip, and shows no caption;
// a grey button's name says why it is grey.
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

    // Enables a button or greys it, saying why.
    void Set(int position, bool enabled, const std::wstring& reason);
    bool Enabled(int position) const;

    // The button's key ("OpenSV1", ...; empty for the separator), and its tooltip now.
    static std::string Key(int position);
    const wchar_t* Tooltip(int position) const;
    // The pixel size of an image at `dpi`.
    static int ImageSize(UINT dpi);

  private:
    void MakeImages(UINT dpi);

    HWND hwnd_ = nullptr;
    HIMAGELIST images_ = nullptr;
    int commandBase_ = 0;
    std::array<std::wstring, kButtons + 1> names_{};
};

} // namespace archive::win32
