#pragma once

#include "compression/byte_array.h"
#include "extract/entry_stream.h"
#include "platform/archive_file.h"
#include "sga/sga_tables.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace archive {

class FrmBig;

// An entry read for viewing: its content in memory, or why there is none.
struct EntryPreview {
    std::string name;      // the node's text (Windows-1252)
    ByteArray content;     // inflated when the entry is compressed; the first bytes only when `partial`
    std::string problem;   // empty when `content` is the entry's true content
    std::int64_t size = 0; // the entry's size: what it inflated to, or what its table claims when partial
    bool partial = false;  // only the first bytes were read: all that the view shows
};

// What a preview shows of content that is no image.
inline constexpr std::size_t kPreviewTextLimit = 1 << 20;
inline constexpr std::size_t kPreviewHexLimit = 64 * 1024;
// An image is read whole, up to this size; beyond it only its first bytes.
inline constexpr std::size_t kPreviewImageLimit = std::size_t{64} << 20;

// How much of an entry a preview reads: an image (by its name's extension or
// its first bytes) whole, up to kPreviewImageLimit; anything else as far as
// the text view shows, one byte more so that the view can tell that there is
// more (kPreviewTextLimit + 1).
std::size_t PreviewLimit(std::string_view name, std::string_view firstBytes);

// A preview read a piece at a time, so that a face can run it off its event
// loop (on a thread, or a piece per idle turn) and drop it when the preview is
// closed mid-way. It takes what it needs of the catalogue when it is made and
// reads the archive through a handle of its own: a load or an extraction
// that runs meanwhile changes nothing it uses. Memory is bounded by the limit,
// never by what the entry claims; inflating stops once the view has what it
// shows.
class PreviewFetch {
  public:
    PreviewFetch(const FrmBig& frm, int node);
    ~PreviewFetch();
    PreviewFetch(const PreviewFetch&) = delete;
    PreviewFetch& operator=(const PreviewFetch&) = delete;

    // Reads and inflates the next piece (at most about a MiB of stored
    // bytes). Returns true while there is more to do.
    bool Step();
    // How far it has come, in stored bytes, for a progress bar.
    std::int64_t Done() const { return done_; }
    std::int64_t Total() const { return total_; }
    // The preview; once Step has returned false.
    EntryPreview Take();

  private:
    void Finish();

    EntryPreview preview_;
    SgaFile file_{};
    std::int64_t position_ = 0;
    ArchiveFile archive_;
    std::unique_ptr<EntryStream> stream_;
    std::string content_;
    std::size_t limit_ = 0;
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
};

// Reads the entry of a file node of the loaded SGA archive as far as its
// preview shows it (PreviewLimit), through the same verdict on damage as
// extraction; nothing is written. A damaged entry comes back with the reason
// as the problem, not its bytes; a folder, an RBF entry (whose data the
// tables do not locate) or a missing archive each say so. Runs PreviewFetch
// to its end.
EntryPreview PreviewEntry(const FrmBig& frm, int node);

// True when the start of the content reads as text: no NUL byte and few
// control characters (DEL among them) besides tabs and line ends.
bool LooksLikeText(std::string_view content);

// Offset, sixteen bytes in hex and their printable characters per line, for
// the first `limit` bytes; a last line says how much more there is.
std::string HexDump(std::string_view content, std::size_t limit);

} // namespace archive
