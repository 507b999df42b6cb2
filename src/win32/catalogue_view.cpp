// What the tree and the details list show of the catalogue: the folder in
// the list, its order, the filter, and the icons.
#include "win32/main_window.h"

#include "platform/text_encoding.h"
#include "win32/text.h"

#include <algorithm>

namespace archive::win32 {

namespace {

// Beyond this many kept nodes a keystroke opens only the top of the tree: the user narrows further.
constexpr std::size_t kOpenAllMatches = 2000;
// The Name column is measured on this many of the longest names.
constexpr std::size_t kMeasuredNames = 32;

} // namespace

void MainWindow::TreeAboutToChange()
{
    // The items refer to nodes by index: they go before the nodes do.
    tree_.Clear();
    list_.SetRows({});
    details_.Clear();
    filterIndex_.Clear();
    filterIndexed_ = false;
    kept_.clear();
    list_.SetEmptyText({});
    listedFolder_ = 0;
}

void MainWindow::TreeChanged()
{
    details_.Build(frm_);
    list_.SetLastColumn(frm_.CatalogueFormat == ArchiveFormat::Rbf || frm_.LastFormat == ArchiveFormat::Rbf);
    SizeNumberColumns();
    tree_.Forget();
    if (filter_.Text().empty()) {
        tree_.Fill(frm_.tree());
        ShowFolderOf(frm_.tree().SelectedIndex());
    } else {
        ApplyFilter(); // a new catalogue under the same filter
    }
    UpdateCommands();
}

bool MainWindow::Kept(int node) const
{
    return kept_.empty() || (node >= 1 && static_cast<std::size_t>(node) < kept_.size() &&
                             kept_[static_cast<std::size_t>(node)]);
}

std::vector<int> MainWindow::RowsOf(int folder) const
{
    const CatalogueTree& tree = frm_.tree();
    const std::vector<int>& children = folder >= 1 && static_cast<std::size_t>(folder) <= tree.Count()
                                           ? tree.Node(folder).children
                                           : tree.TopLevel();
    std::vector<int> rows;
    rows.reserve(children.size());
    for (const int child : children) {
        if (Kept(child)) {
            rows.push_back(child);
        }
    }
    return rows;
}

// The list shows a folder's files and folders: the node's own when it is a
// folder, its parent's (with the node selected) when it is a file; `row`, when
// it is listed, is selected.
void MainWindow::ShowFolderOf(int node, int row)
{
    const CatalogueTree& tree = frm_.tree();
    const bool valid = node >= 1 && static_cast<std::size_t>(node) <= tree.Count();
    const bool file = valid && !details_.IsFolder(node);
    const int folder = !valid ? 0 : file ? tree.Node(node).parent : node;
    std::vector<int> rows = RowsOf(folder);
    order_.Sort(rows, details_, frm_.CatalogueFormat == ArchiveFormat::Rbf);
    // With its drawing off, the list lays itself out once for the count, the widths and the selection,
    // not at each of them. Widths first, while it is empty: a width set over thousands of rows lays them
    // all out.
    const HWND list = list_.hwnd();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    list_.SetRows({});
    SizeNameColumn(rows);
    list_.SetRows(std::move(rows), file ? node : row);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    if (const auto focused = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
        focused >= 0) {
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(focused), FALSE);
    }
    listedFolder_ = folder;
}

void MainWindow::SizeNameColumn(const std::vector<int>& rows)
{
    // Sized to the names, measured on the longest of them: measuring 65,535
    // names would cost more than the list itself.
    std::vector<int> longest(rows.begin(), rows.end());
    const auto byLength = [this](int a, int b) {
        return frm_.tree().Node(a).text.size() > frm_.tree().Node(b).text.size();
    };
    const std::size_t measured = std::min(kMeasuredNames, longest.size());
    std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(measured), longest.end(),
                      byLength);
    const HDC dc = GetDC(list_.hwnd());
    const HGDIOBJ old = SelectObject(dc, font_);
    int widest = 0;
    for (std::size_t i = 0; i < measured; ++i) {
        const std::wstring name = DisplayWide(frm_.tree().Node(longest[i]).text);
        SIZE size{};
        GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(list_.hwnd(), dc);
    // The icon, the gaps around it and the text's margins.
    const int name = std::clamp(widest + scale_.Scaled(16 + 6 + 14), scale_.Scaled(100), scale_.Scaled(1200));
    list_.SetColumnWidths(name, scale_.Scaled(64));
}

int MainWindow::ImageOf(int node)
{
    if (details_.IsFolder(node)) {
        return icons_.Folder();
    }
    return icons_.File(frm_.tree().Node(node).text);
}

void MainWindow::ApplyFilter()
{
    std::string bytes;
    const std::wstring text = filter_.Text();
    const CatalogueTree& tree = frm_.tree();
    if (text.empty()) {
        kept_.clear();
        tree_.Fill(tree); // as the user had it open
    } else {
        if (!filterIndexed_) {
            filterIndex_.Index(tree);
            filterIndexed_ = true;
        }
        if (Utf8ToWindows1252(WideToUtf8(text), bytes)) {
            kept_ = filterIndex_.Keep(bytes);
        } else {
            kept_.assign(tree.Count() + 1, 0); // no archive name holds a character Windows-1252 lacks
        }
        if (kept_.size() < 2) {
            kept_.assign(tree.Count() + 1, 0); // no catalogue: an empty one, not "no filter"
        }
        const auto shown = static_cast<std::size_t>(std::count(kept_.begin() + 1, kept_.end(), 1));
        tree_.Fill(tree, &kept_, shown <= kOpenAllMatches);
    }
    // The list follows the tree's selection, which the fill kept; the list's
    // focused row (the core's selected node) stays while it is listed. What
    // Save Selected takes is then what is seen: that row, else the tree's node
    // when it is the user's own (a node the filter hides stays the core's, and
    // the commands refuse it).
    const int treeNode = tree_.SelectedNode();
    const int row = tree.SelectedIndex();
    ShowFolderOf(treeNode, Kept(row) ? row : 0);
    if (const int focused = list_.FocusedNode(); focused != 0) {
        frm_.tree().Select(focused);
    } else if (treeNode != 0 && tree_.SelectionIsTheUsers()) {
        frm_.tree().Select(treeNode);
    }
    list_.SetEmptyText(HostWide(FilterEmptyText(kept_)));
}

// Details and Icons: the report view with its columns, or names alone in columns of a list.
void MainWindow::ShowDetails(bool shown)
{
    detailsShown_ = shown;
    SendMessageW(list_.hwnd(), LVM_SETVIEW, shown ? LV_VIEW_DETAILS : LV_VIEW_LIST, 0);
    UpdateCommands();
}

std::vector<int> MainWindow::SelectedNodes() const
{
    std::vector<int> nodes = list_.SelectedNodes();
    if (nodes.empty()) {
        if (const int node = tree_.SelectedNode(); node != 0) {
            nodes.push_back(node);
        }
    }
    return nodes;
}

} // namespace archive::win32
