#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archive {

class CatalogueTree;

// Which nodes of the tree a filter keeps. A node matches when its path (the
// texts from below the top node down to it, "\" between them; a top node's
// own text) holds the fragment, letters compared without case, "*" standing
// for any run of characters and "?" for one. Every folder above a matching
// node is kept, so the match can be reached in the tree.
class CatalogueFilter {
  public:
    // Reads the paths of the tree; once per load.
    void Index(const CatalogueTree& tree);
    void Clear();

    // Nodes kept by `fragment` (Windows-1252; "/" counts as "\"), by node
    // index (element 0 unused). An empty fragment keeps every node.
    std::vector<char> Keep(std::string_view fragment) const;
    std::size_t Count() const { return parents_.size() - 1; }

  private:
    std::vector<std::string> paths_; // folded, by node index
    std::vector<int> parents_{0};
};

// True when `text` holds a run that `pattern` matches ("*" any run, "?" any
// one character).
bool HoldsWildcardMatch(std::string_view text, std::string_view pattern);

// Windows-1252 text with its letters in lower case (the filter's and the sort by name's).
std::string FoldCase(std::string_view text);

// Whether a node shows under the filter's `kept` nodes (empty: no filter).
bool ShownByFilter(int node, const std::vector<char>& kept);

// What a command acts on is what the user sees: of `selected`, the nodes the
// filter shows, in the order given. A node the filter hides is never acted on.
std::vector<int> ShownNodes(const std::vector<int>& selected, const std::vector<char>& kept);

// What an empty view says under the filter's `kept` nodes: "No matches" when
// a filter is set and keeps nothing, else nothing.
std::string FilterEmptyText(const std::vector<char>& kept);

} // namespace archive
