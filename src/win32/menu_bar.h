#pragma once

#include <windows.h>

namespace archive::win32 {

// Menu items, toolbar buttons and keys, as the WM_COMMAND identifiers they send.
// Toolbar button at position p (1 to 6, 4 the separator) sends kButtonBase + p;
// the File menu's items for the toolbar's commands send the same.
enum CommandId : int {
    kCmdOpen = 100,
    kCmdExit = 101,
    kCmdDebugToFile = 102,
    kCmdAbout = 103,
    kCmdExtractTo = 104,
    kCmdTestArchive = 105,
    kCmdOpenOutput = 106,
    kCmdFilter = 107,
    kCmdPreview = 108,
    kCmdSelectAll = 109,
    kButtonBase = 200,
};

// The menu bar, the list's context menu and the accelerators.
class MenuBar {
  public:
    MenuBar() = default;
    ~MenuBar();
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    // Makes the menu bar (given to the window, which destroys it) and the accelerators.
    HMENU Build();
    HMENU menu() const { return menu_; }
    HACCEL accelerators() const { return accelerators_; }

    void Enable(int id, bool enabled);
    bool Enabled(int id) const;
    void Check(int id, bool checked);

    // Shows the right-click menu (Preview, Extract To…, Test Archive) at a
    // screen point, each item enabled as in the menu bar; the chosen command or 0.
    int TrackContextMenu(HWND owner, POINT at) const;

  private:
    HMENU menu_ = nullptr;
    HACCEL accelerators_ = nullptr;
};

} // namespace archive::win32
