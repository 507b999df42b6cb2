#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Small readable descriptions of test archives, turned into bytes. Every
// field the tool reads can be set raw, so inconsistent archives are as easy
// to describe as sound ones.
namespace archive::testing {

struct SgaTocSpec {
    std::string alias = "Data";
    std::string startName = {};
    std::int16_t startDir = 0, endDir = 0, startFile = 0, endFile = 0, folderOffset = 0;
    // When set, the 64 alias bytes as stored (zero bytes inside allowed).
    std::optional<std::string> rawAlias = std::nullopt;
};

struct SgaDirSpec {
    std::string name; // row 0's name is always stored as the single skipped byte
    std::int16_t firstDir = 0, nextDir = 0, firstFile = 0, nextFile = 0;
    std::int32_t nameOffset = 0;
};

struct SgaFileSpec {
    std::string name = {};
    std::string content = {};
    bool compress = false;
    int level = 6;
    std::uint8_t spare = 0;
    std::int32_t nameOffset = 0;
    // Raw overrides of what the record says and what the data area holds.
    std::optional<std::int32_t> entryOffset = std::nullopt;
    std::optional<std::int32_t> storedSize = std::nullopt;
    std::optional<std::int32_t> expandedSize = std::nullopt;
    std::optional<std::string> storedBytes = std::nullopt;
};

struct SgaSpec {
    std::string identifier = "_ARCHIVE";
    std::int32_t version = 2;
    std::string archiveType; // up to 128 bytes, zero-padded
    std::int32_t dataHeaderSize = 24;
    std::optional<std::int32_t> dataOffset; // default: right after the names
    std::int32_t tocOffset = 24, directoryOffset = 0, fileOffset = 0, itemsOffset = 0;
    std::optional<std::int16_t> numTocs, numDirectories, numFiles, numItems;
    std::vector<SgaTocSpec> tocs = {SgaTocSpec{}};
    std::vector<SgaDirSpec> dirs;
    std::vector<SgaFileSpec> files;
    std::string afterNames; // bytes between the names and the data area
};

std::string BuildSga(const SgaSpec& recipe);

// A directory and its files, for SgaFromLayout.
struct SgaLayoutDir {
    std::string path; // "" for row 0
    std::vector<SgaFileSpec> files;
};
// Rows in the given order (the first must be the root, path ""); file rows
// are numbered in the same order; every row with a later row has FirstDir <
// NextDir for row 0 and FirstDir = NextDir otherwise.
SgaSpec SgaFromLayout(const std::vector<SgaLayoutDir>& dirs, std::string alias = "Data");

// The worked example: Data; art, art\tex, ui; a.txt; b.tga, c.tga; d.tga.
SgaSpec WorkedExampleSga();

struct RbfEntrySpec {
    std::string name = {}; // unscrambled
    std::int64_t crc = 0;
    std::int32_t compr = 0, uncompr = 0;
    std::optional<std::int32_t> nameSize = std::nullopt;
    std::optional<std::int32_t> offset = std::nullopt;
    std::optional<std::string> storedName = std::nullopt; // raw stored bytes instead of the scrambled name
    std::array<std::uint8_t, 8> tail{};
};

struct RbfSpec {
    std::string identifier = "RBF";
    std::string version = "1.23";
    std::optional<std::int32_t> records;
    std::int32_t sortFlag = 0;
    std::vector<RbfEntrySpec> entries;
};

// Names follow the table in entry order, except for entries whose offset is set.
std::string BuildRbf(const RbfSpec& recipe);
std::string ScrambleName(std::string_view name);

std::string ZlibCompress(std::string_view content, int level = 6);

// The two sample archives a newcomer can open at once: sample.sga (SGA, with a
// compressed file, nested folders and an empty one) and sample-sv1.big (RBF).
std::string ShippedSampleSga();
std::string ShippedSampleRbf();

// Writes bytes to a file (throws on failure).
void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

} // namespace archive::testing
