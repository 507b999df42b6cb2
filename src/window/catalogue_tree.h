#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace archive {

// One node of the catalogue. Indices are 1-based, in order of addition; 0
// means "no node".
struct CatalogueNode {
    std::string key;
    std::string text;
    int parent = 0;
    int index = 0;
    int row = 0; // position among its parent's children (or among the top-level nodes)
    std::vector<int> children;
    bool expanded = false;
};

// The data of the catalogue tree, apart from any widget. Keys are exact,
// case-sensitive byte strings, looked up through a hash map.
class CatalogueTree {
  public:
    CatalogueTree() = default;
    // The key map refers to the nodes' own keys: a copy would refer into the original.
    CatalogueTree(const CatalogueTree&) = delete;
    CatalogueTree& operator=(const CatalogueTree&) = delete;

    // Adds a node under `parentKey` (a top-level node when there is none).
    // Adds nothing and returns false when the key is present already or the
    // parent key is absent.
    bool Add(std::optional<std::string_view> parentKey, std::string_view key, std::string_view text);
    void Clear();
    // Room for `nodes` keys, so that a large catalogue is not rehashed as it grows.
    void Reserve(std::size_t nodes) { byKey_.reserve(nodes); }

    std::size_t Count() const { return nodes_.size(); }
    // Memory the nodes take, roughly: their keys, texts and bookkeeping.
    std::size_t Bytes() const { return bytes_; }
    bool Empty() const { return nodes_.empty(); }
    const CatalogueNode& Node(int index) const { return nodes_[static_cast<std::size_t>(index - 1)]; }
    // 0 when no node has the key.
    int IndexOfKey(std::string_view key) const;
    const std::vector<int>& TopLevel() const { return topLevel_; }

    void Expand(int index) { SetExpanded(index, true); }
    // A window keeps the user's expansion here, so a view rebuilt (a filter cleared) shows it again.
    void SetExpanded(int index, bool expanded)
    {
        nodes_[static_cast<std::size_t>(index - 1)].expanded = expanded;
    }
    // One node at most is selected; 0 selects none.
    void Select(int index) { selected_ = index; }
    int SelectedIndex() const { return selected_; }

    // Depth of a node: 0 for a top-level node.
    int Depth(int index) const;
    // Visits every node in the tree's order: each node before its children,
    // children in order of addition.
    void Visit(const std::function<void(const CatalogueNode&)>& visitor) const;

  private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    // A deque keeps every node where it is, so the map can refer to the nodes' own keys.
    std::deque<CatalogueNode> nodes_;
    std::vector<int> topLevel_;
    std::unordered_map<std::string_view, int, KeyHash> byKey_;
    int selected_ = 0;
    std::size_t bytes_ = 0;
};

} // namespace archive
