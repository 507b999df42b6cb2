#pragma once

#include "compression/byte_array.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace archive {

// An input the class does not support (an empty array, a too short file, a
// work buffer beyond the signed 32-bit range). Raised before zlib is called.
class ZlibUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One-shot compression and decompression over zlib. Every method returns
// zlib's status unchanged (0 for success) and replaces the array or string
// it was given, also after a failure: it then holds the first bytes of the
// work buffer, as many as zlib reported back.
//
// When zlib reports a length of 0 (an empty original, or a failure before
// any output) the array methods leave an empty array: the true content, and
// what an extracted file then holds.
class clsZlib {
  public:
    std::int32_t CompressByteArray(ByteArray& TheData, std::int32_t CompressionLevel);
    std::int32_t CompressString(std::string& TheString, std::int32_t CompressionLevel);
    std::int32_t DecompressByteArray(ByteArray& TheData, std::int32_t OrigSize);
    std::int32_t DecompressString(std::string& TheString, std::int32_t OrigSize);
    std::int32_t CompressFile(const std::string& FilePathIn, const std::string& FilePathOut,
                              std::int32_t CompressionLevel);
    std::int32_t DecompressFile(const std::string& FilePathIn, const std::string& FilePathOut);

    std::int32_t CompressedSize() const { return compressedSize_; }
    std::int32_t OriginalSize() const { return originalSize_; }

    // n + 1 % + 12, rounded half to even; throws ZlibUsageError when the
    // result leaves the signed 32-bit range or is negative.
    static std::int32_t BufferSize(double n);

    // A zlib status in words, for the user: "data error: the stream is damaged".
    static std::string StatusText(std::int32_t status);

  private:
    // zlib's inflate state, kept from one entry to the next where that is
    // done (see cls_zlib.cpp): made once, reset for each stream.
    struct InflateState;
    struct EndInflate {
        void operator()(InflateState* state) const;
    };
    InflateState& Stream();

    void SetCompressedSize(std::int64_t value) { compressedSize_ = static_cast<std::int32_t>(value); }
    void SetOriginalSize(std::int64_t value) { originalSize_ = static_cast<std::int32_t>(value); }

    std::int32_t compressedSize_ = 0;
    std::int32_t originalSize_ = 0;
    std::unique_ptr<InflateState, EndInflate> inflate_;
};

} // namespace archive
