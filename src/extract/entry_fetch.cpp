#include "extract/entry_fetch.h"

#include <algorithm>
#include <new>

namespace archive {

FetchedEntry FetchEntry(ArchiveFile& archive, clsZlib& zlib, const SgaFile& file, std::int64_t position)
{
    FetchedEntry entry;
    entry.stored = std::max<std::int32_t>(file.StoredSize, 0);
    if (archive.IsOpen() && position >= 0 && static_cast<std::uint64_t>(position) <= archive.Size()) {
        entry.got =
            std::min<std::int64_t>(entry.stored, static_cast<std::int64_t>(archive.Size()) - position);
    }
    try {
        entry.buffer = ByteArray(static_cast<std::size_t>(entry.got));
        if (entry.got > 0) {
            archive.Seek(static_cast<std::uint64_t>(position));
            const std::size_t read = archive.ReadSome(entry.buffer.data(), entry.buffer.size());
            if (read != entry.buffer.size()) {
                entry.buffer.ShrinkTo(read);
                entry.got = static_cast<std::int64_t>(read);
            }
        }
        entry.compressed = file.StoredSize != file.ExpandedSize;
        if (entry.compressed) {
            entry.status = zlib.DecompressByteArray(entry.buffer, file.ExpandedSize);
        }
    } catch (const ZlibUsageError& e) {
        entry.refused = e.what();
    } catch (const std::bad_alloc&) {
        entry.refused = "out of memory";
    }
    return entry;
}

} // namespace archive
