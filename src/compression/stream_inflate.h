#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace archive {

// Inflates a zlib stream a piece at a time, holding a small window instead of
// the whole result, and ends with the status `DecompressByteArray` gives for
// the same bytes and the same expanded size: 0 at the stream's end, -5 when
// the output would pass the work buffer of that size, -3 for a damaged or
// cut-short stream, -4 without memory. What the stream gives goes to a sink
// in pieces, never more in all than that work buffer would hold; the sink
// may stop the inflate early (a preview that has what it shows).
class StreamInflate {
  public:
    // Told each piece of output; returns false to stop.
    using Sink = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;

    // `expandedSize` is the size the table claims. Throws ZlibUsageError when
    // the compression class would refuse it (a work buffer past 2 GiB).
    explicit StreamInflate(std::int32_t expandedSize);
    ~StreamInflate();
    StreamInflate(const StreamInflate&) = delete;
    StreamInflate& operator=(const StreamInflate&) = delete;

    // Inflates `size` more bytes of the stream. Returns false once nothing
    // more will be taken: the stream ended or failed (Status says which), or
    // the sink stopped it (Stopped).
    bool Feed(const std::uint8_t* bytes, std::size_t size, const Sink& sink);
    // No more input: settles the status of a stream that has not ended.
    void Finish();

    bool Done() const { return done_; }
    bool Stopped() const { return stopped_; }
    // zlib's status as the one-shot call would report it (valid once Done).
    std::int32_t Status() const { return status_; }
    // Bytes the stream gave so far.
    std::int64_t Produced() const { return produced_; }

  private:
    struct State;
    std::unique_ptr<State> state_;
    std::uint64_t limit_ = 0;
    std::int64_t produced_ = 0;
    std::int32_t status_ = 0;
    bool done_ = false;
    bool stopped_ = false;
};

} // namespace archive
