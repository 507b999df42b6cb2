// The inflate fast path must give exactly what zlib alone gives: the same
// status, the same bytes, the same partial contents after a failure.
#include "compression/cls_zlib.h"
#include "support/archive_builders.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

using namespace archive;
using namespace archive::testing;

namespace {

// What DecompressByteArray gives with zlib alone.
std::pair<int, std::string> ZlibOnly(const std::string& stream, std::int32_t origSize)
{
    const std::int32_t bufferSize = clsZlib::BufferSize(origSize);
    std::string work(static_cast<std::size_t>(bufferSize) + 1, '\0');
    uLongf length = static_cast<uLongf>(bufferSize);
    const int status =
        uncompress(reinterpret_cast<Bytef*>(work.data()), &length,
                   reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()));
    work.resize(length);
    return {status, work};
}

std::string Content(std::mt19937& random, std::size_t size)
{
    std::string text(size, '\0');
    const int alphabet = 2 + static_cast<int>(random() % 250);
    for (char& c : text) {
        c = static_cast<char>(random() % static_cast<unsigned>(alphabet));
    }
    return text;
}

void ExpectSame(const std::string& stream, std::int32_t origSize, const std::string& what)
{
    clsZlib zlib;
    ByteArray data = ByteArray::FromString(stream);
    const int status = zlib.DecompressByteArray(data, origSize);
    const auto [expectedStatus, expectedBytes] = ZlibOnly(stream, origSize);
    ASSERT_EQ(status, expectedStatus) << what;
    ASSERT_EQ(data.AsText(), expectedBytes) << what;
}

} // namespace

TEST(InflateDifferential, ValidTruncatedAndCorruptedStreams)
{
    std::mt19937 random(1234);
    int cases = 0;
    for (int round = 0; round < 300; ++round) {
        const std::size_t size = random() % 3 == 0 ? random() % 64 : random() % 20000;
        const std::string content = Content(random, size);
        const std::string stream = ZlibCompress(content, static_cast<int>(random() % 10));
        const auto n = static_cast<std::int32_t>(size);
        for (const std::int32_t origSize : {n, n / 2, n + 100, n * 3, 0, n - 1}) {
            ExpectSame(stream, std::max(origSize, 0), "valid, round " + std::to_string(round));
            ++cases;
        }
        ExpectSame(stream + "trailing", n, "trailing bytes");
        for (int cut = 0; cut < 4; ++cut) {
            ExpectSame(stream.substr(0, 1 + random() % (stream.size() - 1)), n, "truncated");
            ++cases;
        }
        for (int flip = 0; flip < 8; ++flip) {
            std::string damaged = stream;
            damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
            ExpectSame(damaged, n, "corrupted, round " + std::to_string(round));
            ++cases;
        }
    }
    // Raw bytes that are no stream at all, and odd headers.
    for (int round = 0; round < 200; ++round) {
        std::string noise = Content(random, 1 + random() % 200);
        if (round % 2 == 0) {
            noise[0] = 0x78;
        }
        ExpectSame(noise, static_cast<std::int32_t>(random() % 1000), "noise");
        ++cases;
    }
    EXPECT_GT(cases, 4000);
}
