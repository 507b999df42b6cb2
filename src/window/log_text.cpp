#include "window/log_text.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <array>

namespace archive {

namespace {

// Every Windows-1252 byte as the one UTF-16 unit the log shows for it.
const std::array<char16_t, 256>& ShownUnits()
{
    static const std::array<char16_t, 256> shown = [] {
        std::array<char16_t, 256> table{};
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            table[static_cast<std::size_t>(b)] =
                static_cast<char16_t>(Windows1252ToVisibleCodePoints(std::string_view(&byte, 1)).front());
        }
        return table;
    }();
    return shown;
}

bool IsWordBreak(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\u00A0' || c == u'"' || c == u'=' || c == u',';
}

} // namespace

void AppendVisibleLogText(std::string_view appended, std::u16string& out)
{
    const std::array<char16_t, 256>& shown = ShownUnits();
    const bool ends = appended.size() >= 2 && appended.substr(appended.size() - 2) == "\r\n";
    const std::string_view body = ends ? appended.substr(0, appended.size() - 2) : appended;
    const std::size_t from = out.size();
    out.resize(from + body.size() + (ends ? 1 : 0));
    char16_t* at = out.data() + from;
    for (const char byte : body) {
        *at++ = shown[static_cast<unsigned char>(byte)];
    }
    if (ends) {
        *at = u'\n';
    }
}

std::u16string VisibleLogText(std::string_view appended)
{
    std::u16string out;
    AppendVisibleLogText(appended, out);
    return out;
}

void LogText::Append(std::u16string_view shown)
{
    if (shown.empty()) {
        return;
    }
    const Offset from = text_.size();
    text_.append(shown);
    for (Offset at = text_.find(u'\n', from); at != std::u16string::npos; at = text_.find(u'\n', at + 1)) {
        starts_.push_back(at + 1);
    }
    if (following_ && !held_) {
        top_ = LastTopLine();
    }
}

void LogText::Clear()
{
    text_.clear();
    text_.shrink_to_fit();
    starts_.assign(1, 0);
    starts_.shrink_to_fit();
    anchor_ = caret_ = 0;
    top_ = 0;
    following_ = true;
}

LogText::Offset LogText::LineEnd(std::size_t line) const
{
    return line + 1 < starts_.size() ? starts_[line + 1] - 1 : text_.size();
}

std::u16string_view LogText::Line(std::size_t line) const
{
    if (line >= starts_.size()) {
        return {};
    }
    return std::u16string_view(text_).substr(starts_[line], LineEnd(line) - starts_[line]);
}

std::size_t LogText::LineOf(Offset offset) const
{
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

void LogText::SetSelection(Offset anchor, Offset caret)
{
    anchor_ = std::min(anchor, text_.size());
    caret_ = std::min(caret, text_.size());
}

void LogText::SelectLines(std::size_t first, std::size_t last)
{
    const std::size_t lastLine = LineCount() - 1;
    first = std::min(first, lastLine);
    last = std::min(last, lastLine);
    if (first <= last) {
        SetSelection(LineStart(first), LineEnd(last));
    } else {
        SetSelection(LineEnd(first), LineStart(last));
    }
}

std::u16string LogText::SelectedText(std::u16string_view lineEnd) const
{
    std::u16string out;
    const std::u16string_view selected =
        std::u16string_view(text_).substr(SelectionStart(), SelectionEnd() - SelectionStart());
    out.reserve(selected.size());
    for (const char16_t c : selected) {
        if (c == u'\n') {
            out.append(lineEnd);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::pair<LogText::Offset, LogText::Offset> LogText::WordAt(Offset offset) const
{
    offset = std::min(offset, text_.size());
    const std::size_t line = LineOf(offset);
    const Offset lineStart = LineStart(line);
    const Offset lineEnd = LineEnd(line);
    Offset from = offset;
    Offset to = offset;
    while (from > lineStart && !IsWordBreak(text_[from - 1])) {
        --from;
    }
    while (to < lineEnd && !IsWordBreak(text_[to])) {
        ++to;
    }
    return {from, to};
}

void LogText::SetVisibleLines(std::size_t lines)
{
    visible_ = std::max<std::size_t>(1, lines);
    top_ = following_ ? LastTopLine() : std::min(top_, LastTopLine());
}

std::size_t LogText::LastTopLine() const
{
    return LineCount() > visible_ ? LineCount() - visible_ : 0;
}

void LogText::ScrollTo(std::size_t topLine)
{
    top_ = std::min(topLine, LastTopLine());
    following_ = top_ >= LastTopLine();
}

} // namespace archive
