#include "commands/entry_details.h"

#include "sga/sga_node_key.h"
#include "window/frm_big.h"

namespace archive {

EntryDetailsIndex::EntryDetailsIndex(const FrmBig& frm) : frm_(frm)
{
    if (frm.LastFormat != ArchiveFormat::Rbf) {
        return;
    }
    const std::size_t count = std::min(frm.Rbf.RbfPaths.size(), frm.Rbf.RbfEntries.size());
    for (std::size_t i = 0; i < count; ++i) {
        rbfEntryOfPath_.emplace(frm.Rbf.RbfPaths[i], i); // the first entry of a path is the one in the tree
    }
}

std::optional<EntryDetails> EntryDetailsIndex::Of(const CatalogueNode& node) const
{
    if (!node.children.empty()) {
        return std::nullopt;
    }
    if (frm_.LastFormat == ArchiveFormat::Rbf) {
        const auto found = rbfEntryOfPath_.find(node.key);
        if (found == rbfEntryOfPath_.end() || node.key == "Root") {
            return std::nullopt;
        }
        const RbfEntry& entry = frm_.Rbf.RbfEntries[found->second];
        return EntryDetails{.expanded = entry.UncomprSize,
                            .stored = entry.ComprSize,
                            .position = std::nullopt,
                            .crc = entry.Crc};
    }
    const std::optional<SgaNodeKey> key = ParseSgaNodeKey(node.key);
    if (frm_.LastFormat != ArchiveFormat::Sga || !key || key->kind != SgaNodeKey::Kind::File ||
        static_cast<std::size_t>(key->fileRow) >= frm_.Sga.SgaFiles.size()) {
        return std::nullopt;
    }
    const std::size_t row = static_cast<std::size_t>(key->fileRow);
    const SgaFile& file = frm_.Sga.SgaFiles[row];
    return EntryDetails{.expanded = file.ExpandedSize,
                        .stored = file.StoredSize,
                        .position =
                            static_cast<std::int64_t>(frm_.Sga.SgaHeader.DataOffset) + file.EntryOffset,
                        .crc = std::nullopt};
}

std::string RatioText(std::int64_t stored, std::int64_t expanded)
{
    if (expanded <= 0 || stored < 0) {
        return "-";
    }
    return std::to_string((stored * 100 + expanded / 2) / expanded) + "%";
}

} // namespace archive
