#include "window/catalogue_tree.h"

namespace archive {

bool CatalogueTree::Add(std::optional<std::string_view> parentKey, std::string_view key,
                        std::string_view text)
{
    if (byKey_.find(key) != byKey_.end()) {
        return false;
    }
    int parent = 0;
    if (parentKey) {
        parent = IndexOfKey(*parentKey);
        if (parent == 0) {
            return false;
        }
    }
    std::vector<int>& siblings =
        parent == 0 ? topLevel_ : nodes_[static_cast<std::size_t>(parent - 1)].children;
    CatalogueNode& node = nodes_.emplace_back();
    node.key = std::string(key);
    node.text = std::string(text);
    node.parent = parent;
    node.index = static_cast<int>(nodes_.size());
    node.row = static_cast<int>(siblings.size());
    siblings.push_back(node.index);
    byKey_.emplace(node.key, node.index);
    bytes_ += 2 * key.size() + text.size() + 128;
    return true;
}

void CatalogueTree::Clear()
{
    nodes_.clear();
    topLevel_.clear();
    byKey_.clear();
    selected_ = 0;
    bytes_ = 0;
}

int CatalogueTree::IndexOfKey(std::string_view key) const
{
    const auto found = byKey_.find(key);
    return found == byKey_.end() ? 0 : found->second;
}

int CatalogueTree::Depth(int index) const
{
    int depth = 0;
    for (int parent = Node(index).parent; parent != 0; parent = Node(parent).parent) {
        ++depth;
    }
    return depth;
}

void CatalogueTree::Visit(const std::function<void(const CatalogueNode&)>& visitor) const
{
    std::vector<int> stack(topLevel_.rbegin(), topLevel_.rend());
    while (!stack.empty()) {
        const CatalogueNode& node = Node(stack.back());
        stack.pop_back();
        visitor(node);
        stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
    }
}

} // namespace archive
