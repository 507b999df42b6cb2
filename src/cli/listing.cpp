#include "cli/listing.h"

#include "commands/catalogue_details.h"
#include "platform/text_encoding.h"
#include "rbf/rbf_tables.h"
#include "sga/sga_node_key.h"
#include "window/frm_big.h"

#include <algorithm>
#include <cstdio>

namespace archive {

std::string ListingField(std::string_view text)
{
    return Windows1252ToUtf8Escaped(text);
}

namespace {

constexpr std::size_t kChunk = 1 << 16;

void FlushIfFull(std::string& out, const ListingSink& sink)
{
    if (out.size() >= kChunk) {
        sink(out);
        out.clear();
    }
}

std::string Collect(const std::function<void(const ListingSink&)>& list)
{
    std::string all;
    list([&](std::string_view piece) { all.append(piece); });
    return all;
}

} // namespace

void ListOutline(const CatalogueTree& tree, const ListingSink& sink)
{
    std::string out;
    // Depths follow from the visiting order: a node's depth is its parent's plus one.
    std::vector<int> depth(tree.Count() + 1, 0);
    tree.Visit([&](const CatalogueNode& node) {
        const auto at = static_cast<std::size_t>(node.index);
        depth[at] = node.parent == 0 ? 0 : depth[static_cast<std::size_t>(node.parent)] + 1;
        out.append(static_cast<std::size_t>(depth[at]) * 2, ' ');
        out += ListingField(node.text);
        out += '\n';
        FlushIfFull(out, sink);
    });
    sink(out);
}

std::string ListOutline(const CatalogueTree& tree)
{
    return Collect([&](const ListingSink& sink) { ListOutline(tree, sink); });
}

void ListTsv(const CatalogueTree& tree, const ListingSink& sink)
{
    std::string out;
    for (int i = 1; i <= static_cast<int>(tree.Count()); ++i) {
        const CatalogueNode& node = tree.Node(i);
        out += std::to_string(i);
        out += '\t';
        out += ListingField(node.key);
        out += '\t';
        if (node.parent != 0) {
            out += ListingField(tree.Node(node.parent).key);
        }
        out += '\t';
        out += ListingField(node.text);
        out += '\n';
        FlushIfFull(out, sink);
    }
    sink(out);
}

std::string ListTsv(const CatalogueTree& tree)
{
    return Collect([&](const ListingSink& sink) { ListTsv(tree, sink); });
}

namespace {

std::string ArchivePathOfNode(const FrmBig& frm, const CatalogueNode& node)
{
    if (frm.LastFormat == ArchiveFormat::Rbf) {
        return node.key == "Root" ? std::string() : node.key;
    }
    const std::optional<SgaNodeKey> key = ParseSgaNodeKey(node.key);
    if (!key ||
        (key->directory >= 0 && static_cast<std::size_t>(key->directory) >= frm.Sga.SgaDirNames.size())) {
        return {};
    }
    const std::string folder =
        key->directory < 0 ? std::string() : frm.Sga.SgaDirNames[static_cast<std::size_t>(key->directory)];
    if (key->kind != SgaNodeKey::Kind::File) {
        return folder;
    }
    return key->directory < 0 ? node.text : folder + "\\" + node.text;
}

} // namespace

void ListLong(const FrmBig& frm, const ListingSink& sink)
{
    if (frm.tree().Empty()) {
        return; // nothing was loaded: no header over nothing
    }
    const bool rbf = frm.LastFormat == ArchiveFormat::Rbf;
    std::string out;
    char line[96];
    std::snprintf(line, sizeof line, "%12s %12s %6s %12s  %s\n", "Size", "Packed", "Ratio",
                  rbf ? "CRC" : "Offset", "Path");
    out += line;
    CatalogueDetails details;
    details.Build(frm);
    std::int64_t files = 0;
    std::int64_t expanded = 0;
    std::int64_t stored = 0;
    frm.tree().Visit([&](const CatalogueNode& node) {
        const NodeDetails& entry = details.Of(node.index);
        if (!entry.file) {
            return;
        }
        const std::string last =
            entry.crc ? FormatCrc(*entry.crc, ".") : std::to_string(entry.offset.value_or(0));
        std::snprintf(line, sizeof line, "%12lld %12lld %6s %12s  ", static_cast<long long>(entry.size),
                      static_cast<long long>(entry.packed), RatioText(entry.packed, entry.size).c_str(),
                      last.c_str());
        out += line;
        out += ListingField(ArchivePathOfNode(frm, node));
        out += '\n';
        ++files;
        expanded += entry.size;
        stored += entry.packed;
        FlushIfFull(out, sink);
    });
    std::snprintf(line, sizeof line, "%12lld %12lld %6s %12s  %lld %s\n", static_cast<long long>(expanded),
                  static_cast<long long>(stored), RatioText(stored, expanded).c_str(), "",
                  static_cast<long long>(files), files == 1 ? "file" : "files");
    out += line;
    sink(out);
}

std::string ListLong(const FrmBig& frm)
{
    return Collect([&](const ListingSink& sink) { ListLong(frm, sink); });
}

int FindNodeByArchivePath(const FrmBig& frm, std::string_view path)
{
    std::string wanted(path);
    std::replace(wanted.begin(), wanted.end(), '/', '\\');
    if (wanted.empty()) {
        return 0;
    }
    const CatalogueTree& tree = frm.tree();
    for (int i = 1; i <= static_cast<int>(tree.Count()); ++i) {
        if (ArchivePathOfNode(frm, tree.Node(i)) == wanted) {
            return i;
        }
    }
    return 0;
}

} // namespace archive
