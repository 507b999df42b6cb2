#include "extract/entry_damage.h"

#include "window/number_text.h"

namespace archive {

EntryFacts EntryFacts::Of(const FetchedEntry& entry)
{
    return {.stored = entry.stored,
            .got = entry.got,
            .compressed = entry.compressed,
            .status = entry.status,
            .refused = entry.refused,
            .produced = static_cast<std::int64_t>(entry.Size())};
}

EntryDamage JudgeEntry(const EntryFacts& facts, std::int32_t expandedSize)
{
    using Kind = EntryDamage::Kind;
    const std::string shortRead =
        facts.got != facts.stored
            ? "runs past the end of the archive: " + N(facts.got) + " of " + N(facts.stored) + " bytes read"
            : std::string();
    if (!facts.refused.empty()) {
        return {Kind::Refused,
                (shortRead.empty() ? "" : shortRead + "; ") + "cannot be decompressed: " + facts.refused};
    }
    if (!shortRead.empty()) {
        return {Kind::Damaged, shortRead};
    }
    if (!facts.compressed && expandedSize < 0) {
        // Read as nothing, yet no file is that size: a damaged record.
        return {Kind::Damaged, "has a size of " + N(expandedSize) + " bytes in the table"};
    }
    if (facts.compressed && facts.status != 0) {
        return {Kind::Damaged, "failed to inflate: zlib status " + N(facts.status) + ", " +
                                   clsZlib::StatusText(facts.status)};
    }
    if (facts.compressed && facts.produced != expandedSize) {
        return {Kind::Damaged, "inflates to " + N(facts.produced) + " bytes, not the " + N(expandedSize) +
                                   " bytes the table gives"};
    }
    return {};
}

} // namespace archive
