#pragma once

#include "compression/byte_array.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace archive {

class FrmBig;

// An entry read for viewing: its content in memory, or why there is none.
struct EntryPreview {
    std::string name;    // the node's text (Windows-1252)
    ByteArray content;   // inflated when the entry is compressed
    std::string problem; // empty when `content` is the entry's true content
};

// Reads the entry of a file node of the loaded SGA archive and inflates it in
// memory, through the same bounded fetch as extraction; nothing is written.
// A damaged entry comes back with its zlib status as the problem, not its
// bytes; a folder, an RBF entry (whose data the tables do not locate) or a
// missing archive each say so.
EntryPreview PreviewEntry(const FrmBig& frm, int node);

// What a preview shows of content that is no image.
inline constexpr std::size_t kPreviewTextLimit = 1 << 20;
inline constexpr std::size_t kPreviewHexLimit = 64 * 1024;

// True when the start of the content reads as text: no NUL byte and few
// control characters besides tabs and line ends.
bool LooksLikeText(std::string_view content);

// Offset, sixteen bytes in hex and their printable characters per line, for
// the first `limit` bytes; a last line says how much more there is.
std::string HexDump(std::string_view content, std::size_t limit);

} // namespace archive
