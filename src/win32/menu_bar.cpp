#include "win32/menu_bar.h"

#include <array>

namespace archive::win32 {

MenuBar::~MenuBar()
{
    if (accelerators_) {
        DestroyAcceleratorTable(accelerators_);
    }
    if (menu_ && !IsMenu(menu_)) {
        menu_ = nullptr; // went with its window
    }
}

HMENU MenuBar::Build()
{
    menu_ = CreateMenu();
    const HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kCmdOpen, L"&Open\tCtrl+O");
    AppendMenuW(file, MF_STRING, kButtonBase + 1, L"Open SV&1 BIG File…");
    AppendMenuW(file, MF_STRING, kButtonBase + 2, L"Open SV&2 BIG File…");
    AppendMenuW(file, MF_STRING, kButtonBase + 3, L"Open &MF SGA File…");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING | MF_GRAYED, kButtonBase + 5, L"Save &Selected File");
    AppendMenuW(file, MF_STRING | MF_GRAYED, kButtonBase + 6, L"Save &All Files in Archive");
    AppendMenuW(file, MF_STRING | MF_GRAYED, kCmdExtractTo, L"Extract &To…\tCtrl+E");
    AppendMenuW(file, MF_STRING | MF_GRAYED, kCmdTestArchive, L"&Test Archive\tCtrl+T");
    AppendMenuW(file, MF_STRING, kCmdOpenOutput, L"Open Output &Folder");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, kCmdExit, L"E&xit");
    const HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING, kCmdFilter, L"&Filter\tCtrl+F");
    AppendMenuW(view, MF_STRING | MF_GRAYED, kCmdPreview, L"&Preview\tEnter");
    AppendMenuW(view, MF_STRING, kCmdSelectAll, L"Select &All\tCtrl+A");
    const HMENU options = CreatePopupMenu();
    AppendMenuW(options, MF_STRING | MF_UNCHECKED, kCmdDebugToFile, L"&Debug to File");
    const HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, kCmdAbout, L"&About");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"&Options");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");

    // Ctrl+A and Enter belong to the control that has the focus (the filter box
    // selects its text with Ctrl+A): the list handles them itself.
    std::array<ACCEL, 4> keys = {{{FVIRTKEY | FCONTROL, 'O', kCmdOpen},
                                  {FVIRTKEY | FCONTROL, 'E', kCmdExtractTo},
                                  {FVIRTKEY | FCONTROL, 'T', kCmdTestArchive},
                                  {FVIRTKEY | FCONTROL, 'F', kCmdFilter}}};
    accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    return menu_;
}

void MenuBar::Enable(int id, bool enabled)
{
    EnableMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool MenuBar::Enabled(int id) const
{
    const UINT state = GetMenuState(menu_, static_cast<UINT>(id), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void MenuBar::Check(int id, bool checked)
{
    CheckMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

int MenuBar::TrackContextMenu(HWND owner, POINT at) const
{
    const HMENU popup = CreatePopupMenu();
    const auto item = [&](int id, const wchar_t* text) {
        AppendMenuW(popup, MF_STRING | (Enabled(id) ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(id),
                    text);
    };
    item(kCmdPreview, L"&Preview");
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    item(kCmdExtractTo, L"Extract &To…");
    item(kCmdTestArchive, L"&Test Archive");
    SetMenuDefaultItem(popup, kCmdPreview, FALSE);
    const int chosen = static_cast<int>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    DestroyMenu(popup);
    return chosen;
}

} // namespace archive::win32
