#pragma once

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <functional>
#include <vector>

namespace archive {
class CatalogueTree;
}

namespace archive::win32 {

// The catalogue tree over a tree view. It is lazy: a fill inserts the
// top-level nodes, the nodes the loader expanded (or the user had open) and
// the path to the selection; every other node's children are inserted when it
// is first expanded. Items carry their node's index, so a selection means what
// the core says. With a filter, only kept nodes are inserted.
class TreePane {
  public:
    HWND Create(HWND parent, int id, int left, int top, int width, int height);
    HWND hwnd() const { return hwnd_; }

    // The image of a node (an index in the shared image list), or -1 for none.
    std::function<int(int node)> imageOf;
    void SetImages(HIMAGELIST images);
    void SetIndent(int pixels);

    // Drops every item (before the nodes they refer to go); Forget also drops
    // what the user had open, for a new catalogue.
    void Clear();
    void Forget() { open_.clear(); }
    // Shows the tree as the catalogue holds it; `kept` (by node index) limits
    // it to a filter's nodes, with every kept folder open when `openAll`.
    void Fill(const CatalogueTree& tree, const std::vector<char>* kept = nullptr, bool openAll = false);
    // True while a fill or clear changes the items (their notifications are not the user's).
    bool Updating() const { return updating_; }

    // The item that shows a node, or nullptr while it has not been inserted.
    HTREEITEM ItemOfNode(int node) const;
    // The node an item shows (0 for none) and the selected one.
    int NodeOf(HTREEITEM item) const;
    int SelectedNode() const;
    void SelectNode(int node);

    // Notifications from the tree view, forwarded by the window.
    void OnExpanding(int node) { InsertChildren(node); }
    void OnExpanded(int node, bool open);
    // The text of an item, asked for when it is shown.
    void OnGetDispInfo(NMTVDISPINFOW& info) const;

  private:
    HTREEITEM ShowNode(int node);
    void InsertChildren(int node);
    HTREEITEM InsertNode(int node, HTREEITEM parent);
    bool Kept(int node) const;

    HWND hwnd_ = nullptr;
    const CatalogueTree* tree_ = nullptr;
    const std::vector<char>* kept_ = nullptr;
    std::vector<HTREEITEM> items_;       // by node index; nullptr while not inserted
    std::vector<char> childrenInserted_; // by node index
    std::vector<char> open_;             // by node index: what the user (or the loader) opened, unfiltered
    bool updating_ = false;
};

} // namespace archive::win32
