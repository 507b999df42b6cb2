#include "win32/toolbar.h"

#include "win32/resource_ids.h"

#include <cstddef>

namespace archive::win32 {

namespace {

constexpr COLORREF kLightGrey = RGB(192, 192, 192);

// A toolbar button's key, tooltip and image, left to right; an empty key is the separator.
struct ButtonSpec {
    const char* key;
    const wchar_t* tooltip;
    int image;
};
constexpr std::array<ButtonSpec, Toolbar::kButtons> kSpecs = {{{"OpenSV1", L"Open SV1 BIG File", 1},
                                                               {"OpenBIG", L"Open SV2 BIG File", 2},
                                                               {"OpenSGA", L"Open MF SGA File", 3},
                                                               {"", L"", 0},
                                                               {"SaveSelected", L"Save Selected File", 4},
                                                               {"SaveAll", L"Save All Files in Archive", 5}}};
// The image list's icons, in the order of its keys "Open", "OpenSV1", "OpenBIG",
// "OpenSGA", "SaveSelected", "SaveAll" (the first is not used by a button).
constexpr std::array<int, 6> kImageIcons = {IDI_APP,     IDI_OPENSV1,      IDI_OPENBIG,
                                            IDI_OPENSGA, IDI_SAVESELECTED, IDI_SAVEALL};

const ButtonSpec& Spec(int position)
{
    return kSpecs[static_cast<std::size_t>(position - 1)];
}

bool IsButton(int position)
{
    return position >= 1 && position <= Toolbar::kButtons && *Spec(position).key != '\0';
}

} // namespace

Toolbar::~Toolbar()
{
    if (images_) {
        ImageList_Destroy(images_);
    }
}

int Toolbar::ImageSize(UINT dpi)
{
    return MulDiv(32, static_cast<int>(dpi), 96);
}

HWND Toolbar::Create(HWND parent, int id, int commandBase, UINT dpi)
{
    commandBase_ = commandBase;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // List style with mixed buttons: each button has a name (read by screen
    // readers, shown as its tooltip) and shows its image alone.
    hwnd_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"Toolbar",
                            WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_LIST | CCS_TOP,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                            nullptr);
    SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(hwnd_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    MakeImages(dpi);

    std::array<TBBUTTON, kButtons> buttons{};
    for (int position = 1; position <= kButtons; ++position) {
        TBBUTTON& button = buttons[static_cast<std::size_t>(position - 1)];
        button.idCommand = commandBase_ + position;
        if (!IsButton(position)) {
            button.fsStyle = BTNS_SEP;
            continue;
        }
        button.iBitmap = Spec(position).image;
        button.fsStyle = BTNS_BUTTON;
        wanted_[static_cast<std::size_t>(position)] = position <= 3;
        button.fsState = position <= 3 ? TBSTATE_ENABLED : 0;
        button.iString = reinterpret_cast<INT_PTR>(Spec(position).tooltip);
    }
    SendMessageW(hwnd_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(hwnd_, TB_AUTOSIZE, 0, 0);
    return hwnd_;
}

void Toolbar::MakeImages(UINT dpi)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const int size = ImageSize(dpi);
    const HIMAGELIST old = images_;
    images_ = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 6, 0);
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBRUSH grey = CreateSolidBrush(kLightGrey);
    for (const int icon : kImageIcons) {
        const auto image =
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, 0));
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
        const HGDIOBJ previous = SelectObject(dc, bitmap);
        const RECT all = {0, 0, size, size};
        FillRect(dc, &all, grey);
        DrawIconEx(dc, 0, 0, image, size, size, 0, nullptr, DI_NORMAL);
        SelectObject(dc, previous);
        ImageList_AddMasked(images_, bitmap, kLightGrey);
        DeleteObject(bitmap);
        DestroyIcon(image);
    }
    DeleteObject(grey);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    SendMessageW(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    if (old) {
        ImageList_Destroy(old);
    }
}

void Toolbar::SetDpi(UINT dpi)
{
    MakeImages(dpi);
    const int size = ImageSize(dpi);
    SendMessageW(
        hwnd_, TB_SETBUTTONSIZE, 0,
        MAKELPARAM(size + MulDiv(7, static_cast<int>(dpi), 96), size + MulDiv(6, static_cast<int>(dpi), 96)));
    SendMessageW(hwnd_, TB_AUTOSIZE, 0, 0);
}

void Toolbar::SetWanted(int position, bool enabled)
{
    if (!IsButton(position)) {
        return;
    }
    wanted_[static_cast<std::size_t>(position)] = enabled;
    Apply(position);
}

bool Toolbar::Wanted(int position) const
{
    return IsButton(position) && wanted_[static_cast<std::size_t>(position)];
}

void Toolbar::Allow(bool allowed)
{
    allowed_ = allowed;
    for (int position = 1; position <= kButtons; ++position) {
        if (IsButton(position)) {
            Apply(position);
        }
    }
}

void Toolbar::SetReason(int position, std::wstring reason)
{
    if (IsButton(position)) {
        tooltips_[static_cast<std::size_t>(position)] = std::move(reason);
        Apply(position);
    }
}

void Toolbar::Apply(int position)
{
    SendMessageW(hwnd_, TB_ENABLEBUTTON, static_cast<WPARAM>(commandBase_ + position),
                 MAKELPARAM(allowed_ && wanted_[static_cast<std::size_t>(position)], 0));
    // The name carries the reason while the button is grey, for the tooltip and a screen reader alike.
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(Tooltip(position));
    SendMessageW(hwnd_, TB_SETBUTTONINFOW, static_cast<WPARAM>(commandBase_ + position),
                 reinterpret_cast<LPARAM>(&info));
}

std::string Toolbar::Key(int position)
{
    return position >= 1 && position <= kButtons ? Spec(position).key : "";
}

const wchar_t* Toolbar::Tooltip(int position) const
{
    if (!IsButton(position)) {
        return L"";
    }
    const std::wstring& reason = tooltips_[static_cast<std::size_t>(position)];
    return !reason.empty() && !wanted_[static_cast<std::size_t>(position)] ? reason.c_str()
                                                                           : Spec(position).tooltip;
}

} // namespace archive::win32
