#include "extract/entry_stream.h"

#include "compression/cls_zlib.h"

#include <algorithm>

namespace archive {

EntryStream::EntryStream(ArchiveFile& archive, const SgaFile& file, std::int64_t position)
    : archive_(archive), position_(position)
{
    facts_.stored = std::max<std::int32_t>(file.StoredSize, 0);
    if (archive.IsOpen() && position >= 0 && static_cast<std::uint64_t>(position) <= archive.Size()) {
        facts_.got =
            std::min<std::int64_t>(facts_.stored, static_cast<std::int64_t>(archive.Size()) - position);
    }
    facts_.compressed = file.StoredSize != file.ExpandedSize;
    if (facts_.compressed) {
        // The compression class's refusals, in its words.
        if (facts_.got == 0) {
            facts_.refused = "an empty array cannot be decompressed";
            done_ = true;
            return;
        }
        try {
            inflate_.emplace(file.ExpandedSize);
        } catch (const ZlibUsageError& e) {
            facts_.refused = e.what();
            done_ = true;
            return;
        }
    }
    piece_.resize(static_cast<std::size_t>(std::min<std::int64_t>(facts_.got, kPieceBytes)));
    done_ = facts_.got == 0;
}

bool EntryStream::Step(const StreamInflate::Sink& sink)
{
    if (done_) {
        return false;
    }
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(facts_.got - read_, kPieceBytes));
    const std::size_t got =
        archive_.ReadAt(static_cast<std::uint64_t>(position_ + read_), piece_.data(), want);
    read_ += static_cast<std::int64_t>(got);
    bool more = got == want && read_ < facts_.got;
    if (got < want) {
        facts_.got = read_; // the file gave less than its size promised
    }
    if (inflate_) {
        more = inflate_->Feed(piece_.data(), got, sink) && more;
        stopped_ = inflate_->Stopped();
    } else {
        facts_.produced += static_cast<std::int64_t>(got);
        stopped_ = sink && got != 0 && !sink(piece_.data(), got);
        more = more && !stopped_;
    }
    if (!more) {
        End();
    }
    return more;
}

void EntryStream::End()
{
    if (inflate_) {
        inflate_->Finish();
        facts_.status = inflate_->Status();
        facts_.produced = inflate_->Produced();
    }
    piece_ = {};
    done_ = true;
}

} // namespace archive
