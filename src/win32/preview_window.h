#pragma once

#include "commands/command_state.h"
#include "commands/entry_preview.h"
#include "win32/log_view.h"
#include "win32/preview_image.h"
#include "window/frm_big.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace archive::win32 {

// The preview of one entry, a modeless window owned by the main window: an
// image, text (Windows-1252, the first MiB) or a hex dump (the first 64 KiB),
// as the core's ChoosePreviewView decides; a damaged entry, a folder or an
// RBF entry shows why instead. What is read and how much is the core's
// PreviewFetch, stepped from a timer so that the windows' messages run
// between its pieces; this only draws it.
//
// The main window keeps one and calls Show for each entry; closing the
// window (the close box or Escape) only hides it and drops a read under way,
// and the owner's destruction ends it.
class PreviewWindow {
  public:
    enum class Shown { Nothing, Problem, Image, Text, Hex, Reading };

    PreviewWindow() = default;
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Shows the entry, creating the window owned by `owner` on first use,
    // and brings it to the front.
    void Show(HWND owner, const EntryPreview& preview);
    // Starts reading the catalogue node's entry as a running command of its
    // own, which lasts until it is shown or dropped; a short entry shows at
    // once, a longer one says it is being read meanwhile. A read under way is
    // dropped first. False, showing nothing, while another command runs.
    bool ShowNode(HWND owner, FrmBig& frm, int node);
    // Drops a read under way; nothing is shown of it.
    void Cancel();
    bool reading() const { return fetch_ != nullptr; }
    // Called when a read ends, shown or dropped: the owner's commands change.
    std::function<void()> readingEnded;

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
    void StepFetch();
    void EndFetch();
    void DropFetch();

    static constexpr UINT_PTR kStepTimer = 1;

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
    std::unique_ptr<PreviewFetch> fetch_;
    std::unique_ptr<RunningScope> running_; // the owner's frm outlives this window
    std::wstring readingName_;
};

} // namespace archive::win32
