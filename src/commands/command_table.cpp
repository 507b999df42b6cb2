#include "commands/command_table.h"

#include <algorithm>
#include <array>

namespace archive {

namespace {

constexpr std::array<CommandSpec, 16> kCommands = {{
    {CommandId::Open, "&File", "&Open", "Ctrl+O", "", 0, "", "Open", false, false},
    {CommandId::ExtractTo, "&File", "Extract &To…", "Ctrl+E", "", 0, "", "Extract To", true, false},
    {CommandId::TestArchive, "&File", "&Test Archive", "Ctrl+T", "", 0, "", "Test Archive", true, false},
    {CommandId::OpenOutputFolder, "&File", "Open Output &Folder", "", "", 0, "", "Open Output Folder", false,
     false},
    {CommandId::Exit, "&File", "E&xit", "", "", 0, "", "Exit", false, false},
    {CommandId::Details, "&View", "&Details and Icons", "", "", 0, "", "Details and Icons", false, true},
    {CommandId::CatalogueOrder, "&View", "&Catalogue Order", "", "", 0, "", "Catalogue Order", false, false},
    {CommandId::Filter, "&View", "&Filter", "Ctrl+F", "", 0, "", "Filter", false, false},
    {CommandId::Preview, "&View", "&Preview", "Space", "", 0, "", "Preview", true, false},
    {CommandId::DebugToFile, "&Options", "&Debug to File", "", "", 0, "", "Debug to File", false, true},
    {CommandId::About, "&Help", "&About", "", "", 0, "", "About", false, false},
    {CommandId::OpenSV1, "", "", "", "OpenSV1", 1, "Open SV1 BIG File", "Open SV1 BIG File", false, false},
    {CommandId::OpenBIG, "", "", "", "OpenBIG", 2, "Open SV2 BIG File", "Open SV2 BIG File", false, false},
    {CommandId::OpenSGA, "", "", "", "OpenSGA", 3, "Open MF SGA File", "Open MF SGA File", false, false},
    {CommandId::SaveSelected, "", "", "", "SaveSelected", 5, "Save Selected File", "Save Selected File",
     false, false},
    {CommandId::SaveAll, "", "", "", "SaveAll", 6, "Save All Files in Archive", "Save All Files in Archive",
     false, false},
}};

constexpr std::array<std::string_view, 4> kMenus = {"&File", "&View", "&Options", "&Help"};

constexpr std::array<CommandId, 3> kContextMenu = {CommandId::Preview, CommandId::ExtractTo,
                                                   CommandId::TestArchive};

} // namespace

std::span<const CommandSpec> CommandTable()
{
    return kCommands;
}

const CommandSpec& SpecOf(CommandId id)
{
    return *std::find_if(kCommands.begin(), kCommands.end(),
                         [id](const CommandSpec& tableRow) { return tableRow.id == id; });
}

const CommandSpec* ToolbarCommand(int position)
{
    const auto found =
        std::find_if(kCommands.begin(), kCommands.end(), [position](const CommandSpec& tableRow) {
            return position != 0 && tableRow.toolbarPosition == position;
        });
    return found == kCommands.end() ? nullptr : &*found;
}

std::span<const std::string_view> MenuTitles()
{
    return kMenus;
}

std::span<const CommandId> ContextMenuCommands()
{
    return kContextMenu;
}

} // namespace archive
