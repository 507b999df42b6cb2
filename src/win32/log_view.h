#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace archive::win32 {

// The log box: read-only lines under both scroll bars, never wrapped. It keeps
// the text itself and paints only the lines in view, so appending costs the
// new text alone. (Wine's multi-line edit control lays out every line as it
// arrives and walks all earlier lines on each append: 100,000 lines took
// over five seconds there, however they were batched.)
//
// Lines are selected whole with the mouse and the shift key, or all with
// Ctrl+A; Ctrl+C copies them. WM_GETTEXT, WM_SETTEXT, WM_SETFONT and
// EM_GETLINECOUNT answer as an edit control's do.
class LogView {
  public:
    LogView() = default;
    ~LogView();
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;

    HWND Create(HWND parent, int id, int left, int top, int width, int height);
    HWND hwnd() const { return hwnd_; }

    // Adds text (lines end in CR LF) at the end and shows the end.
    void Append(std::wstring_view text);
    void Clear();
    // Lines so far, counting the empty one after the last line break.
    std::size_t LineCount() const { return starts_.size(); }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring_view Line(std::size_t line) const;
    void Measure(std::size_t firstLine);
    void SetFont(HFONT font);
    void Paint();
    int VisibleLines() const;
    void ScrollTo(std::ptrdiff_t topLine, int left);
    void UpdateScrollBars();
    void OnScroll(int bar, int request);
    std::size_t LineAt(int y) const;
    void Select(std::size_t line, bool extend);
    void Copy() const;

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int lineHeight_ = 16;
    int maxCharWidth_ = 16;
    int charWidth_ = 8;
    int widest_ = 0;
    int wheelDelta_ = 0;

    std::wstring text_;
    std::vector<std::size_t> starts_{0}; // where each line begins in text_
    std::size_t top_ = 0;                // first line in view
    int left_ = 0;                       // pixels scrolled to the right
    std::size_t anchor_ = 0;             // selection: from anchor_ to caret_, whole lines
    std::size_t caret_ = 0;
    bool selected_ = false;
};

} // namespace archive::win32
