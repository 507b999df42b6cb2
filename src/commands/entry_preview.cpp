#include "commands/entry_preview.h"

#include "extract/entry_fetch.h"
#include "platform/text_encoding.h"
#include "commands/catalogue_details.h"
#include "window/frm_big.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace archive {

EntryPreview PreviewEntry(const FrmBig& frm, int node)
{
    EntryPreview preview;
    const CatalogueTree& tree = frm.tree();
    if (node < 1 || static_cast<std::size_t>(node) > tree.Count()) {
        preview.problem = "No file is selected.";
        return preview;
    }
    preview.name = tree.Node(node).text;
    if (frm.CatalogueFormat == ArchiveFormat::Rbf) {
        preview.problem = "RBF archives do not say where an entry's data lies: there is nothing to show.";
        return preview;
    }
    if (!frm.SgaCatalogueShown()) {
        preview.problem =
            "The tree does not show a whole catalogue of the open archive: nothing is read through it.";
        return preview;
    }
    const int row = SgaFileRowOfKey(tree.Node(node).key);
    if (row < 0 || static_cast<std::size_t>(row) >= frm.Sga.SgaFiles.size()) {
        preview.problem = "A folder has no content of its own to show.";
        return preview;
    }
    ArchiveFile archive;
    std::string error;
    if (frm.ArchivePath.empty() || !archive.Open(PathFromUtf8(frm.ArchivePath), error)) {
        preview.problem = "The archive cannot be read: " + (error.empty() ? "no archive is open" : error);
        return preview;
    }
    const SgaFile& file = frm.Sga.SgaFiles[static_cast<std::size_t>(row)];
    // A zlib state of its own: an extraction that lets events run may be using the window's.
    clsZlib zlib;
    FetchedEntry entry = FetchEntry(
        archive, zlib, file, static_cast<std::int64_t>(frm.Sga.SgaHeader.DataOffset) + file.EntryOffset);
    if (entry.got != entry.stored) {
        preview.problem = "The entry runs past the end of the archive: " + std::to_string(entry.got) +
                          " of " + std::to_string(entry.stored) + " stored bytes are there.";
    } else if (!entry.refused.empty()) {
        preview.problem = "The entry cannot be decompressed: " + entry.refused + ".";
    } else if (entry.compressed && entry.status != Z_OK) {
        preview.problem = "The entry is damaged: zlib status " + std::to_string(entry.status) + " (" +
                          zError(entry.status) + ") while inflating " + std::to_string(entry.stored) +
                          " stored bytes to " + std::to_string(file.ExpandedSize) + ".";
    } else {
        preview.content = std::move(entry.buffer);
    }
    return preview;
}

bool LooksLikeText(std::string_view content)
{
    const std::string_view start = content.substr(0, 8192);
    std::size_t controls = 0;
    for (const char c : start) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            return false;
        }
        if (u < 32 && u != '\t' && u != '\n' && u != '\r' && u != '\f') {
            ++controls;
        }
    }
    return controls * 100 <= start.size(); // at most one in a hundred
}

std::string HexDump(std::string_view content, std::size_t limit)
{
    const std::size_t shown = std::min(content.size(), limit);
    std::string dump;
    dump.reserve(shown / 16 * 78 + 80);
    char cell[32];
    for (std::size_t line = 0; line < shown; line += 16) {
        std::snprintf(cell, sizeof cell, "%08zx ", line);
        dump += cell;
        std::string printable;
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i < shown) {
                const auto u = static_cast<unsigned char>(content[i]);
                std::snprintf(cell, sizeof cell, " %02x", u);
                dump += cell;
                printable += u >= 32 && u < 127 ? static_cast<char>(u) : '.';
            } else {
                dump += "   ";
            }
        }
        dump += "  " + printable + "\n";
    }
    if (shown < content.size()) {
        dump += "... " + std::to_string(content.size() - shown) + " more bytes not shown\n";
    }
    return dump;
}

} // namespace archive
