#pragma once

#include "commands/command_state.h"

#include <span>
#include <string_view>

namespace archive {

// One command as both windows show it. Texts are host text (UTF-8); "&"
// marks a menu text's access key.
struct CommandSpec {
    CommandId id;
    std::string_view menu;     // the menu it sits in ("&File"...), empty when in none
    std::string_view text;     // its menu text
    std::string_view shortcut; // "Ctrl+O" style, empty when none
    std::string_view key;      // the toolbar button's key, also its icon's name; empty when none
    int toolbarPosition;       // 1 to 6 counting the separator at 4; 0 when not on the toolbar
    std::string_view tooltip;  // the toolbar button's tooltip
    // What a screen reader says for it: the command's own name, for a
    // toolbar button too (its image has no text of its own).
    std::string_view accessibleName;
    bool inContextMenu; // offered by a right click on the catalogue
    bool checkable;
};

// Every command in menu order: the File menu's, the View menu's, the
// Options menu's, the Help menu's, then the toolbar's that sit in no menu.
std::span<const CommandSpec> CommandTable();
const CommandSpec& SpecOf(CommandId id);
// The command of a toolbar position (1 to 6); nullptr for the separator and outside.
const CommandSpec* ToolbarCommand(int position);
// The menus, left to right.
std::span<const std::string_view> MenuTitles();
// The right-click menu of the catalogue: its commands in order, a
// separator after Preview.
std::span<const CommandId> ContextMenuCommands();

// Accessible names of the windows' controls besides the commands.
inline constexpr std::string_view kTreeAccessibleName = "Archive contents";
inline constexpr std::string_view kLogAccessibleName = "Log";
inline constexpr std::string_view kFilterAccessibleName = "Filter";
inline constexpr std::string_view kProgressAccessibleName = "Progress";
inline constexpr std::string_view kStatusAccessibleName = "Status";
inline constexpr std::string_view kToolbarAccessibleName = "Toolbar";

} // namespace archive
