// DecompressByteArray and DecompressString with an arbitrary OrigSize: the
// first four bytes, the rest is the stream.
#include "compression/cls_zlib.h"

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
    // Claims beyond 256 MiB are checked by the tests; here they would only slow the search down.
    if (origSize > (1 << 28)) {
        origSize &= (1 << 28) - 1;
    }
    clsZlib zlib;
    ByteArray array = ByteArray::FromBytes(data + 4, size - 4);
    try {
        const std::int32_t status = zlib.DecompressByteArray(array, origSize);
        if (status > 0 ||
            (status == 0 && array.size() > static_cast<std::size_t>(clsZlib::BufferSize(origSize)))) {
            std::abort();
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
