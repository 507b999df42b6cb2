#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archive {

class FrmBig;

// The open-file dialog's state, kept apart from any toolkit.
struct DialogState {
    std::string title;
    std::string filter;   // "description|patterns|description|patterns..."
    int filterIndex = 1;  // 1-based
    std::string fileName; // never reset: shows the name chosen last
    bool hideReadOnly = false;
};

// The modal open-file dialog. Returns false when the user cancels; on
// acceptance the chosen full path is in state.fileName.
class OpenFileDialog {
  public:
    virtual ~OpenFileDialog() = default;
    virtual bool Show(DialogState& state) = 0;
};

inline constexpr std::string_view kGeneralOpenTitle = "Open SV1 / SV2 / MF Archive File";
inline constexpr std::string_view kGeneralFilter =
    "SV1 BIG Files (*.big)|*.big|SV2 BIG Files (*.big / *.grm*)|*.big;*.grm*|MF SGA Files (*.sga)|*.sga|All "
    "Files (*.*)|*.*";

// The open command: asks for an archive and opens it.
void mnuFileOpen_Click(FrmBig& frm, OpenFileDialog& dialog, DialogState& state);

// Opens a file named outside the dialog (the command line, a drop on the
// window) as the open command opens a file the dialog returns; the dialog's
// file-name field then shows it.
void OpenNamedFile(FrmBig& frm, DialogState& state, const std::string& path);

// The toolbar's click handler: dispatches on the button's key. Save Selected
// takes `selected`, the tree's selection in the view's order (one item, or
// several: each selected file), or the tree's selected node when it is empty;
// of these only what the filter's `kept` nodes show (empty: no filter). When
// the filter hides them all, nothing is selected, and the log says so.
void ToolbarButtonClick(FrmBig& frm, OpenFileDialog& dialog, DialogState& state, std::string_view key,
                        const std::vector<int>& selected = {}, const std::vector<char>& kept = {});

// A filter as the toolkit's name filters: one "description (patterns)" per
// pair, patterns separated by blanks. The window hides the "(patterns)" part,
// so the user sees the descriptions as written.
std::vector<std::string> NameFiltersFromFilter(std::string_view filter);

} // namespace archive
