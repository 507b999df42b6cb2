#include "compression/cls_zlib.h"

#include "platform/host_file.h"
#include "platform/little_endian.h"
#include "platform/text_encoding.h"

#include <zlib.h>
#ifdef ARCHIVE_TOOL_FAST_CHECK
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace archive {

std::int32_t clsZlib::BufferSize(double n)
{
    const double exact = n * 0.01 + n + 12;
    // nearbyint rounds in the current mode, which is to-nearest-even unless changed.
    const double rounded = std::nearbyint(exact);
    if (!(rounded <= std::numeric_limits<std::int32_t>::max())) {
        throw ZlibUsageError("the work buffer for " + std::to_string(static_cast<long long>(n)) +
                             " bytes would exceed 2 GiB");
    }
    if (rounded < 0) {
        throw ZlibUsageError("a negative size (" + std::to_string(static_cast<long long>(n)) +
                             ") has no work buffer");
    }
    return static_cast<std::int32_t>(rounded);
}

std::string clsZlib::StatusText(std::int32_t status)
{
    switch (status) {
    case Z_OK:
        return "success";
    case Z_NEED_DICT:
        return "need dictionary: the stream needs a preset dictionary";
    case Z_STREAM_ERROR:
        return "stream error";
    case Z_DATA_ERROR:
        return "data error: the stream is damaged";
    case Z_MEM_ERROR:
        return "insufficient memory";
    case Z_BUF_ERROR:
        return "buffer error: the stream is cut short or inflates to more than the expanded size";
    default:
        return "unknown status";
    }
}

namespace {

std::int64_t CheckedLength(std::size_t size)
{
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw ZlibUsageError("inputs of 2 GiB or more are not supported");
    }
    return static_cast<std::int64_t>(size);
}

} // namespace

// One z_stream for every inflate of a clsZlib: inflateReset readies it for the
// next stream as inflateInit would, without allocating its state again.
struct clsZlib::InflateState {
    z_stream stream{};
    bool ready = false; // inflateInit succeeded: inflateReset from now on
};

void clsZlib::EndInflate::operator()(InflateState* state) const
{
    if (state->ready) {
        inflateEnd(&state->stream);
    }
    delete state;
}

namespace {

#ifdef ARCHIVE_TOOL_FAST_CHECK
// zlib's uncompress, with differences in how, not what:
// - zlib inflates without checking the Adler-32, which is then computed here
//   with libdeflate's vectorised adler32 (zlib's own takes a byte at a time,
//   about a tenth of an extraction's time);
// - the stream state is `kept`'s, reset rather than made anew for each stream;
// - inflate is told that all the input and all the room for output are
//   there (Z_FINISH), so that it keeps no copy of the last 32 KiB it wrote
//   for a next call that never comes. Where uncompress's loop would call
//   inflate again after a call that made progress without ending the stream,
//   that second call can make none (every byte of input and output was given
//   at once), and returns the Z_BUF_ERROR that Z_FINISH gives at once.
// Status, output and length are those of uncompress: the loop below is its
// loop, and a check value that does not match is the data error zlib would
// report, after the same output.
int Uncompress(z_stream& stream, bool& ready, Bytef* dest, uLongf* destLen, const Bytef* source,
               uLong sourceLen)
{
    const uInt max = static_cast<uInt>(-1);
    uLong len = sourceLen;
    uLong left = 0;
    Byte buf[1]; // for detection of an incomplete stream when *destLen == 0
    if (*destLen != 0) {
        left = *destLen;
        *destLen = 0;
    } else {
        left = 1;
        dest = buf;
    }
    stream.next_in = const_cast<Bytef*>(source); // zlib reads through it, never writes
    stream.avail_in = 0;
    int err = Z_OK;
    if (ready) {
        err = inflateReset(&stream);
    } else {
        stream.zalloc = Z_NULL;
        stream.zfree = Z_NULL;
        stream.opaque = Z_NULL;
        err = inflateInit(&stream);
        ready = err == Z_OK;
    }
    if (err != Z_OK) {
        return err;
    }
    inflateValidate(&stream, 0);
    stream.next_out = dest;
    stream.avail_out = 0;
    do {
        if (stream.avail_out == 0) {
            stream.avail_out = left > static_cast<uLong>(max) ? max : static_cast<uInt>(left);
            left -= stream.avail_out;
        }
        if (stream.avail_in == 0) {
            stream.avail_in = len > static_cast<uLong>(max) ? max : static_cast<uInt>(len);
            len -= stream.avail_in;
        }
        err = inflate(&stream, left == 0 && len == 0 ? Z_FINISH : Z_NO_FLUSH);
    } while (err == Z_OK);
    if (err == Z_STREAM_END) {
        // The stream ended on its check value: the four bytes just read, most
        // significant first (zlib reads them whole once the last block ends).
        const Bytef* check = stream.next_in - 4;
        const std::uint32_t stored = (std::uint32_t{check[0]} << 24) | (std::uint32_t{check[1]} << 16) |
                                     (std::uint32_t{check[2]} << 8) | std::uint32_t{check[3]};
        if (libdeflate_adler32(1, dest, stream.total_out) != stored) {
            err = Z_DATA_ERROR; // "incorrect data check", with all the output written
        }
    }
    if (dest != buf) {
        *destLen = stream.total_out;
    } else if (stream.total_out != 0 && err == Z_BUF_ERROR) {
        left = 1;
    }
    return err == Z_STREAM_END                                  ? Z_OK
           : err == Z_NEED_DICT                                 ? Z_DATA_ERROR
           : err == Z_BUF_ERROR && left + stream.avail_out != 0 ? Z_DATA_ERROR
                                                                : err;
}
#else
int Uncompress(z_stream&, bool&, Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen)
{
    return uncompress(dest, destLen, source, sourceLen);
}
#endif

// Calls zlib with a destination of `bufferSize` bytes; `length` receives the
// length that zlib reports back. A buffer of 0 bytes still gets a valid pointer.
int Inflate(z_stream& stream, bool& ready, ByteArray& work, std::int32_t bufferSize,
            const std::uint8_t* source, std::size_t sourceLength, uLongf& length)
{
    // zlib writes from the start and reports how far: the callers keep that much.
    work = ByteArray::ForOverwrite(bufferSize == 0 ? 1 : static_cast<std::size_t>(bufferSize));
    length = static_cast<uLongf>(bufferSize);
    return Uncompress(stream, ready, work.data(), &length, source, static_cast<uLong>(sourceLength));
}

int Deflate(ByteArray& work, std::int32_t bufferSize, const std::uint8_t* source, std::size_t sourceLength,
            int level, uLongf& length)
{
    work = ByteArray(bufferSize == 0 ? 1 : static_cast<std::size_t>(bufferSize));
    length = static_cast<uLongf>(bufferSize);
    return compress2(work.data(), &length, source, static_cast<uLong>(sourceLength), level);
}

ByteArray ReadWholeFile(const std::string& path, std::uint64_t& length)
{
    std::string error;
    const std::filesystem::path hostPath = PathFromUtf8(path);
    std::error_code sizeError;
    length = std::filesystem::file_size(hostPath, sizeError);
    if (sizeError) {
        throw std::runtime_error("cannot read " + path + ": " + sizeError.message());
    }
    if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        throw ZlibUsageError("files of 2 GiB or more are not supported: " + path);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenHostFile(hostPath, "rb", error), &std::fclose);
    if (!file) {
        throw std::runtime_error("cannot open " + path + ": " + error);
    }
    ByteArray bytes(static_cast<std::size_t>(length));
    if (length != 0 && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        throw std::runtime_error("cannot read " + path);
    }
    return bytes;
}

void WriteWholeFile(const std::string& path, const void* prefix, std::size_t prefixSize,
                    const ByteArray& bytes)
{
    const std::filesystem::path hostPath = PathFromUtf8(path);
    std::error_code ignored;
    std::filesystem::remove(hostPath, ignored);
    std::string error;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenHostFile(hostPath, "wb", error), &std::fclose);
    if (!file) {
        throw std::runtime_error("cannot create " + path + ": " + error);
    }
    const bool ok = (prefixSize == 0 || std::fwrite(prefix, 1, prefixSize, file.get()) == prefixSize) &&
                    (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size());
    if (!ok || std::fclose(file.release()) != 0) {
        throw std::runtime_error("cannot write " + path + ": " + LastSystemError());
    }
}

} // namespace

std::int32_t clsZlib::CompressByteArray(ByteArray& TheData, std::int32_t CompressionLevel)
{
    if (TheData.empty()) {
        throw ZlibUsageError("an empty array cannot be compressed");
    }
    const std::int64_t n = CheckedLength(TheData.size());
    SetOriginalSize(n);
    const std::int32_t bufferSize = BufferSize(static_cast<double>(n));
    ByteArray work;
    uLongf length = 0;
    const int status = Deflate(work, bufferSize, TheData.data(), TheData.size(), CompressionLevel, length);
    work.ShrinkTo(length);
    TheData = std::move(work);
    SetCompressedSize(static_cast<std::int64_t>(TheData.size()));
    return status;
}

clsZlib::InflateState& clsZlib::Stream()
{
    if (!inflate_) {
        inflate_.reset(new InflateState());
    }
    return *inflate_;
}

std::int32_t clsZlib::DecompressByteArray(ByteArray& TheData, std::int32_t OrigSize)
{
    SetOriginalSize(OrigSize);
    SetCompressedSize(static_cast<std::int64_t>(std::min<std::size_t>(
        TheData.size(), static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))));
    if (TheData.empty()) {
        throw ZlibUsageError("an empty array cannot be decompressed");
    }
    CheckedLength(TheData.size());
    const std::int32_t bufferSize = BufferSize(OrigSize);
    ByteArray work;
    uLongf length = 0;
    const int status =
        Inflate(Stream().stream, Stream().ready, work, bufferSize, TheData.data(), TheData.size(), length);
    work.ShrinkTo(length);
    TheData = std::move(work);
    return status;
}

std::int32_t clsZlib::CompressString(std::string& TheString, std::int32_t CompressionLevel)
{
    const std::int64_t n = CheckedLength(TheString.size());
    SetOriginalSize(n);
    const std::int32_t bufferSize = BufferSize(static_cast<double>(n));
    ByteArray work;
    uLongf length = 0;
    const int status = Deflate(work, bufferSize, reinterpret_cast<const std::uint8_t*>(TheString.data()),
                               TheString.size(), CompressionLevel, length);
    TheString.assign(reinterpret_cast<const char*>(work.data()), length);
    SetCompressedSize(static_cast<std::int64_t>(length));
    return status;
}

std::int32_t clsZlib::DecompressString(std::string& TheString, std::int32_t OrigSize)
{
    SetOriginalSize(OrigSize);
    CheckedLength(TheString.size());
    const std::int32_t bufferSize = BufferSize(OrigSize);
    ByteArray work;
    uLongf length = 0;
    const int status =
        Inflate(Stream().stream, Stream().ready, work, bufferSize,
                reinterpret_cast<const std::uint8_t*>(TheString.data()), TheString.size(), length);
    TheString.assign(reinterpret_cast<const char*>(work.data()), length);
    // Unlike the array method, the compressed size records the decompressed length here.
    SetCompressedSize(static_cast<std::int64_t>(length));
    return status;
}

std::int32_t clsZlib::CompressFile(const std::string& FilePathIn, const std::string& FilePathOut,
                                   std::int32_t CompressionLevel)
{
    std::uint64_t length = 0;
    ByteArray bytes = ReadWholeFile(FilePathIn, length);
    if (length == 0) {
        throw ZlibUsageError("an empty file cannot be compressed: " + FilePathIn);
    }
    const std::int32_t status = CompressByteArray(bytes, CompressionLevel);
    const auto original = static_cast<std::uint32_t>(length);
    const std::uint8_t header[4] = {
        static_cast<std::uint8_t>(original), static_cast<std::uint8_t>(original >> 8),
        static_cast<std::uint8_t>(original >> 16), static_cast<std::uint8_t>(original >> 24)};
    WriteWholeFile(FilePathOut, header, sizeof header, bytes);
    return status;
}

std::int32_t clsZlib::DecompressFile(const std::string& FilePathIn, const std::string& FilePathOut)
{
    std::uint64_t length = 0;
    ByteArray whole = ReadWholeFile(FilePathIn, length);
    if (length < 5) {
        throw ZlibUsageError("a compressed file needs at least 5 bytes: " + FilePathIn);
    }
    const std::uint32_t original = LittleEndianAt<std::uint32_t>(whole.data());
    ByteArray bytes = ByteArray::FromBytes(whole.data() + 4, whole.size() - 4);
    whole.Clear();
    const std::int32_t status = DecompressByteArray(bytes, static_cast<std::int32_t>(original));
    WriteWholeFile(FilePathOut, nullptr, 0, bytes);
    return status;
}

} // namespace archive
