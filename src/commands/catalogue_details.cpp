#include "commands/catalogue_details.h"

#include "rbf/rbf_tables.h"
#include "sga/sga_node_key.h"
#include "window/frm_big.h"

#include <algorithm>
#include <unordered_map>

namespace archive {

namespace {

const NodeDetails kNoDetails;

void AddSgaFile(NodeDetails& node, const SgaTables& t, int row)
{
    const SgaFile& file = t.SgaFiles[static_cast<std::size_t>(row)];
    node.row = row;
    node.size = file.ExpandedSize;
    node.packed = file.StoredSize;
    node.offset = static_cast<std::int64_t>(t.SgaHeader.DataOffset) + file.EntryOffset;
}

void AddRbfEntry(NodeDetails& node, const RbfTables& t, int entry)
{
    const RbfEntry& record = t.RbfEntries[static_cast<std::size_t>(entry)];
    node.row = entry;
    node.size = record.UncomprSize;
    node.packed = record.ComprSize;
    node.crc = record.Crc;
}

} // namespace

int SgaFileRowOfKey(std::string_view key)
{
    const std::optional<SgaNodeKey> parsed = ParseSgaNodeKey(key);
    return parsed && parsed->kind == SgaNodeKey::Kind::File ? parsed->fileRow : -1;
}

std::string RatioText(std::int64_t stored, std::int64_t expanded)
{
    if (expanded <= 0 || stored < 0) {
        return "-";
    }
    return std::to_string((stored * 100 + expanded / 2) / expanded) + "%";
}

void CatalogueDetails::Build(const FrmBig& frm)
{
    const CatalogueTree& tree = frm.tree();
    const int count = static_cast<int>(tree.Count());
    nodes_.assign(static_cast<std::size_t>(count) + 1, NodeDetails{});
    names_.clear();
    frm_ = &frm;

    std::unordered_map<std::string_view, int> rbfEntryOfPath;
    if (frm.LastFormat == ArchiveFormat::Rbf) {
        const std::size_t entries = std::min(frm.Rbf.RbfPaths.size(), frm.Rbf.RbfEntries.size());
        for (std::size_t i = 0; i < entries; ++i) {
            rbfEntryOfPath.emplace(frm.Rbf.RbfPaths[i],
                                   static_cast<int>(i)); // the first entry of a path has its node
        }
    }
    for (int i = 1; i <= count; ++i) {
        const CatalogueNode& source = tree.Node(i);
        NodeDetails& node = nodes_[static_cast<std::size_t>(i)];
        if (frm.LastFormat == ArchiveFormat::Sga) {
            const int row = SgaFileRowOfKey(source.key);
            node.file = row >= 0 && static_cast<std::size_t>(row) < frm.Sga.SgaFiles.size();
            if (node.file) {
                AddSgaFile(node, frm.Sga, row);
            }
        } else if (frm.LastFormat == ArchiveFormat::Rbf && source.children.empty() && source.parent != 0) {
            const auto found = rbfEntryOfPath.find(source.key);
            node.file = found != rbfEntryOfPath.end();
            if (node.file) {
                AddRbfEntry(node, frm.Rbf, found->second);
            }
        }
        node.files = node.file ? 1 : 0;
    }
    // A parent is always added before its children, so a walk from the last
    // node to the first sees every child before its parent.
    for (int i = count; i >= 1; --i) {
        const int parent = tree.Node(i).parent;
        if (parent == 0) {
            continue;
        }
        const NodeDetails& child = nodes_[static_cast<std::size_t>(i)];
        NodeDetails& folder = nodes_[static_cast<std::size_t>(parent)];
        // A damaged table's negative size adds nothing to a total.
        folder.size += std::max<std::int64_t>(child.size, 0);
        folder.packed += std::max<std::int64_t>(child.packed, 0);
        folder.files += child.files;
    }
}

const NodeDetails& CatalogueDetails::Of(int node) const
{
    if (node <= 0 || static_cast<std::size_t>(node) >= nodes_.size()) {
        return kNoDetails;
    }
    return nodes_[static_cast<std::size_t>(node)];
}

std::string GroupedNumber(std::int64_t value, std::string_view groupSeparator)
{
    std::string digits = std::to_string(value);
    const std::size_t first = digits[0] == '-' ? 1 : 0;
    for (std::size_t at = digits.size(); at > first + 3; at -= 3) {
        digits.insert(at - 3, groupSeparator);
    }
    return digits;
}

std::string CatalogueDetails::Text(int index, DetailsColumn column, std::string_view decimalSeparator,
                                   std::string_view groupSeparator) const
{
    const NodeDetails& node = Of(index);
    if (!node.file && node.files == 0) {
        return {}; // a folder with no file below it has nothing to add up
    }
    switch (column) {
    case DetailsColumn::Name:
        return {};
    case DetailsColumn::Size:
        return GroupedNumber(node.size, groupSeparator);
    case DetailsColumn::Packed:
        return GroupedNumber(node.packed, groupSeparator);
    case DetailsColumn::Ratio:
        return RatioText(node.packed, node.size);
    case DetailsColumn::Offset:
        return node.offset ? std::to_string(*node.offset) : std::string();
    case DetailsColumn::Crc:
        return node.crc ? FormatCrc(*node.crc, decimalSeparator) : std::string();
    }
    return {};
}

std::string CatalogueDetails::WidestText(DetailsColumn column, std::string_view decimalSeparator,
                                         std::string_view groupSeparator) const
{
    std::string widest;
    if (column == DetailsColumn::Name) {
        return widest;
    }
    // A whole number's text grows with its digits: only the node with the most is formatted.
    const auto digits = [](std::int64_t value) {
        int count = value < 0 ? 2 : 1;
        for (std::uint64_t rest = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                            : static_cast<std::uint64_t>(value);
             rest >= 10; rest /= 10) {
            ++count;
        }
        return count;
    };
    const bool whole =
        column == DetailsColumn::Size || column == DetailsColumn::Packed || column == DetailsColumn::Offset;
    int most = 0;
    for (std::size_t index = 1; index < nodes_.size(); ++index) {
        const auto node = static_cast<int>(index);
        const NodeDetails& details = nodes_[index];
        if (whole) {
            if (!details.file && details.files == 0) {
                continue; // shows nothing
            }
            const std::optional<std::int64_t> value = column == DetailsColumn::Size     ? details.size
                                                      : column == DetailsColumn::Packed ? details.packed
                                                                                        : details.offset;
            if (!value || digits(*value) <= most) {
                continue;
            }
            most = digits(*value);
        }
        std::string text = Text(node, column, decimalSeparator, groupSeparator);
        if (text.size() > widest.size()) {
            widest = std::move(text);
        }
    }
    return widest;
}

bool CatalogueDetails::Less(int left, int right, DetailsColumn column) const
{
    const NodeDetails& a = Of(left);
    const NodeDetails& b = Of(right);
    const auto ratio = [](const NodeDetails& n) {
        return n.size > 0 ? static_cast<double>(n.packed) / static_cast<double>(n.size) : -1.0;
    };
    switch (column) {
    case DetailsColumn::Name: {
        if (names_.size() != nodes_.size()) {
            names_.assign(nodes_.size(), std::string());
            const CatalogueTree& tree = frm_->tree();
            for (std::size_t i = 1; i < nodes_.size() && i <= tree.Count(); ++i) {
                names_[i] = FoldCase(tree.Node(static_cast<int>(i)).text);
            }
        }
        if (static_cast<std::size_t>(std::max(left, right)) >= names_.size() || std::min(left, right) < 0) {
            return left < right;
        }
        const std::string& x = names_[static_cast<std::size_t>(left)];
        const std::string& y = names_[static_cast<std::size_t>(right)];
        return x != y ? x < y : left < right;
    }
    case DetailsColumn::Size:
        return a.size != b.size ? a.size < b.size : left < right;
    case DetailsColumn::Packed:
        return a.packed != b.packed ? a.packed < b.packed : left < right;
    case DetailsColumn::Ratio:
        return ratio(a) != ratio(b) ? ratio(a) < ratio(b) : left < right;
    case DetailsColumn::Offset:
        return a.offset != b.offset ? a.offset < b.offset : left < right;
    case DetailsColumn::Crc:
        return a.crc != b.crc ? a.crc < b.crc : left < right;
    }
    return left < right;
}

} // namespace archive
