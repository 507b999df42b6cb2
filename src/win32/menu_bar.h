#pragma once

#include "commands/command_state.h"

#include <windows.h>

namespace archive::win32 {

// The WM_COMMAND identifiers of the shared commands (commands/command_table.h).
// Toolbar button at position p (1 to 6, 4 the separator) sends kButtonBase + p;
// the File menu's items for the toolbar's commands send the same.
enum CommandIdentifier : int {
    kCmdOpen = 100,
    kCmdExit = 101,
    kCmdDebugToFile = 102,
    kCmdAbout = 103,
    kCmdExtractTo = 104,
    kCmdTestArchive = 105,
    kCmdOpenOutput = 106,
    kCmdFilter = 107,
    kCmdPreview = 108,
    kCmdDetails = 109,
    kCmdCatalogueOrder = 110,
    kButtonBase = 200,
};

// The identifier a shared command sends, and back (false for none).
int IdentifierOf(CommandId command);
bool CommandOf(int identifier, CommandId& command);

// The menu bar, the list's context menu and the accelerators, all from the
// shared command table.
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

    // Shows the right-click menu at a screen point, each item enabled as in
    // the menu bar; the chosen command or 0.
    int TrackContextMenu(HWND owner, POINT at) const;

  private:
    HMENU menu_ = nullptr;
    HACCEL accelerators_ = nullptr;
};

} // namespace archive::win32
