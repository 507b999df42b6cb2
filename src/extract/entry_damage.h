#pragma once

#include "extract/entry_fetch.h"

#include <cstdint>
#include <string>

namespace archive {

// What reading (and, when compressed, inflating) an entry came to: all that
// the verdict on its data looks at, whether the entry was held whole or
// streamed.
struct EntryFacts {
    std::int64_t stored = 0; // bytes the record claims (negative counts as 0)
    std::int64_t got = 0;    // bytes the archive holds for it
    bool compressed = false;
    std::int32_t status = 0;   // zlib's, when compressed
    std::string refused;       // why the compression class refused the input, if it did
    std::int64_t produced = 0; // bytes the entry gave: inflated, or read when stored

    static EntryFacts Of(const FetchedEntry& entry);
};

// The one verdict on an entry's data, given by every command that reads
// entries (the toolbar commands, Extract To, drag-out, preview and the test).
struct EntryDamage {
    enum class Kind {
        Sound,
        Refused, // nothing was inflated: there is nothing to write
        Damaged, // bytes missing, a failed inflate, or a size other than the table's
    };
    Kind kind = Kind::Sound;
    std::string reason; // "runs past the end of the archive: ...", empty when sound

    bool Sound() const { return kind == Kind::Sound; }
};

// Damaged: bytes missing at the end of the archive, a zlib status other than
// 0, a compressed entry that inflates to other than its ExpandedSize bytes,
// or a stored one whose size is negative. Refused: the compression class would not take the input.
EntryDamage JudgeEntry(const EntryFacts& facts, std::int32_t expandedSize);
inline EntryDamage JudgeEntry(const FetchedEntry& entry, std::int32_t expandedSize)
{
    return JudgeEntry(EntryFacts::Of(entry), expandedSize);
}

} // namespace archive
