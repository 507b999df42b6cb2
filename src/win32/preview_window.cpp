#include "win32/preview_window.h"

#include "commands/command_state.h"
#include "commands/preview_view.h"
#include "platform/text_encoding.h"
#include "win32/dpi.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace archive::win32 {

namespace {

constexpr int kSummaryId = 1;
constexpr int kTextId = 2;
constexpr int kProblemId = 3;
constexpr int kImageId = 4;

// An archive string for a window: control characters as visible symbols.
std::wstring VisibleWide(std::string_view text)
{
    std::wstring wide;
    for (const char32_t c : Windows1252ToVisibleCodePoints(text)) {
        wide += static_cast<wchar_t>(c); // every one of them lies in the basic plane
    }
    return wide;
}

// Text for the line view, which ends its lines in "\n": every line end (CR
// LF, LF, CR) as that, and every other control character but the tab as its
// visible symbol, as the log shows them.
std::u16string LinesText(std::wstring_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            out += u'\n';
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
                ++i;
            }
        } else if (c < 32 && c != L'\t') {
            out += static_cast<char16_t>(0x2400 + c);
        } else {
            out += c == 127 ? u'\x2421' : static_cast<char16_t>(c);
        }
    }
    return out;
}

// A count with the user's thousands separator, as the Linux window writes sizes.
std::wstring Count(std::size_t value)
{
    wchar_t separator[8] = L",";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    std::wstring digits = std::to_wstring(value);
    for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), separator);
    }
    return digits;
}

bool RegisterClasses(HINSTANCE instance, WNDPROC window, WNDPROC image)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, PreviewWindow::kWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = window;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = PreviewWindow::kWindowClass;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!RegisterClassExW(&windowClass)) {
        return false;
    }
    windowClass.lpfnWndProc = image;
    windowClass.hIcon = nullptr;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = PreviewWindow::kImageViewClass;
    return RegisterClassExW(&windowClass) != 0;
}

} // namespace

PreviewWindow::~PreviewWindow()
{
    DropFetch();
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (HFONT font : {font_, fixedFont_}) {
        if (font) {
            DeleteObject(font);
        }
    }
}

HWND PreviewWindow::content() const
{
    switch (shown_) {
    case Shown::Image:
        return imageView_;
    case Shown::Text:
    case Shown::Hex:
        return text_;
    case Shown::Problem:
    case Shown::Reading:
        return problem_;
    case Shown::Nothing:
        break;
    }
    return nullptr;
}

bool PreviewWindow::Create(HWND owner)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance, WindowProc, ImageProc)) {
        return false;
    }
    const UINT dpi = owner ? WindowDpi(owner) : 96;
    hwnd_ = CreateWindowExW(0, kWindowClass, L"Preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, MulDiv(640, static_cast<int>(dpi), 96),
                            MulDiv(480, static_cast<int>(dpi), 96), owner, nullptr, instance, this);
    if (!hwnd_) {
        return false;
    }
    dpi_ = WindowDpi(hwnd_);
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const auto make = [&](const wchar_t* kind, int id, DWORD style, DWORD exStyle = 0) {
        return CreateWindowExW(exStyle, kind, L"", child | style, 0, 0, 0, 0, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    summary_ = make(L"STATIC", kSummaryId, SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS);
    text_ = textView_.Create(hwnd_, kTextId, 0, 0, 0, 0);
    problem_ = make(L"STATIC", kProblemId, SS_CENTER | SS_NOPREFIX);
    imageView_ = make(kImageViewClass, kImageId, WS_TABSTOP, WS_EX_CLIENTEDGE);
    SetWindowLongPtrW(imageView_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowSubclass(text_, EscapeCloses, 1, reinterpret_cast<DWORD_PTR>(hwnd_));
    SetFonts();
    Layout();
    return true;
}

void PreviewWindow::SetFonts()
{
    for (HFONT font : {font_, fixedFont_}) {
        if (font) {
            DeleteObject(font);
        }
    }
    font_ = MakeMessageFont(dpi_);
    fixedFont_ = MakeMessageFont(dpi_, FW_NORMAL, 9.0, L"Courier New");
    for (HWND control : {summary_, problem_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(shown_ == Shown::Hex ? fixedFont_ : font_),
                 TRUE);
}

void PreviewWindow::Layout()
{
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int margin = MulDiv(6, static_cast<int>(dpi_), 96);
    TEXTMETRICW metrics{};
    const HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, font_);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    const int line = metrics.tmHeight + metrics.tmExternalLeading;
    const int width = std::max<int>(client.right - 2 * margin, 0);
    MoveWindow(summary_, margin, margin, width, line, TRUE);
    const int top = 2 * margin + line;
    const int height = std::max<int>(client.bottom - top - margin, 0);
    for (HWND view : {text_, imageView_}) {
        MoveWindow(view, margin, top, width, height, TRUE);
    }
    // The reason there is nothing to show, in the middle of the space, as the Linux window puts it.
    const int length = GetWindowTextLengthW(problem_);
    std::wstring reason(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(problem_, reason.data(), length + 1);
    RECT needed{0, 0, width, 0};
    const HDC measuring = GetDC(problem_);
    const HGDIOBJ previous = SelectObject(measuring, font_);
    DrawTextW(measuring, reason.c_str(), length, &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    SelectObject(measuring, previous);
    ReleaseDC(problem_, measuring);
    const int reasonHeight = std::min<int>(needed.bottom, height);
    MoveWindow(problem_, margin, top + (height - reasonHeight) / 2, width, reasonHeight, TRUE);
}

void PreviewWindow::ShowOnly(HWND child)
{
    for (HWND view : {text_, problem_, imageView_}) {
        ShowWindow(view, view == child ? SW_SHOW : SW_HIDE);
    }
}

void PreviewWindow::Show(HWND owner, const EntryPreview& preview)
{
    if (!hwnd_ && !Create(owner)) {
        return;
    }
    const std::wstring name = VisibleWide(preview.name);
    SetWindowTextW(hwnd_, (L"Preview - " + name).c_str());
    // The entry's own size: a partial read holds only what the view shows.
    const std::int64_t whole = std::max(preview.size, static_cast<std::int64_t>(preview.content.size()));
    const std::wstring size = Count(static_cast<std::size_t>(whole));
    const std::string_view bytes = preview.content.AsText();
    image_ = {};
    textView_.Clear();
    const auto byName = [&] {
        image_ = DecodeByName(bytes, preview.name);
        return !image_.Empty();
    };
    const auto byContent = [&] {
        image_ = DecodeWithSystem(bytes);
        return !image_.Empty();
    };
    const PreviewView view = ChoosePreviewView(preview, ImageDecoding{byName, byContent});
    if (view == PreviewView::Problem) {
        shown_ = Shown::Problem;
        SetWindowTextW(summary_, name.c_str());
        SetWindowTextW(problem_, Windows1252ToWide(preview.problem).c_str());
        Layout();
    } else if (view == PreviewView::Image) {
        shown_ = Shown::Image;
        SetWindowTextW(summary_, (name + L": image, " + std::to_wstring(image_.width) + L" x " +
                                  std::to_wstring(image_.height) + L" pixels, " + size + L" bytes")
                                     .c_str());
        // Transparent pixels show the view's own colour; blended in place, not in a second copy.
        const COLORREF back = GetSysColor(COLOR_WINDOW);
        const int backColour[3] = {GetBValue(back), GetGValue(back), GetRValue(back)};
        for (std::size_t i = 0; i < image_.pixels.size(); i += 4) {
            const int alpha = image_.pixels[i + 3];
            for (std::size_t c = 0; c < 3; ++c) {
                image_.pixels[i + c] = static_cast<std::uint8_t>(
                    (image_.pixels[i + c] * alpha + backColour[c] * (255 - alpha) + 127) / 255);
            }
        }
        SetWindowTextW(imageView_, name.c_str());
        InvalidateRect(imageView_, nullptr, TRUE);
    } else if (view == PreviewView::Text) {
        shown_ = Shown::Text;
        const bool cut = preview.partial || bytes.size() > kPreviewTextLimit;
        SetWindowTextW(
            summary_,
            (name + L": text, " + size + L" bytes" + (cut ? L", the first MiB shown" : L"")).c_str());
        SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        textView_.Append(LinesText(Windows1252ToWide(bytes.substr(0, kPreviewTextLimit))));
    } else {
        shown_ = Shown::Hex;
        const bool cut = preview.partial || bytes.size() > kPreviewHexLimit;
        SetWindowTextW(summary_,
                       (name + L": " + size + L" bytes" + (cut ? L", the first 64 KiB shown" : L"")).c_str());
        SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(fixedFont_), FALSE);
        // The count of bytes not shown is the entry's, not that of the part read.
        std::string dump = HexDump(bytes.substr(0, kPreviewHexLimit), kPreviewHexLimit);
        const auto shownBytes = static_cast<std::int64_t>(std::min(bytes.size(), kPreviewHexLimit));
        if (whole > shownBytes) {
            dump += "... " + std::to_string(whole - shownBytes) + " more bytes not shown\n";
        }
        textView_.Append(LinesText(std::wstring(dump.begin(), dump.end()))); // ASCII only
    }
    SendMessageW(text_, WM_VSCROLL, SB_TOP, 0); // the start, where an append follows the end
    ShowOnly(content());
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(shown_ == Shown::Problem ? hwnd_ : content());
}

bool PreviewWindow::ShowNode(HWND owner, FrmBig& frm, int node)
{
    Cancel(); // another entry chosen mid-way: the read under way stops
    auto running = std::make_unique<RunningScope>(frm, RunningCommand::Preview);
    if (!running->Started() || (!hwnd_ && !Create(owner))) {
        return false;
    }
    running_ = std::move(running);
    fetch_ = std::make_unique<PreviewFetch>(frm, node);
    if (!fetch_->Step()) {
        EndFetch(); // a short entry shows at once
        return true;
    }
    readingName_ = node >= 1 && static_cast<std::size_t>(node) <= frm.tree().Count()
                       ? VisibleWide(frm.tree().Node(node).text)
                       : std::wstring();
    shown_ = Shown::Reading;
    image_ = {};
    textView_.Clear();
    SetWindowTextW(hwnd_, (L"Preview - " + readingName_).c_str());
    SetWindowTextW(summary_, (readingName_ + L": reading\u2026").c_str());
    SetWindowTextW(problem_, L"Reading\u2026");
    Layout();
    ShowOnly(problem_);
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    // Timer messages come after input and painting: the windows stay live between pieces.
    SetTimer(hwnd_, kStepTimer, USER_TIMER_MINIMUM, nullptr);
    return true;
}

void PreviewWindow::StepFetch()
{
    // Pieces for a short while per tick: the timer's period is far longer than a piece.
    const ULONGLONG start = GetTickCount64();
    while (fetch_) {
        if (!fetch_->Step()) {
            EndFetch();
            return;
        }
        if (GetTickCount64() - start >= 20) {
            break;
        }
    }
    if (fetch_) {
        const std::int64_t total = std::max<std::int64_t>(fetch_->Total(), 1);
        SetWindowTextW(summary_, (readingName_ + L": reading\u2026 " +
                                  std::to_wstring(fetch_->Done() * 100 / total) + L"%")
                                     .c_str());
    }
}

void PreviewWindow::EndFetch()
{
    if (hwnd_) {
        KillTimer(hwnd_, kStepTimer);
    }
    const EntryPreview preview = fetch_->Take();
    fetch_.reset();
    running_.reset();
    Show(nullptr, preview);
    if (readingEnded) {
        readingEnded();
    }
}

void PreviewWindow::DropFetch()
{
    if (hwnd_) {
        KillTimer(hwnd_, kStepTimer);
    }
    fetch_.reset(); // closes its archive handle; nothing more is inflated
    running_.reset();
}

void PreviewWindow::Cancel()
{
    if (!fetch_) {
        return;
    }
    DropFetch();
    if (shown_ == Shown::Reading) {
        shown_ = Shown::Problem;
        SetWindowTextW(summary_, readingName_.c_str());
        SetWindowTextW(problem_, L"The preview was closed before the entry was read.");
    }
    if (readingEnded) {
        readingEnded();
    }
}

void PreviewWindow::PaintImage(HWND window)
{
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    if (!image_.Empty()) {
        // At its own size, or smaller to fit the view: never blown up.
        const double scale = std::min({1.0, static_cast<double>(client.right) / image_.width,
                                       static_cast<double>(client.bottom) / image_.height});
        const int width = std::max(1, static_cast<int>(image_.width * scale));
        const int height = std::max(1, static_cast<int>(image_.height * scale));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = image_.width;
        info.bmiHeader.biHeight = -image_.height; // rows top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, (client.right - width) / 2, (client.bottom - height) / 2, width, height, 0, 0,
                      image_.width, image_.height, image_.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK PreviewWindow::EscapeCloses(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR data)
{
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        PostMessageW(reinterpret_cast<HWND>(data), WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_GETDLGCODE && lParam) {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE) {
            return DLGC_WANTMESSAGE; // a dialog-style message loop hands Escape on to the control
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK PreviewWindow::ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<PreviewWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT:
        if (self) {
            self->PaintImage(window);
            return 0;
        }
        break;
    case WM_SIZE:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(window);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostMessageW(GetParent(window), WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PreviewWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* creating = static_cast<PreviewWindow*>(create->lpCreateParams);
        creating->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creating));
    }
    auto* self = reinterpret_cast<PreviewWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The owner went first and took this window with it, and a read under way.
        self->DropFetch();
        self->hwnd_ = self->summary_ = self->text_ = self->problem_ = self->imageView_ = nullptr;
        self->shown_ = Shown::Nothing;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT PreviewWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (summary_) {
            Layout();
        }
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        SetFonts();
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && content() && shown_ != Shown::Problem &&
            shown_ != Shown::Reading) {
            SetFocus(content());
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kStepTimer) {
            StepFetch();
            return 0;
        }
        break;
    case WM_CLOSE:
        // Kept for the next preview; the owner's end destroys it. A read under way stops.
        Cancel();
        ShowWindow(hwnd_, SW_HIDE);
        if (const HWND owner = GetWindow(hwnd_, GW_OWNER)) {
            SetActiveWindow(owner);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace archive::win32
