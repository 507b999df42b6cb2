#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace archive {

// The log box's text as it is shown, apart from any toolkit: UTF-16 lines,
// each ended by "\n" (the open last line by nothing). Line breaks come only
// from the log's own line ends: each AppendLog text is a line and CR LF, and
// only that last CR LF ends a line. Every other control character, a CR or LF
// inside an archive name included, is shown as a visible symbol (U+2400 to
// U+2421, U+FFFD for the C1 controls), so archive text can never start a line
// that looks like one of ours, nor reach a control as itself.
std::u16string VisibleLogText(std::string_view appended);
// The same, appended to `out` (a window gathers a command's log in one string).
void AppendVisibleLogText(std::string_view appended, std::u16string& out);

// The log's lines, the start of each, the selection and the scroll position
// that follows the end, for both windows' log views; the views draw it.
class LogText {
  public:
    using Offset = std::size_t;

    // Adds shown text (VisibleLogText's form) at the end. When the view
    // followed the end it goes on following it; when the user had scrolled
    // back, it stays where it is.
    void Append(std::u16string_view shown);
    void Clear();

    const std::u16string& Text() const { return text_; }
    // Lines so far, counting the open one after the last line end.
    std::size_t LineCount() const { return starts_.size(); }
    Offset LineStart(std::size_t line) const { return starts_[line]; }
    // Where the line's text ends (before its "\n").
    Offset LineEnd(std::size_t line) const;
    std::u16string_view Line(std::size_t line) const;
    // The line an offset is in.
    std::size_t LineOf(Offset offset) const;

    // The selection runs from the anchor to the caret; empty when both are equal.
    void SetSelection(Offset anchor, Offset caret);
    // Moves the caret, keeping the anchor (a shift-click, a drag).
    void ExtendSelection(Offset caret) { SetSelection(anchor_, caret); }
    void SelectAll() { SetSelection(0, text_.size()); }
    void SelectLines(std::size_t first, std::size_t last);
    Offset Anchor() const { return anchor_; }
    Offset Caret() const { return caret_; }
    Offset SelectionStart() const { return std::min(anchor_, caret_); }
    Offset SelectionEnd() const { return std::max(anchor_, caret_); }
    bool HasSelection() const { return anchor_ != caret_; }
    // The selected text, lines joined by `lineEnd` ("\n" for Qt, CR LF for the Windows clipboard).
    std::u16string SelectedText(std::u16string_view lineEnd = u"\n") const;
    // The word around an offset, as a double click takes it: it stops only at
    // spaces, quotes, "=" and ",", so a path comes whole and a value without its name.
    std::pair<Offset, Offset> WordAt(Offset offset) const;

    // Scrolling by lines. The view says how many lines it shows; the user's
    // scrolling moves the top line. Following the end: the last line in view.
    void SetVisibleLines(std::size_t lines);
    std::size_t VisibleLines() const { return visible_; }
    void ScrollTo(std::size_t topLine);
    std::size_t TopLine() const { return top_; }
    std::size_t LastTopLine() const;
    bool FollowingEnd() const { return following_; }
    // While the user holds the scroll bar's thumb, new lines do not move the view.
    void HoldScroll(bool held) { held_ = held; }

  private:
    std::u16string text_;
    std::vector<Offset> starts_{0};
    Offset anchor_ = 0;
    Offset caret_ = 0;
    std::size_t visible_ = 1;
    std::size_t top_ = 0;
    bool following_ = true;
    bool held_ = false;
};

} // namespace archive
