#pragma once

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace archive {
class CatalogueTree;
}

namespace archive::win32 {

// The catalogue tree over a tree view. It is lazy: a fill inserts the
// top-level nodes, the nodes the loader expanded (or the user had open) and
// the path to the selection; every other node's children are inserted when it
// is first expanded. An item shows at most kFirstChildren children at first;
// the rest follow on the next turn of the message loop, after the window has
// been painted (the tree view measures every shown item's text as it is
// expanded: 8,434 of them cost a tenth of a second under Wine). Items carry
// their node's index, so a selection means what the core says. With a filter,
// only kept nodes are inserted.
class TreePane {
  public:
    // Children inserted under an item before the window is painted: more than a screenful.
    static constexpr std::size_t kFirstChildren = 200;

    HWND Create(HWND parent, int id, int left, int top, int width, int height);
    HWND hwnd() const { return hwnd_; }

    // The image of a node (an index in the shared image list), or -1 for none.
    std::function<int(int node)> imageOf;
    void SetImages(HIMAGELIST images);
    void SetIndent(int pixels);

    // Drops every item (before the nodes they refer to go); Forget also drops
    // what the user had open and selected, for a new catalogue.
    void Clear();
    void Forget();
    // Shows the tree as the catalogue holds it; `kept` (by node index) limits
    // it to a filter's nodes, with every kept folder open when `openAll`. The
    // node the user selected stays selected and in view while it is kept,
    // else its nearest kept folder; a fill without a filter brings it back.
    void Fill(const CatalogueTree& tree, const std::vector<char>* kept = nullptr, bool openAll = false);
    // True when the selection is the node the user selected, not a folder above it that stands in for it.
    bool SelectionIsTheUsers() const { return shownSelection_ == wanted_; }
    // True while a fill or clear changes the items (their notifications are not the user's).
    bool Updating() const { return updating_; }
    // True while some items' later children wait for the message loop; Finish inserts them now.
    bool Filling() const { return !pending_.empty(); }
    void Finish();

    // The item that shows a node, or nullptr while it has not been inserted.
    HTREEITEM ItemOfNode(int node) const;
    // The node an item shows (0 for none) and the selected one.
    int NodeOf(HTREEITEM item) const;
    int SelectedNode() const;
    void SelectNode(int node);

    // Notifications from the tree view, forwarded by the window.
    void OnExpanding(int node);
    void OnExpanded(int node, bool open);
    // The text of an item, asked for when it is shown.
    void OnGetDispInfo(NMTVDISPINFOW& info) const;
    // Draws the selection plainly while the tree view has no focus (the
    // tree view's own grey for it is hardly to be seen on white).
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW& draw) const;

  private:
    static void CALLBACK RestTimer(HWND, UINT, UINT_PTR self, DWORD);
    HTREEITEM ShowNode(int node);
    // Inserts a node's kept children until it has `limit` of them; the rest wait in pending_.
    void InsertChildren(int node, std::size_t limit);
    HTREEITEM InsertNode(int node, HTREEITEM parent, HTREEITEM after);
    bool Kept(int node) const;
    void ScheduleRest();

    enum Inserted : char { None, Some, All }; // a node's children in the tree view

    HWND hwnd_ = nullptr;
    const CatalogueTree* tree_ = nullptr;
    const std::vector<char>* kept_ = nullptr;
    std::vector<HTREEITEM> items_;       // by node index; nullptr while not inserted
    std::vector<char> childrenInserted_; // by node index: Inserted
    std::vector<int> pending_;           // nodes with Some children inserted
    std::vector<char> open_;             // by node index: what the user (or the loader) opened, unfiltered
    int wanted_ = 0;                     // the node the user selected last (0: the catalogue's selection)
    int shownSelection_ = 0;             // the node the last fill selected
    bool updating_ = false;
};

} // namespace archive::win32
