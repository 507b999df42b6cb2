#pragma once

#include "window/log_text.h"

#include <windows.h>

#include <chrono>
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
// The lines, the selection and the following of the end are the shared log
// model's (window/log_text.h); this class draws them and forwards the user's
// keys and clicks. Lines are selected whole with the mouse and the shift key,
// or all with Ctrl+A; Ctrl+C copies them. WM_GETTEXT (the text a screen
// reader asks for, lines ended by CR LF), WM_SETTEXT, WM_SETFONT and
// EM_GETLINECOUNT answer as an edit control's do.
class LogView {
  public:
    LogView() = default;
    ~LogView();
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;

    HWND Create(HWND parent, int id, int left, int top, int width, int height);
    HWND hwnd() const { return hwnd_; }

    // Adds shown text (the shared model's form: lines end in "\n") at the end;
    // the view follows it unless the user has scrolled back.
    void Append(std::u16string_view text);
    void Clear();
    // Lines so far, counting the empty one after the last line break.
    std::size_t LineCount() const { return text_.LineCount(); }
    const LogText& text() const { return text_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring_view Line(std::size_t line) const;
    std::wstring TextWithCrLf() const;
    void Measure(std::size_t firstLine);
    void SetFont(HFONT font);
    void Paint();
    int VisibleLines() const;
    void ScrollTo(std::ptrdiff_t topLine, int left);
    // Wine draws a scroll bar in 6 to 14 ms: a log that grew 25 times a
    // second while files were written spent a third of the time there.
    // Growing text (Later) draws the bars at most every kBarInterval, the
    // last state at the latest kBarInterval after it; whatever the user does
    // (Now) draws them at once. The bars' numbers are always current.
    enum class BarDrawing { Now, Later };
    static constexpr std::chrono::milliseconds kBarInterval{500};
    static constexpr UINT_PTR kBarTimer = 1;
    void UpdateScrollBars(BarDrawing drawing = BarDrawing::Now);
    void SetBar(int bar, const SCROLLINFO& info);
    void DrawBars();
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

    LogText text_;
    int left_ = 0; // pixels scrolled to the right
    // The keyboard's line: an empty last line chosen is an empty selection to the model.
    std::size_t anchorLine_ = 0;
    std::size_t caretLine_ = 0;
    bool lineChosen_ = false;

    SCROLLINFO verticalSet_{}; // what each bar was last set to (cbSize 0: nothing yet)
    SCROLLINFO horizontalSet_{};
    bool verticalUndrawn_ = false;
    bool horizontalUndrawn_ = false;
    bool barTimer_ = false;
    std::chrono::steady_clock::time_point barsDrawn_{};
};

} // namespace archive::win32
