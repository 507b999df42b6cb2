#pragma once

#include "window/catalogue_tree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace archive {

class FrmBig;

// What the tables say of the entry behind a file node: for a details view
// and the companion's long listing.
struct EntryDetails {
    std::int64_t expanded = 0;            // ExpandedSize, or an RBF entry's UncomprSize
    std::int64_t stored = 0;              // StoredSize, or ComprSize
    std::optional<std::int64_t> position; // SGA: DataOffset + EntryOffset, where its bytes begin
    std::optional<std::int64_t> crc;      // RBF: the CRC field as stored
};

// Finds the entry of a file node of the loaded catalogue. Built once per load
// (an RBF node is found by its path through a hash map); a folder node, or a
// node the tables do not know, has none.
class EntryDetailsIndex {
  public:
    explicit EntryDetailsIndex(const FrmBig& frm);
    std::optional<EntryDetails> Of(const CatalogueNode& node) const;

  private:
    const FrmBig& frm_;
    std::unordered_map<std::string_view, std::size_t> rbfEntryOfPath_;
};

// Stored bytes as a share of the expanded ones, in whole percent ("25%");
// "-" when there is nothing to compare with.
std::string RatioText(std::int64_t stored, std::int64_t expanded);

} // namespace archive
