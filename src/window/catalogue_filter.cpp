#include "window/catalogue_filter.h"

#include "window/catalogue_tree.h"

#include <algorithm>

namespace archive {

namespace {

// Whether `pattern` matches all of `text`; a "*" takes as little as it can
// and gives more back only when the rest fails.
bool WholeMatch(std::string_view text, std::string_view pattern)
{
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// A fragment may begin and end anywhere in the text: "*" on either side.
std::string Anywhere(std::string_view pattern)
{
    return "*" + std::string(pattern) + "*";
}

} // namespace

bool HoldsWildcardMatch(std::string_view text, std::string_view pattern)
{
    if (pattern.find_first_of("*?") == std::string_view::npos) {
        return text.find(pattern) != std::string_view::npos;
    }
    return WholeMatch(text, Anywhere(pattern));
}

void CatalogueFilter::Index(const CatalogueTree& tree)
{
    const std::size_t count = tree.Count();
    paths_.assign(count + 1, std::string());
    parents_.assign(count + 1, 0);
    // A parent comes before its children, so its path is ready when theirs is made.
    for (int i = 1; i <= static_cast<int>(count); ++i) {
        const CatalogueNode& node = tree.Node(i);
        parents_[static_cast<std::size_t>(i)] = node.parent;
        const std::string text = FoldCase(node.text);
        if (node.parent == 0 || tree.Node(node.parent).parent == 0) {
            paths_[static_cast<std::size_t>(i)] = text;
        } else {
            paths_[static_cast<std::size_t>(i)] = paths_[static_cast<std::size_t>(node.parent)] + "\\" + text;
        }
    }
}

void CatalogueFilter::Clear()
{
    paths_.clear();
    parents_.assign(1, 0);
}

std::vector<char> CatalogueFilter::Keep(std::string_view fragment) const
{
    std::string pattern = FoldCase(fragment);
    std::replace(pattern.begin(), pattern.end(), '/', '\\');
    std::vector<char> keep(parents_.size(), pattern.empty() ? 1 : 0);
    if (pattern.empty()) {
        return keep;
    }
    const bool wildcards = pattern.find_first_of("*?") != std::string::npos;
    const std::string anywhere = Anywhere(pattern);
    const auto matches = [&](std::string_view path) {
        return wildcards ? WholeMatch(path, anywhere) : path.find(pattern) != std::string_view::npos;
    };
    for (std::size_t i = parents_.size() - 1; i >= 1; --i) {
        if (!keep[i] && matches(paths_[i])) {
            keep[i] = 1;
        }
        if (keep[i]) {
            keep[static_cast<std::size_t>(parents_[i])] = 1;
        }
    }
    keep[0] = 0;
    return keep;
}

std::string FoldCase(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
            c = static_cast<char>(u + 0x20);
        } else if (u == 0x8A || u == 0x8C || u == 0x8E) { // Š Œ Ž
            c = static_cast<char>(u + 0x10);
        } else if (u == 0x9F) { // Ÿ
            c = static_cast<char>(0xFF);
        }
    }
    return folded;
}

bool ShownByFilter(int node, const std::vector<char>& kept)
{
    if (kept.empty()) {
        return node >= 0;
    }
    return node >= 1 && static_cast<std::size_t>(node) < kept.size() &&
           kept[static_cast<std::size_t>(node)] != 0;
}

std::vector<int> ShownNodes(const std::vector<int>& selected, const std::vector<char>& kept)
{
    std::vector<int> shown;
    shown.reserve(selected.size());
    for (const int node : selected) {
        if (ShownByFilter(node, kept)) {
            shown.push_back(node);
        }
    }
    return shown;
}

std::string FilterEmptyText(const std::vector<char>& kept)
{
    if (kept.empty() || std::find(kept.begin() + 1, kept.end(), 1) != kept.end()) {
        return {};
    }
    return "No matches";
}

} // namespace archive
