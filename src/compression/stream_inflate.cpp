#include "compression/stream_inflate.h"

#include "compression/cls_zlib.h"

#include <zlib.h>
#ifdef ARCHIVE_TOOL_FAST_CHECK
#include <libdeflate.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>

namespace archive {

namespace {

constexpr std::size_t kWindow = std::size_t{256} << 10;
constexpr std::size_t kMaxFeed = std::size_t{1} << 30; // what avail_in holds with room to spare

} // namespace

struct StreamInflate::State {
    z_stream stream{};
    bool initialised = false;
    std::unique_ptr<std::uint8_t[]> window{new std::uint8_t[kWindow]};
#ifdef ARCHIVE_TOOL_FAST_CHECK
    // zlib checks without its byte-at-a-time Adler-32: the check is computed
    // here, vectorised, and compared with the stream's last four bytes.
    std::uint32_t adler = 1;
    std::array<std::uint8_t, 4> tail{};
    std::size_t tailSize = 0;

    void KeepTail(const std::uint8_t* consumed, std::size_t size)
    {
        for (std::size_t i = size > 4 ? size - 4 : 0; i < size; ++i) {
            if (tailSize == 4) {
                std::memmove(tail.data(), tail.data() + 1, 3);
                tailSize = 3;
            }
            tail[tailSize++] = consumed[i];
        }
    }
    bool CheckMatches() const
    {
        const std::uint32_t stored = (std::uint32_t{tail[0]} << 24) | (std::uint32_t{tail[1]} << 16) |
                                     (std::uint32_t{tail[2]} << 8) | std::uint32_t{tail[3]};
        return tailSize == 4 && stored == adler;
    }
#endif

    ~State()
    {
        if (initialised) {
            inflateEnd(&stream);
        }
    }
};

StreamInflate::StreamInflate(std::int32_t expandedSize)
    : state_(std::make_unique<State>()), limit_(static_cast<std::uint64_t>(clsZlib::BufferSize(expandedSize)))
{
    if (inflateInit(&state_->stream) != Z_OK) {
        status_ = Z_MEM_ERROR;
        done_ = true;
        return;
    }
    state_->initialised = true;
#ifdef ARCHIVE_TOOL_FAST_CHECK
    inflateValidate(&state_->stream, 0);
#endif
}

StreamInflate::~StreamInflate() = default;

bool StreamInflate::Feed(const std::uint8_t* bytes, std::size_t size, const Sink& sink)
{
    while (size > kMaxFeed) {
        if (!Feed(bytes, kMaxFeed, sink)) {
            return false;
        }
        bytes += kMaxFeed;
        size -= kMaxFeed;
    }
    if (done_) {
        return false;
    }
    z_stream& s = state_->stream;
    s.next_in = const_cast<Bytef*>(bytes); // zlib reads through it, never writes
    s.avail_in = static_cast<uInt>(size);
    for (;;) {
        const std::uint64_t room = limit_ - static_cast<std::uint64_t>(produced_);
        const auto offered = static_cast<uInt>(std::min<std::uint64_t>(room, kWindow));
        s.next_out = state_->window.get();
        s.avail_out = offered;
        [[maybe_unused]] const Bytef* inBefore = s.next_in;
        const int err = inflate(&s, Z_NO_FLUSH);
        const std::size_t got = offered - s.avail_out;
#ifdef ARCHIVE_TOOL_FAST_CHECK
        state_->KeepTail(inBefore, static_cast<std::size_t>(s.next_in - inBefore));
        state_->adler =
            static_cast<std::uint32_t>(libdeflate_adler32(state_->adler, state_->window.get(), got));
#endif
        if (got != 0) {
            produced_ += static_cast<std::int64_t>(got);
            if (sink && !sink(state_->window.get(), got)) {
                stopped_ = true;
                done_ = true;
                return false;
            }
        }
        switch (err) {
        case Z_STREAM_END:
#ifdef ARCHIVE_TOOL_FAST_CHECK
            status_ = state_->CheckMatches() ? Z_OK : Z_DATA_ERROR;
#else
            status_ = Z_OK;
#endif
            done_ = true;
            return false;
        case Z_OK:
            if (s.avail_in == 0 && s.avail_out != 0) {
                return true; // all taken: more input, please
            }
            continue;
        case Z_BUF_ERROR: // no progress possible
            if (s.avail_in == 0) {
                return true;
            }
            status_ = Z_BUF_ERROR; // input left and the output full
            done_ = true;
            return false;
        case Z_NEED_DICT:
            status_ = Z_DATA_ERROR; // as the one-shot call reports it
            done_ = true;
            return false;
        default:
            status_ = err;
            done_ = true;
            return false;
        }
    }
}

void StreamInflate::Finish()
{
    if (done_) {
        return;
    }
    // The input ended before the stream did: cut short, unless the output
    // was full, which the one-shot call reports first.
    status_ = static_cast<std::uint64_t>(produced_) == limit_ ? Z_BUF_ERROR : Z_DATA_ERROR;
    done_ = true;
}

} // namespace archive
