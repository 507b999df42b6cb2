#include "win32/about_box.h"

#include "about/about.h"
#include "platform/text_encoding.h"
#include "version/version_text.h"
#include "win32/dpi.h"
#include "win32/resource_ids.h"

#include <cmath>
#include <string>

namespace archive::win32 {

namespace {
constexpr const wchar_t* kClassName = L"ArchiveToolAbout";
constexpr COLORREF kLightGrey = RGB(192, 192, 192);

// The About box's layout, in twips from the top left of its client area.
constexpr int kClientWidth = 6735;
constexpr int kClientHeight = 3630;
constexpr RECT kPicture = {240, 240, 240 + 780, 240 + 780};

struct ControlSpec {
    const wchar_t* kind;
    int id;
    DWORD style;
    int left, top, width, height;
};
constexpr int kTitleId = 1010;
constexpr int kVersionId = 1011;
constexpr int kDescriptionId = 1012;
constexpr int kDisclaimerId = 1013;

bool RegisterAboutClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kClassName, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
}
} // namespace

AboutBox::AboutBox(RegistryAndLauncher& registry, std::function<void()> onClosed)
    : registry_(registry), onClosed_(std::move(onClosed))
{
    messageSink = [this](const std::wstring& text) {
        const std::wstring caption = Windows1252ToWide(kApplicationTitle);
        MessageBoxW(hwnd_, text.c_str(), caption.c_str(), MB_OK);
    };
}

AboutBox::~AboutBox()
{
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(titleFont_)}) {
        if (object) {
            DeleteObject(object);
        }
    }
    for (HICON icon : {icon_, smallIcon_}) {
        if (icon) {
            DestroyIcon(icon);
        }
    }
}

int AboutBox::Pixels(int twips) const
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi_ / 1440.0));
}

bool AboutBox::Create()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterAboutClass(instance, &AboutBox::WindowProc)) {
        return false;
    }
    const std::wstring caption = Windows1252ToWide(kAboutCaption);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    hwnd_ = CreateWindowExW(exStyle, kClassName, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                            100, nullptr, nullptr, instance, this);
    if (!hwnd_) {
        return false;
    }
    dpi_ = WindowDpi(hwnd_);

    const int bigSize = Pixels(720); // 48 pixels at 96 dots per inch
    icon_ =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, bigSize, bigSize, 0));
    smallIcon_ =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // A client area of 6735 by 3630 twips, centred on the screen.
    RECT frame = {0, 0, Pixels(kClientWidth), Pixels(kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    CreateControls();
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(GetDlgItem(hwnd_, kOk));
    return true;
}

void AboutBox::CreateControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    font_ = MakeMessageFont(dpi_);
    // Bold 13.5-point "MS Sans Serif", a little smaller where the system's
    // stand-in for that face is wider than the title's box.
    const std::wstring titleText = Windows1252ToWide(kApplicationTitle);
    const int titleWidth = Pixels(5535) - 4;
    const HDC dc = GetDC(hwnd_);
    for (double points = 13.5; points >= 8; points -= 0.5) {
        titleFont_ = MakeMessageFont(dpi_, FW_BOLD, points, L"MS Sans Serif");
        const HGDIOBJ old = SelectObject(dc, titleFont_);
        SIZE size{};
        GetTextExtentPoint32W(dc, titleText.c_str(), static_cast<int>(titleText.size()), &size);
        SelectObject(dc, old);
        if (size.cx <= titleWidth) {
            break;
        }
        DeleteObject(titleFont_);
        titleFont_ = nullptr;
    }
    ReleaseDC(hwnd_, dc);
    if (!titleFont_) {
        titleFont_ = MakeMessageFont(dpi_, FW_BOLD, 8, L"MS Sans Serif");
    }

    // Created in tab order: the two buttons first, then the texts.
    const std::wstring version = Windows1252ToWide(AboutVersionLine());
    std::wstring credits = Windows1252ToWide(AboutCredits());
    const std::wstring author = Windows1252ToWide(AboutAuthorLine());
    const std::wstring title = Windows1252ToWide(kApplicationTitle);
    struct Control {
        ControlSpec place;
        const std::wstring text;
    };
    const Control controls[] = {
        {{L"BUTTON", kOk, WS_TABSTOP | BS_DEFPUSHBUTTON, 5085, 2625, 1467, 345}, L"OK"},
        {{L"BUTTON", kSysInfo, WS_TABSTOP | BS_PUSHBUTTON, 5100, 3075, 1452, 345}, L"&System Info..."},
        {{L"STATIC", kVersionId, SS_LEFT | SS_NOPREFIX, 1050, 780, 5535, 225}, version},
        {{L"STATIC", kDescriptionId, SS_LEFT | SS_NOPREFIX, 1050, 1125, 5535, 1170}, credits},
        {{L"STATIC", kDisclaimerId, SS_LEFT | SS_NOPREFIX, 240, 2625, 4695, 825}, author},
        {{L"EDIT", kTitleId, ES_READONLY | ES_AUTOHSCROLL, 1080, 240, 5535, 495}, title},
    };
    for (const Control& control : controls) {
        const ControlSpec& place = control.place;
        const HWND child = CreateWindowExW(
            0, place.kind, control.text.c_str(), WS_CHILD | WS_VISIBLE | place.style, Pixels(place.left),
            Pixels(place.top), Pixels(place.width), Pixels(place.height), hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)), instance, nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(place.id == kTitleId ? titleFont_ : font_),
                     FALSE);
    }
}

void AboutBox::Paint()
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd_, &paint);
    // The picture: the 48 by 48 icon on light grey.
    const RECT picture = {Pixels(kPicture.left), Pixels(kPicture.top), Pixels(kPicture.right),
                          Pixels(kPicture.bottom)};
    const HBRUSH grey = CreateSolidBrush(kLightGrey);
    FillRect(dc, &picture, grey);
    DeleteObject(grey);
    const int size = Pixels(720);
    DrawIconEx(dc, (picture.left + picture.right - size) / 2, (picture.top + picture.bottom - size) / 2,
               icon_, size, size, 0, nullptr, DI_NORMAL);
    // The engraved rule: a grey line with a white line two pixels wide below it.
    const HPEN greyPen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    const HPEN whitePen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    const HGDIOBJ old = SelectObject(dc, greyPen);
    MoveToEx(dc, Pixels(225), Pixels(2430), nullptr);
    LineTo(dc, Pixels(6600), Pixels(2430));
    SelectObject(dc, whitePen);
    MoveToEx(dc, Pixels(240), Pixels(2430) + 2, nullptr);
    LineTo(dc, Pixels(6600), Pixels(2430) + 2);
    SelectObject(dc, old);
    DeleteObject(greyPen);
    DeleteObject(whitePen);
    EndPaint(hwnd_, &paint);
}

LRESULT CALLBACK AboutBox::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<AboutBox*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<AboutBox*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT AboutBox::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: // Esc
            DestroyWindow(hwnd_);
            return 0;
        case kSysInfo:
            StartSysInfo(registry_,
                         [this](const std::string& text) { messageSink(Windows1252ToWide(text)); });
            return 0;
        default:
            break;
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_CTLCOLORSTATIC: {
        // Black texts on the button face, as the dialog is drawn.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT:
        Paint();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    case WM_NCDESTROY: {
        const HWND window = hwnd_;
        hwnd_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (onClosed_) {
            onClosed_();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace archive::win32
