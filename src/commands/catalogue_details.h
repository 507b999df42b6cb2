#pragma once

#include "window/catalogue_filter.h" // FoldCase

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

class FrmBig;

// The columns of the details view, left to right.
enum class DetailsColumn { Name, Size, Packed, Ratio, Offset, Crc };
inline constexpr int kDetailsColumns = 6;

// What the details view shows of one node. A folder's sizes are the totals of
// the files below it.
struct NodeDetails {
    bool file = false;
    std::int64_t size = 0;              // expanded
    std::int64_t packed = 0;            // stored
    std::optional<std::int64_t> offset; // of the stored bytes in the archive (SGA files)
    std::optional<std::int64_t> crc;    // RBF files
    int row = -1;                       // SGA file row or RBF entry, -1 for a folder
    int files = 0;                      // files below a folder (1 for a file)
};

// The details of every node of the window's tree, from the tables of the
// format that filled it. Built once per load; every lookup is by node index.
class CatalogueDetails {
  public:
    void Build(const FrmBig& frm);
    void Clear() { nodes_.clear(); }

    // A node that the last build did not see has empty details.
    const NodeDetails& Of(int node) const;
    bool IsFolder(int node) const { return !Of(node).file; }

    // The text of a column for a node; the name is the face's to show.
    std::string Text(int node, DetailsColumn column, std::string_view decimalSeparator,
                     std::string_view groupSeparator) const;
    // The longest text of a column over every node (the first of equal
    // length): a face sizes the column to it once per load. Empty for Name.
    std::string WidestText(DetailsColumn column, std::string_view decimalSeparator,
                           std::string_view groupSeparator) const;
    // Orders two nodes by a column; names compare case-insensitively.
    bool Less(int left, int right, DetailsColumn column) const;

  private:
    std::vector<NodeDetails> nodes_; // by node index; element 0 unused
    const FrmBig* frm_ = nullptr;
    // Folded names for sorting by name, made at the first such sort.
    mutable std::vector<std::string> names_;
};

// The file row of an SGA file node's key; -1 for any other key.
int SgaFileRowOfKey(std::string_view key);

// Stored bytes as a share of the expanded ones, in whole percent ("25%");
// "-" when there is nothing to compare with.
std::string RatioText(std::int64_t stored, std::int64_t expanded);

// A byte count with a separator between groups of three digits.
std::string GroupedNumber(std::int64_t value, std::string_view groupSeparator);

} // namespace archive
