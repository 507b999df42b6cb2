#pragma once

#include "compression/stream_inflate.h"
#include "extract/entry_damage.h"
#include "platform/archive_file.h"
#include "sga/sga_tables.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace archive {

// Reads one entry a piece at a time and, when it is compressed, inflates it
// as it goes: memory is a piece of the stored bytes and a window of the
// output, whatever the entry claims. What it comes to is what FetchEntry
// would find for the same entry (the same statuses and sizes), as facts for
// JudgeEntry. The output goes to a sink, which may stop the entry early.
class EntryStream {
  public:
    static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

    EntryStream(ArchiveFile& archive, const SgaFile& file, std::int64_t position);

    // Reads (and inflates) the next piece. Returns true while there is more.
    bool Step(const StreamInflate::Sink& sink);
    // Steps to the end.
    void Run(const StreamInflate::Sink& sink)
    {
        while (Step(sink)) {
        }
    }

    // Complete once Step has returned false.
    const EntryFacts& Facts() const { return facts_; }
    // The sink stopped the entry before its end: the facts are those of the part read.
    bool Stopped() const { return stopped_; }

  private:
    void End();

    ArchiveFile& archive_;
    std::int64_t position_;
    std::int64_t read_ = 0;
    EntryFacts facts_;
    std::optional<StreamInflate> inflate_;
    std::vector<std::uint8_t> piece_;
    bool done_ = false;
    bool stopped_ = false;
};

} // namespace archive
