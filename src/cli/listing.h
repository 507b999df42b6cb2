#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace archive {

class CatalogueTree;
class FrmBig;

// A field of the listings: a character below 32 becomes \xHH; the rest goes
// from Windows-1252 to UTF-8.
std::string ListingField(std::string_view text);

// Receives the listing in pieces, so that a million lines never sit in memory at once.
using ListingSink = std::function<void(std::string_view)>;

// The tree as an indented outline of node texts, two spaces per level.
void ListOutline(const CatalogueTree& tree, const ListingSink& sink);
std::string ListOutline(const CatalogueTree& tree);
// One line per node in index order: index, key, parent key, text, TAB-separated.
void ListTsv(const CatalogueTree& tree, const ListingSink& sink);
std::string ListTsv(const CatalogueTree& tree);

// One line per file node in the tree's order: expanded size, stored size,
// ratio, and where its bytes begin (SGA) or its CRC (RBF), then its archive
// path; a header line first and a line of totals last.
void ListLong(const FrmBig& frm, const ListingSink& sink);
std::string ListLong(const FrmBig& frm);

// The index of the first node, in index order, whose archive path equals
// `path` ("\" or "/" between folders); 0 when none does. A file node's
// archive path is its folder's path, "\" and its text (the text alone in the
// archive root); a folder node's is its full path.
int FindNodeByArchivePath(const FrmBig& frm, std::string_view path);

} // namespace archive
