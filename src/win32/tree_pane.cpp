#include "win32/tree_pane.h"

#include "win32/text.h"
#include "window/catalogue_tree.h"

#include <algorithm>
#include <limits>
#include <string>

namespace archive::win32 {

namespace {

constexpr std::size_t kEvery = std::numeric_limits<std::size_t>::max();

} // namespace

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

// The timer's identifier is the pane itself. (Not a subclass of the tree view:
// under Wine, each message to a subclassed window looks its subclass up with
// a call to the server, which made each insertion fifty times dearer.)
void CALLBACK TreePane::RestTimer(HWND, UINT, UINT_PTR self, DWORD)
{
    reinterpret_cast<TreePane*>(self)->Finish();
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
    KillTimer(hwnd_, reinterpret_cast<UINT_PTR>(this));
    pending_.clear();
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    items_.clear();
    childrenInserted_.clear();
    tree_ = nullptr;
    kept_ = nullptr;
}

void TreePane::Forget()
{
    open_.clear();
    wanted_ = 0;
    shownSelection_ = 0;
}

void TreePane::Fill(const CatalogueTree& tree, const std::vector<char>* kept, bool openAll)
{
    // A selection that differs from the one the last fill made is the user's.
    if (tree_ && !updating_) {
        if (const int current = SelectedNode(); current != 0 && current != shownSelection_) {
            wanted_ = current;
        }
    }
    Clear();
    tree_ = &tree;
    kept_ = kept;
    items_.assign(tree.Count() + 1, nullptr);
    childrenInserted_.assign(tree.Count() + 1, None);
    if (open_.size() != tree.Count() + 1) {
        open_.assign(tree.Count() + 1, 0);
        for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
            open_[static_cast<std::size_t>(node)] = tree.Node(node).expanded ? 1 : 0;
        }
    }
    if (wanted_ < 1 || static_cast<std::size_t>(wanted_) > tree.Count()) {
        wanted_ = tree.SelectedIndex();
    }
    for (const int node : tree.TopLevel()) {
        if (Kept(node)) {
            InsertNode(node, TVI_ROOT, TVI_LAST);
        }
    }
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        const bool open =
            kept ? openAll || tree.Node(node).parent == 0 : open_[static_cast<std::size_t>(node)];
        if (open && Kept(node) && !tree.Node(node).children.empty()) {
            if (const HTREEITEM item = ShowNode(node)) {
                InsertChildren(node, kFirstChildren);
                SendMessageW(hwnd_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
            }
        }
    }
    // The user's node while it is kept, else the nearest kept folder above it.
    int selected = wanted_ >= 1 && static_cast<std::size_t>(wanted_) <= tree.Count() ? wanted_ : 0;
    while (selected != 0 && !Kept(selected)) {
        selected = tree.Node(selected).parent;
    }
    const HTREEITEM selectedItem = selected != 0 ? ShowNode(selected) : nullptr;
    if (selectedItem) {
        SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selectedItem));
    }
    shownSelection_ = selected;
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    // Scrolled to again: with its drawing off, the tree view scrolled within the range it had before.
    if (selectedItem) {
        SendMessageW(hwnd_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(selectedItem));
    }
    updating_ = false;
    InvalidateRect(hwnd_, nullptr, TRUE);
    ScheduleRest();
}

void TreePane::ScheduleRest()
{
    // A timer's message comes after painting and after the user's keys: a
    // keystroke in the filter box meanwhile makes this insertion unneeded.
    if (!pending_.empty()) {
        SetTimer(hwnd_, reinterpret_cast<UINT_PTR>(this), 0, &TreePane::RestTimer);
    }
}

void TreePane::Finish()
{
    KillTimer(hwnd_, reinterpret_cast<UINT_PTR>(this));
    if (pending_.empty() || !tree_) {
        return;
    }
    // The view stays where it is: the items come above and below it.
    const auto first =
        reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    const bool wasUpdating = updating_;
    updating_ = true;
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    const std::vector<int> waiting = std::move(pending_);
    pending_.clear();
    for (const int node : waiting) {
        InsertChildren(node, kEvery);
    }
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    if (first) {
        SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(first));
    }
    updating_ = wasUpdating;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TreePane::OnExpanding(int node)
{
    // Collapsed while it was inserted, the item costs nothing to measure yet:
    // its first children now, the rest once the expansion has been painted.
    InsertChildren(node, kFirstChildren);
    ScheduleRest();
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

LRESULT TreePane::OnCustomDraw(NMTVCUSTOMDRAW& draw) const
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return GetFocus() == hwnd_ ? CDRF_DODEFAULT : CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw.nmcd.uItemState & CDIS_SELECTED) &&
        GetFocus() != hwnd_) {
        // A third of the way from the window's colour to the selection's.
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
        const auto mix = [](int a, int b) { return static_cast<BYTE>((2 * a + b) / 3); };
        draw.clrTextBk =
            RGB(mix(GetRValue(window), GetRValue(highlight)), mix(GetGValue(window), GetGValue(highlight)),
                mix(GetBValue(window), GetBValue(highlight)));
        draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
    }
    return CDRF_DODEFAULT;
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

// The item of a node, inserted with the path to it when it is missing: its
// parent's first children, then the node itself in its place among them.
HTREEITEM TreePane::ShowNode(int node)
{
    const auto at = static_cast<std::size_t>(node);
    if (items_[at] || !Kept(node)) {
        return items_[at];
    }
    const int parent = tree_->Node(node).parent;
    if (parent == 0 || !ShowNode(parent)) {
        return items_[at]; // a kept top-level node is always there
    }
    InsertChildren(parent, kFirstChildren);
    if (!items_[at]) {
        HTREEITEM after = TVI_FIRST;
        for (const int sibling : tree_->Node(parent).children) {
            if (sibling == node) {
                break;
            }
            if (items_[static_cast<std::size_t>(sibling)]) {
                after = items_[static_cast<std::size_t>(sibling)];
            }
        }
        InsertNode(node, items_[static_cast<std::size_t>(parent)], after);
    }
    return items_[at];
}

void TreePane::InsertChildren(int node, std::size_t limit)
{
    const auto at = static_cast<std::size_t>(node);
    if (!tree_ || at == 0 || at >= childrenInserted_.size() || childrenInserted_[at] == All || !items_[at]) {
        return;
    }
    // In the catalogue's order, each after the one before it; some may be there already (ShowNode).
    // Past the last of those, each simply goes last.
    const std::vector<int>& children = tree_->Node(node).children;
    std::size_t end = children.size();
    while (end > 0 && !items_[static_cast<std::size_t>(children[end - 1])]) {
        --end;
    }
    HTREEITEM after = TVI_FIRST;
    std::size_t shown = 0;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const int child = children[i];
        if (!Kept(child)) {
            continue;
        }
        if (const HTREEITEM item = items_[static_cast<std::size_t>(child)]) {
            after = item;
            ++shown;
            continue;
        }
        if (shown >= limit) {
            if (childrenInserted_[at] != Some) {
                childrenInserted_[at] = Some;
                pending_.push_back(node);
            }
            return;
        }
        after = InsertNode(child, items_[at], i < end ? after : TVI_LAST);
        ++shown;
    }
    childrenInserted_[at] = All;
    pending_.erase(std::remove(pending_.begin(), pending_.end(), node), pending_.end());
}

HTREEITEM TreePane::InsertNode(int node, HTREEITEM parent, HTREEITEM after)
{
    const CatalogueNode& data = tree_->Node(node);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
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
