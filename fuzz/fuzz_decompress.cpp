// DecompressByteArray and DecompressString with an arbitrary OrigSize: the
// first four bytes, the rest is the stream.
#include "compression/cls_zlib.h"
#include "fuzz_support.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace archive;
    if (size < 4) {
        return 0;
    }
    std::int32_t origSize = 0;
    std::memcpy(&origSize, data, 4);
    origSize = fuzz::FoldClaim(origSize);
    clsZlib zlib;
    try {
        // Exactly what uncompress gives into the computed buffer: status and bytes.
        const std::int32_t bufferSize = clsZlib::BufferSize(origSize);
        ByteArray reference(static_cast<std::size_t>(bufferSize) +
                            1); // calloc'd: untouched pages cost nothing
        uLongf length = static_cast<uLongf>(bufferSize);
        const int expected = uncompress(reference.data(), &length, data + 4, static_cast<uLong>(size - 4));
        reference.ShrinkTo(length);
        // Twice with the same object: the second inflate starts from the
        // state the first one left, whatever it was.
        for (int round = 0; round < 2; ++round) {
            ByteArray array = ByteArray::FromBytes(data + 4, size - 4);
            const std::int32_t status = zlib.DecompressByteArray(array, origSize);
            if (status != expected || array.AsText() != reference.AsText()) {
                std::abort();
            }
        }
    } catch (const ZlibUsageError&) {
    }
    std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
    try {
        zlib.DecompressString(text, origSize);
    } catch (const ZlibUsageError&) {
    }
    return 0;
}
