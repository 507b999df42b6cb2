#include "win32/menu_bar.h"

#include "commands/command_table.h"
#include "win32/text.h"

#include <array>
#include <string>
#include <vector>

namespace archive::win32 {

namespace {

struct Identified {
    CommandId command;
    int identifier;
};
constexpr std::array<Identified, 16> kIdentifiers = {{
    {CommandId::Open, kCmdOpen},
    {CommandId::OpenSV1, kButtonBase + 1},
    {CommandId::OpenBIG, kButtonBase + 2},
    {CommandId::OpenSGA, kButtonBase + 3},
    {CommandId::SaveSelected, kButtonBase + 5},
    {CommandId::SaveAll, kButtonBase + 6},
    {CommandId::ExtractTo, kCmdExtractTo},
    {CommandId::TestArchive, kCmdTestArchive},
    {CommandId::OpenOutputFolder, kCmdOpenOutput},
    {CommandId::Exit, kCmdExit},
    {CommandId::DebugToFile, kCmdDebugToFile},
    {CommandId::About, kCmdAbout},
    {CommandId::Details, kCmdDetails},
    {CommandId::CatalogueOrder, kCmdCatalogueOrder},
    {CommandId::Filter, kCmdFilter},
    {CommandId::Preview, kCmdPreview},
}};

// "Ctrl+E" as an accelerator; false for keys the focused control handles
// itself (Space and Enter belong to the list, and a letter to the filter box).
bool Accelerator(std::string_view shortcut, int identifier, ACCEL& key)
{
    constexpr std::string_view control = "Ctrl+";
    if (shortcut.size() != control.size() + 1 || shortcut.substr(0, control.size()) != control) {
        return false;
    }
    key = {FVIRTKEY | FCONTROL, static_cast<WORD>(shortcut.back()), static_cast<WORD>(identifier)};
    return true;
}

} // namespace

int IdentifierOf(CommandId command)
{
    for (const Identified& entry : kIdentifiers) {
        if (entry.command == command) {
            return entry.identifier;
        }
    }
    return 0;
}

bool CommandOf(int identifier, CommandId& command)
{
    for (const Identified& entry : kIdentifiers) {
        if (entry.identifier == identifier) {
            command = entry.command;
            return true;
        }
    }
    return false;
}

MenuBar::~MenuBar()
{
    if (accelerators_) {
        DestroyAcceleratorTable(accelerators_);
    }
}

HMENU MenuBar::Build()
{
    menu_ = CreateMenu();
    std::vector<ACCEL> keys;
    for (const std::string_view title : MenuTitles()) {
        const HMENU popup = CreatePopupMenu();
        for (const CommandSpec& tableRow : CommandTable()) {
            if (tableRow.menu != title) {
                continue;
            }
            const int identifier = IdentifierOf(tableRow.id);
            if (tableRow.id == CommandId::Exit) {
                // The toolbar's commands in the menu too, so the keyboard reaches every command.
                AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
                for (int position = 1; position <= 6; ++position) {
                    if (const CommandSpec* button = ToolbarCommand(position)) {
                        const std::wstring text = HostWide(button->tooltip);
                        AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(IdentifierOf(button->id)),
                                    text.c_str());
                    }
                }
                AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            }
            std::wstring text = HostWide(tableRow.text);
            if (!tableRow.shortcut.empty()) {
                text += L"\t" + HostWide(tableRow.shortcut);
            }
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(identifier), text.c_str());
            if (ACCEL key{}; Accelerator(tableRow.shortcut, identifier, key)) {
                keys.push_back(key);
            }
        }
        AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), HostWide(title).c_str());
    }
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
    for (const CommandId command : ContextMenuCommands()) {
        const int id = IdentifierOf(command);
        const std::wstring text = HostWide(SpecOf(command).text);
        AppendMenuW(popup, MF_STRING | (Enabled(id) ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(id),
                    text.c_str());
        if (command == CommandId::Preview) {
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        }
    }
    SetMenuDefaultItem(popup, kCmdPreview, FALSE);
    const int chosen = static_cast<int>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    DestroyMenu(popup);
    return chosen;
}

} // namespace archive::win32
