#include "win32/log_view.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace archive::win32 {

namespace {

constexpr const wchar_t* kClassName = L"ArchiveToolLog";
constexpr int kMargin = 2; // pixels between the border and the text

int ClientWidth(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return client.right;
}

int ClientHeight(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return client.bottom;
}

} // namespace

LogView::~LogView()
{
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    }
}

HWND LogView::Create(HWND parent, int id, int left, int top, int width, int height)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, kClassName, &existing)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &LogView::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassExW(&windowClass)) {
            return nullptr;
        }
    }
    return CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL, left, top, width,
                           height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
}

LRESULT CALLBACK LogView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<LogView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<LogView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

std::wstring_view LogView::Line(std::size_t line) const
{
    const std::u16string_view text = text_.Line(line);
    return std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()); // UTF-16 both
}

std::wstring LogView::TextWithCrLf() const
{
    const std::u16string& text = text_.Text();
    std::wstring out;
    out.reserve(text.size() + text_.LineCount());
    for (const char16_t c : text) {
        if (c == u'\n') {
            out.push_back(L'\r');
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

void LogView::Append(std::u16string_view text)
{
    if (text.empty()) {
        return;
    }
    const std::size_t firstNew = text_.LineCount() - 1; // the last line grows
    const std::size_t top = text_.TopLine();
    text_.Append(text);
    Measure(firstNew);
    if (hwnd_) {
        UpdateScrollBars(BarDrawing::Later);
        if (text_.TopLine() != top || text_.TopLine() + static_cast<std::size_t>(VisibleLines()) > firstNew) {
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
    }
}

void LogView::Clear()
{
    text_.Clear();
    left_ = 0;
    widest_ = 0;
    lineChosen_ = false;
    if (hwnd_) {
        UpdateScrollBars();
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void LogView::Measure(std::size_t firstLine)
{
    // A line can be wider than the widest so far only if its length in widest
    // characters is: most lines are never measured.
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    for (std::size_t line = firstLine; line < text_.LineCount(); ++line) {
        const std::wstring_view text = Line(line);
        if (static_cast<long long>(text.size()) * maxCharWidth_ <= widest_) {
            continue;
        }
        if (!dc) {
            dc = GetDC(hwnd_);
            old = font_ ? SelectObject(dc, font_) : nullptr;
        }
        const DWORD size = GetTabbedTextExtentW(
            dc, text.data(), static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX)), 0, nullptr);
        widest_ = std::max(widest_, static_cast<int>(LOWORD(size)));
    }
    if (dc) {
        if (old) {
            SelectObject(dc, old);
        }
        ReleaseDC(hwnd_, dc);
    }
}

void LogView::SetFont(HFONT font)
{
    font_ = font;
    const HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    if (old) {
        SelectObject(dc, old);
    }
    ReleaseDC(hwnd_, dc);
    lineHeight_ = std::max<int>(1, metrics.tmHeight + metrics.tmExternalLeading);
    maxCharWidth_ = std::max<int>(1, metrics.tmMaxCharWidth);
    charWidth_ = std::max<int>(1, metrics.tmAveCharWidth);
    widest_ = 0;
    Measure(0);
    text_.SetVisibleLines(static_cast<std::size_t>(VisibleLines()));
}

int LogView::VisibleLines() const
{
    return std::max(1, ClientHeight(hwnd_) / lineHeight_);
}

void LogView::ScrollTo(std::ptrdiff_t topLine, int left)
{
    const std::size_t before = text_.TopLine();
    text_.ScrollTo(static_cast<std::size_t>(std::max<std::ptrdiff_t>(topLine, 0)));
    const int lastLeft = std::max(0, widest_ + 2 * kMargin - ClientWidth(hwnd_));
    left = std::clamp(left, 0, lastLeft);
    if (text_.TopLine() != before || left != left_) {
        left_ = left;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void LogView::UpdateScrollBars(BarDrawing drawing)
{
    // Both bars stay, greyed while everything fits, as a text box's with both scroll bars do.
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMax = static_cast<int>(std::min<std::size_t>(text_.LineCount(), INT_MAX)) - 1;
    info.nPage = static_cast<UINT>(VisibleLines());
    info.nPos = static_cast<int>(text_.TopLine());
    SetBar(SB_VERT, info);
    info.nMax = widest_ + 2 * kMargin - 1;
    info.nPage = static_cast<UINT>(std::max(0, ClientWidth(hwnd_)));
    info.nPos = left_;
    SetBar(SB_HORZ, info);
    if (!verticalUndrawn_ && !horizontalUndrawn_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (drawing == BarDrawing::Later && now - barsDrawn_ < kBarInterval) {
        if (!barTimer_) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(kBarInterval - (now - barsDrawn_));
            barTimer_ = SetTimer(hwnd_, kBarTimer, static_cast<UINT>(std::max<long long>(1, wait.count())),
                                 nullptr) != 0;
        }
        if (barTimer_) {
            return;
        }
    }
    DrawBars();
}

void LogView::SetBar(int bar, const SCROLLINFO& info)
{
    // The bar's numbers are always current (GetScrollInfo answers the truth);
    // only drawing it waits for DrawBars.
    SCROLLINFO& set = bar == SB_VERT ? verticalSet_ : horizontalSet_;
    if (set.cbSize != 0 && set.nMax == info.nMax && set.nPage == info.nPage && set.nPos == info.nPos) {
        return;
    }
    set = info;
    SCROLLINFO copy = info;
    SetScrollInfo(hwnd_, bar, &copy, FALSE);
    (bar == SB_VERT ? verticalUndrawn_ : horizontalUndrawn_) = true;
}

void LogView::DrawBars()
{
    if (barTimer_) {
        KillTimer(hwnd_, kBarTimer);
        barTimer_ = false;
    }
    barsDrawn_ = std::chrono::steady_clock::now();
    // Setting a bar again with its own numbers draws it, and nothing else.
    if (verticalUndrawn_) {
        SCROLLINFO copy = verticalSet_;
        SetScrollInfo(hwnd_, SB_VERT, &copy, TRUE);
        verticalUndrawn_ = false;
    }
    if (horizontalUndrawn_) {
        SCROLLINFO copy = horizontalSet_;
        SetScrollInfo(hwnd_, SB_HORZ, &copy, TRUE);
        horizontalUndrawn_ = false;
    }
}

void LogView::OnScroll(int bar, int request)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(hwnd_, bar, &info);
    const bool vertical = bar == SB_VERT;
    const int step = vertical ? 1 : charWidth_ * 4;
    const int page = vertical ? VisibleLines() : std::max(1, ClientWidth(hwnd_) - charWidth_);
    long long position = vertical ? static_cast<long long>(text_.TopLine()) : left_;
    // While the thumb is held, new lines do not move the view under it.
    text_.HoldScroll(vertical && request == SB_THUMBTRACK);
    switch (request) {
    case SB_LINEUP:
        position -= step;
        break;
    case SB_LINEDOWN:
        position += step;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos; // 32 bits, unlike the message's own
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = vertical ? static_cast<long long>(text_.LineCount()) - 1 : widest_;
        break;
    default:
        return;
    }
    position = std::clamp<long long>(position, 0, INT_MAX);
    if (vertical) {
        ScrollTo(static_cast<std::ptrdiff_t>(position), left_);
    } else {
        ScrollTo(static_cast<std::ptrdiff_t>(text_.TopLine()), static_cast<int>(position));
    }
    UpdateScrollBars();
}

std::size_t LogView::LineAt(int y) const
{
    const long long line = static_cast<long long>(text_.TopLine()) + (y < 0 ? -1 : y / lineHeight_);
    return static_cast<std::size_t>(
        std::clamp<long long>(line, 0, static_cast<long long>(text_.LineCount()) - 1));
}

void LogView::Select(std::size_t line, bool extend)
{
    anchorLine_ = extend && lineChosen_ ? anchorLine_ : line;
    caretLine_ = line;
    lineChosen_ = true;
    text_.SelectLines(anchorLine_, caretLine_);
    const std::size_t top = text_.TopLine();
    if (line < top) {
        ScrollTo(static_cast<std::ptrdiff_t>(line), left_);
    } else if (line >= top + static_cast<std::size_t>(VisibleLines())) {
        ScrollTo(static_cast<std::ptrdiff_t>(line) - VisibleLines() + 1, left_);
    }
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogView::Copy() const
{
    if (!text_.HasSelection()) {
        return;
    }
    const std::u16string selected = text_.SelectedText(u"\r\n");
    const std::wstring text(selected.begin(), selected.end());
    if (!OpenClipboard(hwnd_)) {
        return;
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void LogView::Paint()
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd_, &paint);
    const HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    const bool focused = GetFocus() == hwnd_;
    const bool selected = text_.HasSelection();
    const std::size_t first = text_.LineOf(text_.SelectionStart());
    const std::size_t last = text_.LineOf(text_.SelectionEnd());
    const std::size_t lines = text_.LineCount();
    const int width = ClientWidth(hwnd_);
    for (int y = paint.rcPaint.top - paint.rcPaint.top % lineHeight_; y < paint.rcPaint.bottom;
         y += lineHeight_) {
        const std::size_t line = text_.TopLine() + static_cast<std::size_t>(y / lineHeight_);
        const bool highlighted = selected && line >= first && line <= last && line < lines;
        const RECT row = {0, y, width, y + lineHeight_};
        FillRect(dc, &row,
                 GetSysColorBrush(highlighted ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW));
        if (line >= lines) {
            continue;
        }
        SetTextColor(dc, GetSysColor(highlighted && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const std::wstring_view text = Line(line);
        TabbedTextOutW(dc, kMargin - left_, y, text.data(),
                       static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX)), 0, nullptr,
                       kMargin - left_);
    }
    if (oldFont) {
        SelectObject(dc, oldFont);
    }
    EndPaint(hwnd_, &paint);
}

LRESULT LogView::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
        UpdateScrollBars();
        return 0;
    case WM_SETFONT:
        SetFont(reinterpret_cast<HFONT>(wParam));
        ScrollTo(static_cast<std::ptrdiff_t>(text_.TopLine()), left_);
        UpdateScrollBars();
        if (LOWORD(lParam)) {
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(text_.Text().size() + text_.LineCount() - 1); // a CR before each LF
    case WM_GETTEXT: {
        if (wParam == 0) {
            return 0;
        }
        const std::wstring text = TextWithCrLf();
        const std::size_t count = std::min<std::size_t>(text.size(), wParam - 1);
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        std::copy_n(text.data(), count, buffer);
        buffer[count] = L'\0';
        return static_cast<LRESULT>(count);
    }
    case WM_SETTEXT:
        Clear();
        if (lParam) {
            std::u16string text;
            for (const wchar_t* at = reinterpret_cast<const wchar_t*>(lParam); *at; ++at) {
                if (!(at[0] == L'\r' && at[1] == L'\n')) {
                    text.push_back(static_cast<char16_t>(*at));
                }
            }
            Append(text);
        }
        return TRUE;
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(text_.LineCount());
    case WM_TIMER:
        if (wParam == kBarTimer) {
            DrawBars();
            return 0;
        }
        break;
    case WM_SIZE:
        text_.SetVisibleLines(static_cast<std::size_t>(VisibleLines()));
        ScrollTo(static_cast<std::ptrdiff_t>(text_.TopLine()), left_);
        UpdateScrollBars();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // every row is painted whole
    case WM_PAINT:
        Paint();
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        UINT lines = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        wheelDelta_ += GET_WHEEL_DELTA_WPARAM(wParam);
        const int steps = wheelDelta_ / WHEEL_DELTA;
        wheelDelta_ %= WHEEL_DELTA;
        const long long by = lines == WHEEL_PAGESCROLL ? VisibleLines() : static_cast<long long>(lines);
        ScrollTo(static_cast<std::ptrdiff_t>(static_cast<long long>(text_.TopLine()) - steps * by), left_);
        UpdateScrollBars();
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(hwnd_);
        SetCapture(hwnd_);
        Select(LineAt(static_cast<short>(HIWORD(lParam))), (wParam & MK_SHIFT) != 0);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd_) {
            Select(LineAt(static_cast<short>(HIWORD(lParam))), true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd_) {
            ReleaseCapture();
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_COPY:
        Copy();
        return 0;
    case WM_KEYDOWN: {
        const bool control = GetKeyState(VK_CONTROL) < 0;
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        const auto last = static_cast<std::ptrdiff_t>(text_.LineCount()) - 1;
        const auto caret = static_cast<std::ptrdiff_t>(lineChosen_ ? caretLine_ : text_.TopLine());
        const auto page = static_cast<std::ptrdiff_t>(VisibleLines());
        const auto move = [&](std::ptrdiff_t line) {
            Select(static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(line, 0, last)), shift);
        };
        if (control && (wParam == 'A' || wParam == 'C' || wParam == VK_INSERT)) {
            if (wParam == 'A') {
                text_.SelectAll();
                anchorLine_ = 0;
                caretLine_ = text_.LineCount() - 1;
                lineChosen_ = true;
                InvalidateRect(hwnd_, nullptr, FALSE);
            } else {
                Copy();
            }
            return 0;
        }
        switch (wParam) {
        case VK_UP:
            move(caret - 1);
            break;
        case VK_DOWN:
            move(caret + 1);
            break;
        case VK_PRIOR:
            move(caret - page);
            break;
        case VK_NEXT:
            move(caret + page);
            break;
        case VK_HOME:
            control ? move(0) : ScrollTo(static_cast<std::ptrdiff_t>(text_.TopLine()), 0);
            break;
        case VK_END:
            control ? move(last) : ScrollTo(static_cast<std::ptrdiff_t>(text_.TopLine()), widest_);
            break;
        case VK_LEFT:
        case VK_RIGHT:
            OnScroll(SB_HORZ, wParam == VK_LEFT ? SB_LINEUP : SB_LINEDOWN);
            break;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        }
        UpdateScrollBars();
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace archive::win32
