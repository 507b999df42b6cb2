#include "commands/open_command.h"

#include "commands/command_state.h"
#include "commands/open_flow.h"
#include "commands/output_folder.h"
#include "extract/extract.h"
#include "window/catalogue_filter.h"
#include "window/frm_big.h"

#include <algorithm>

namespace archive {

void mnuFileOpen_Click(FrmBig& frm, OpenFileDialog& dialog, DialogState& state)
{
    if (CommandRunning(frm)) {
        return; // an open would replace the tree and tables the running command reads
    }
    const std::string shown = frm.ArchivePath;
    frm.ArchivePath.clear();
    if (state.title.empty()) {
        state.title = kGeneralOpenTitle;
    }
    state.hideReadOnly = true;
    if (state.filter.empty()) {
        state.filter = kGeneralFilter;
    }
    state.filterIndex = 1;
    if (!dialog.Show(state)) {
        state.title.clear();
        state.filter.clear();
        frm.ArchivePath = shown; // a cancelled open changes nothing
        return;
    }
    if (state.fileName.empty()) {
        frm.ArchivePath = shown;
        return;
    }
    state.title.clear();
    state.filter.clear();
    OpenChosenFile(frm, state.fileName);
    FollowArchiveFolder(frm);
}

void OpenNamedFile(FrmBig& frm, DialogState& state, const std::string& path)
{
    if (CommandRunning(frm)) {
        return; // an open would replace the tree and tables the running command reads
    }
    state.fileName = path;
    state.title.clear();
    state.filter.clear();
    OpenChosenFile(frm, path);
    FollowArchiveFolder(frm);
}

void ToolbarButtonClick(FrmBig& frm, OpenFileDialog& dialog, DialogState& state, std::string_view key,
                        const std::vector<int>& selected, const std::vector<char>& kept)
{
    if (key == "OpenSV1") {
        state.title = "Open Solvane1 .BIG Archive";
        state.filter = "SV1 BIG Files (*.big)|*.big|All Files (*.*)|*.*";
        mnuFileOpen_Click(frm, dialog, state);
    } else if (key == "OpenBIG") {
        state.title = "Open Solvane2 .BIG Archive";
        state.filter = "SV2 BIG Files (*.big / *.grm*)|*.big;*.grm*|All Files (*.*)|*.*";
        mnuFileOpen_Click(frm, dialog, state);
    } else if (key == "OpenSGA") {
        state.title = "Open Morrowfen .SGA Archive";
        state.filter = "MF SGA Files (*.sga)|*.sga|All Files (*.*)|*.*";
        mnuFileOpen_Click(frm, dialog, state);
    } else if (key == "SaveSelected" || key == "SaveAll") {
        if (CommandRunning(frm)) {
            return; // a drag-out or a job reads what the extraction would
        }
        // What the user sees selected: a node the filter hides is not acted on, and
        // with none shown Save Selected finds nothing selected (and says so).
        std::vector<int> shown =
            ShownNodes(selected.empty() ? std::vector<int>{frm.tree().SelectedIndex()} : selected, kept);
        if (shown.empty()) {
            shown.push_back(0);
        }
        const ExtractReport report = key == "SaveAll" ? ExtractAll(frm) : ExtractSelectedItems(frm, shown);
        if (report.written > 0) {
            NoteOutputWritten(frm, ToolbarOutputRoot(frm));
        }
    }
}

std::vector<std::string> NameFiltersFromFilter(std::string_view filter)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size()) {
        const std::size_t bar = filter.find('|', start);
        parts.emplace_back(
            filter.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos) {
            break;
        }
        start = bar + 1;
    }
    std::vector<std::string> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        std::replace(patterns.begin(), patterns.end(), ';', ' ');
        filters.push_back(parts[i] + " (" + patterns + ")");
    }
    return filters;
}

} // namespace archive
