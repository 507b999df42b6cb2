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
// path; a header line first and a line of totals last. A negative size (a
// damaged table's) is shown but left out of the totals.
void ListLong(const FrmBig& frm, const ListingSink& sink);
std::string ListLong(const FrmBig& frm);

// Every node as one JSON document for scripts: {"format": "SGA" | "RBF" |
// null, "nodes": [...]}, a node per line in index order with its index, key,
// parent key (null for a root) and text, and for a file a "file" object with
// the details of ListLong. Strings are UTF-8; control characters are escaped.
void ListJson(const FrmBig& frm, const ListingSink& sink);
std::string ListJson(const FrmBig& frm);

// A JSON string literal of archive text (Windows-1252).
std::string JsonString(std::string_view text);

// The index of the first node, in index order, whose archive path equals
// `path` ("\" or "/" between folders); 0 when none does. Archive paths are
// Windows paths, which ignore letter case: when no path is equal, the first
// that differs only in letter case is taken. A file node's
// archive path is its folder's path, "\" and its text (the text alone in the
// archive root); a folder node's is its full path.
int FindNodeByArchivePath(const FrmBig& frm, std::string_view path);

} // namespace archive
