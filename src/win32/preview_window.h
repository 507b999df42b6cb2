#pragma once

#include "commands/entry_preview.h"
#include "win32/log_view.h"
#include "win32/preview_image.h"
#include "window/frm_big.h"

#include <windows.h>

#include <string>

namespace archive::win32 {

// The preview of one entry, a modeless window owned by the main window: an
// image, text (Windows-1252, the first MiB) or a hex dump (the first 64 KiB),
// as the core's ChoosePreviewView decides; a damaged entry, a folder or an
// RBF entry shows why instead. What is read and how much is the core's
// PreviewEntry; this only draws it.
//
// The main window keeps one and calls Show for each entry; closing the
// window (the close box or Escape) only hides it, and the owner's
// destruction ends it.
class PreviewWindow {
  public:
    enum class Shown { Nothing, Problem, Image, Text, Hex };

    PreviewWindow() = default;
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Shows the entry, creating the window owned by `owner` on first use,
    // and brings it to the front.
    void Show(HWND owner, const EntryPreview& preview);
    // Reads the catalogue node's entry (PreviewEntry) as a running command of
    // its own and shows it; false, showing nothing, while another command runs.
    bool ShowNode(HWND owner, FrmBig& frm, int node);

    HWND hwnd() const { return hwnd_; }
    // The line above the content: the name and what is shown of it.
    HWND summary() const { return summary_; }
    // The child showing the entry: the log box's line view for text and hex
    // (an edit control lays a MiB of lines out for seconds under Wine), a
    // static control for a problem, the image view (class kImageViewClass).
    HWND content() const;
    Shown shown() const { return shown_; }
    // The image as drawn: each pixel's colour over the view's colour by its
    // alpha, which is kept.
    const PreviewImage& image() const { return image_; }

    static constexpr const wchar_t* kWindowClass = L"ArchiveToolPreview";
    static constexpr const wchar_t* kImageViewClass = L"ArchiveToolPreviewImage";

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EscapeCloses(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool Create(HWND owner);
    void SetFonts();
    void Layout();
    void PaintImage(HWND window);
    void ShowOnly(HWND child);

    HWND hwnd_ = nullptr;
    HWND summary_ = nullptr;
    LogView textView_;
    HWND text_ = nullptr; // textView_'s window
    HWND problem_ = nullptr;
    HWND imageView_ = nullptr;
    HFONT font_ = nullptr;
    HFONT fixedFont_ = nullptr;
    UINT dpi_ = 96;
    Shown shown_ = Shown::Nothing;
    PreviewImage image_;
};

} // namespace archive::win32
