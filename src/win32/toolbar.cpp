#include "win32/toolbar.h"

#include "commands/command_table.h"
#include "win32/resource_ids.h"
#include "win32/text.h"

#include <cstddef>

namespace archive::win32 {

namespace {

constexpr COLORREF kLightGrey = RGB(192, 192, 192);

// The image list's icons, in the order of its keys "Open", "OpenSV1", "OpenBIG",
// "OpenSGA", "SaveSelected", "SaveAll" (the first is not used by a button).
constexpr std::array<int, 6> kImageIcons = {IDI_APP,     IDI_OPENSV1,      IDI_OPENBIG,
                                            IDI_OPENSGA, IDI_SAVESELECTED, IDI_SAVEALL};

// A button's image: its position in the image list's keys.
int ImageOf(int position)
{
    return position <= 3 ? position : position - 1;
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
    const std::wstring name = HostWide(kToolbarAccessibleName);
    hwnd_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, name.c_str(),
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
        const CommandSpec* tableRow = ToolbarCommand(position);
        if (!tableRow) {
            button.fsStyle = BTNS_SEP;
            continue;
        }
        names_[static_cast<std::size_t>(position)] = HostWide(tableRow->accessibleName);
        button.iBitmap = ImageOf(position);
        button.fsStyle = BTNS_BUTTON;
        button.fsState = position <= 3 ? TBSTATE_ENABLED : 0;
        button.iString = reinterpret_cast<INT_PTR>(names_[static_cast<std::size_t>(position)].c_str());
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

void Toolbar::Set(int position, bool enabled, const std::wstring& reason)
{
    const CommandSpec* tableRow = ToolbarCommand(position);
    if (!tableRow) {
        return;
    }
    SendMessageW(hwnd_, TB_ENABLEBUTTON, static_cast<WPARAM>(commandBase_ + position),
                 MAKELPARAM(enabled, 0));
    // The name carries the reason while the button is grey, for the tooltip and a screen reader alike.
    std::wstring& name = names_[static_cast<std::size_t>(position)];
    const std::wstring wanted =
        HostWide(tableRow->accessibleName) + (!enabled && !reason.empty() ? L" (" + reason + L")" : L"");
    if (name == wanted) {
        return;
    }
    name = wanted;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = name.data();
    SendMessageW(hwnd_, TB_SETBUTTONINFOW, static_cast<WPARAM>(commandBase_ + position),
                 reinterpret_cast<LPARAM>(&info));
}

bool Toolbar::Enabled(int position) const
{
    return SendMessageW(hwnd_, TB_ISBUTTONENABLED, static_cast<WPARAM>(commandBase_ + position), 0) != 0;
}

std::string Toolbar::Key(int position)
{
    const CommandSpec* tableRow = ToolbarCommand(position);
    return tableRow ? std::string(tableRow->key) : std::string();
}

const wchar_t* Toolbar::Tooltip(int position) const
{
    return position >= 1 && position <= kButtons ? names_[static_cast<std::size_t>(position)].c_str() : L"";
}

} // namespace archive::win32
