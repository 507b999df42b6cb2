#include "extract/entry_damage.h"

#include "window/number_text.h"

namespace archive {

std::string DamageOf(const FetchedEntry& entry, const SgaFile& file)
{
    if (entry.got != entry.stored) {
        return "runs past the end of the archive: " + N(entry.got) + " of " + N(entry.stored) + " bytes read";
    }
    if (!entry.refused.empty()) {
        return "cannot be decompressed: " + entry.refused;
    }
    if (entry.compressed && entry.status != 0) {
        return "failed to inflate: zlib status " + N(entry.status) + ", " + clsZlib::StatusText(entry.status);
    }
    if (entry.compressed && static_cast<std::int64_t>(entry.buffer.size()) != file.ExpandedSize) {
        return "inflates to " + N(static_cast<long long>(entry.buffer.size())) + " bytes, not the " +
               N(file.ExpandedSize) + " bytes the table gives";
    }
    return {};
}

} // namespace archive
