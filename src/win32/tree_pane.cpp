#include "win32/tree_pane.h"

#include "win32/text.h"
#include "window/catalogue_tree.h"

#include <string>

namespace archive::win32 {

HWND TreePane::Create(HWND parent, int id, int left, int top, int width, int height)
{
    hwnd_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"Catalogue",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_LINESATROOT | TVS_HASBUTTONS |
                            TVS_SHOWSELALWAYS,
                        left, top, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    return hwnd_;
}

void TreePane::SetImages(HIMAGELIST images)
{
    SendMessageW(hwnd_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

void TreePane::SetIndent(int pixels)
{
    SendMessageW(hwnd_, TVM_SETINDENT, static_cast<WPARAM>(pixels), 0);
}

void TreePane::Clear()
{
    updating_ = true;
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    items_.clear();
    childrenInserted_.clear();
    tree_ = nullptr;
    kept_ = nullptr;
}

void TreePane::Fill(const CatalogueTree& tree, const std::vector<char>* kept, bool openAll)
{
    Clear();
    tree_ = &tree;
    kept_ = kept;
    items_.assign(tree.Count() + 1, nullptr);
    childrenInserted_.assign(tree.Count() + 1, 0);
    if (open_.size() != tree.Count() + 1) {
        open_.assign(tree.Count() + 1, 0);
        for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
            open_[static_cast<std::size_t>(node)] = tree.Node(node).expanded ? 1 : 0;
        }
    }
    for (const int node : tree.TopLevel()) {
        if (Kept(node)) {
            InsertNode(node, TVI_ROOT);
        }
    }
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        const bool open =
            kept ? openAll || tree.Node(node).parent == 0 : open_[static_cast<std::size_t>(node)];
        if (open && Kept(node) && !tree.Node(node).children.empty()) {
            if (const HTREEITEM item = ShowNode(node)) {
                InsertChildren(node);
                SendMessageW(hwnd_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
            }
        }
    }
    if (const int selected = tree.SelectedIndex(); selected != 0 && Kept(selected)) {
        SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ShowNode(selected)));
    }
    updating_ = false;
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TreePane::OnExpanded(int node, bool open)
{
    // Remembered only unfiltered: clearing a filter brings back what the user had open.
    if (!updating_ && !kept_ && node >= 1 && static_cast<std::size_t>(node) < open_.size()) {
        open_[static_cast<std::size_t>(node)] = open ? 1 : 0;
    }
}

void TreePane::OnGetDispInfo(NMTVDISPINFOW& info) const
{
    const auto node = static_cast<int>(info.item.lParam);
    if (!(info.item.mask & TVIF_TEXT) || !tree_ || node < 1 ||
        static_cast<std::size_t>(node) > tree_->Count() || !info.item.pszText || info.item.cchTextMax <= 0) {
        return;
    }
    const std::wstring text = DisplayWide(tree_->Node(node).text);
    lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
}

bool TreePane::Kept(int node) const
{
    return !kept_ ||
           (static_cast<std::size_t>(node) < kept_->size() && (*kept_)[static_cast<std::size_t>(node)]);
}

HTREEITEM TreePane::ItemOfNode(int node) const
{
    return node >= 1 && static_cast<std::size_t>(node) < items_.size()
               ? items_[static_cast<std::size_t>(node)]
               : nullptr;
}

int TreePane::NodeOf(HTREEITEM item) const
{
    if (!item) {
        return 0;
    }
    TVITEMW data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    SendMessageW(hwnd_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return static_cast<int>(data.lParam);
}

int TreePane::SelectedNode() const
{
    return NodeOf(reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

void TreePane::SelectNode(int node)
{
    if (tree_ && node >= 1 && static_cast<std::size_t>(node) < items_.size() && Kept(node)) {
        SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ShowNode(node)));
    }
}

HTREEITEM TreePane::ShowNode(int node)
{
    const auto at = static_cast<std::size_t>(node);
    if (!items_[at]) {
        // A node's item exists once its parent's children are inserted.
        const int parent = tree_->Node(node).parent;
        if (parent != 0) {
            ShowNode(parent);
            InsertChildren(parent);
        }
    }
    return items_[at];
}

void TreePane::InsertChildren(int node)
{
    const auto at = static_cast<std::size_t>(node);
    if (!tree_ || at == 0 || at >= childrenInserted_.size() || childrenInserted_[at] || !items_[at]) {
        return;
    }
    childrenInserted_[at] = 1;
    for (const int child : tree_->Node(node).children) {
        if (Kept(child)) {
            InsertNode(child, items_[at]);
        }
    }
}

HTREEITEM TreePane::InsertNode(int node, HTREEITEM parent)
{
    const CatalogueNode& data = tree_->Node(node);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = LPSTR_TEXTCALLBACKW;             // asked for when shown: a fill costs no text
    insert.item.cChildren = data.children.empty() ? 0 : 1; // a + box before the children are inserted
    insert.item.lParam = node;
    if (const int image = imageOf ? imageOf(node) : -1; image >= 0) {
        insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.iImage = image;
        insert.item.iSelectedImage = image;
    }
    const auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    items_[static_cast<std::size_t>(node)] = item;
    return item;
}

} // namespace archive::win32
