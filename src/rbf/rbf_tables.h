#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace archive {

// The 15-byte header: Records begins at offset 7, right after the version text.
struct RbfHeaderRecord {
    std::string Identifier; // 3 characters
    std::string Version;    // 4 characters
    std::int32_t Records = 0;
    std::int32_t SortFlag = 0;
};

// One 32-byte record of the entry table, as stored.
struct RbfEntry {
    std::int64_t Crc = 0; // fixed point, four implied decimals
    std::int32_t NameSize = 0;
    std::int32_t ComprSize = 0;
    std::int32_t UncomprSize = 0;
    std::int32_t Offset = 0;
    std::array<std::uint8_t, 8> Unused{};
};

struct RbfTables {
    RbfHeaderRecord RbfHeader;
    std::vector<RbfEntry> RbfEntries;
    std::vector<std::string> RbfPaths;
    std::vector<std::string> RbfFileNames;
};

inline constexpr std::uint8_t kRbfNameSeed = 0xA7;

// Unscrambles a stored name: each character is the running XOR of the seed
// and the stored bytes up to it. A character that comes out as 0 stays.
std::string UnscrambleName(const std::uint8_t* stored, std::size_t size);

// The CRC column: the integer divided by 10,000 in decimal, the fraction only
// as far as it has significant digits.
std::string FormatCrc(std::int64_t crc, std::string_view decimalSeparator);

} // namespace archive
