#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace archive {

// The 180-byte header at offset 0.
struct SgaHeaderRecord {
    std::string Identifier; // 8 characters
    std::int32_t Version = 0;
    std::array<std::uint8_t, 16> Opaque1{};
    std::string ArchiveType; // 128 characters, NULs kept
    std::array<std::uint8_t, 16> Opaque2{};
    std::int32_t DataHeaderSize = 0;
    std::int32_t DataOffset = 0;
};

// The 24-byte data header at offset 180: each 16-bit count is followed
// directly by the next 32-bit offset.
struct SgaDataHeaderRecord {
    std::int32_t TocOffset = 0;
    std::int16_t NumTocs = 0;
    std::int32_t DirectoryOffset = 0;
    std::int16_t NumDirectories = 0;
    std::int32_t FileOffset = 0;
    std::int16_t NumFiles = 0;
    std::int32_t ItemsOffset = 0;
    std::int16_t NumItems = 0;
};

struct SgaToc {
    std::string Alias;
    std::string StartName;
    std::int16_t StartDir = 0;
    std::int16_t EndDir = 0;
    std::int16_t StartFile = 0;
    std::int16_t EndFile = 0;
    std::int16_t FolderOffset = 0;
};

struct SgaDirectory {
    std::int32_t NameOffset = 0;
    std::int16_t FirstDir = 0;
    std::int16_t NextDir = 0;
    std::int16_t FirstFile = 0;
    std::int16_t NextFile = 0;
};

struct SgaFile {
    std::int32_t NameOffset = 0;
    std::uint8_t SpareByte = 0;
    std::int32_t EntryOffset = 0;
    std::int32_t StoredSize = 0;
    std::int32_t ExpandedSize = 0;
    std::string Path; // set when the file's tree node is made
};

// The SGA tables a load fills and the extract commands read.
struct SgaTables {
    SgaHeaderRecord SgaHeader;
    SgaDataHeaderRecord SgaDataHeader;
    // Indices 1 to NumTocs; element 0 is unused.
    std::vector<SgaToc> SgaTocs;
    // Indices 0 to NumDirectories (the last element is never filled).
    std::vector<SgaDirectory> SgaDirectories;
    // Indices 0 to NumFiles (the last element is never filled).
    std::vector<SgaFile> SgaFiles;
    // Element i is the path of directory row i + 1; indices 0 to NumDirectories.
    std::vector<std::string> SgaDirNames;
    std::vector<std::string> SgaFileNames;

    // The first index of each directory path filled so far, so that
    // FindDirectoryIndex costs one hash lookup.
    std::unordered_map<std::string, std::int16_t> firstDirNameIndex;
    int filledDirNames = 0;

    bool HasToc(int t) const { return t >= 1 && static_cast<std::size_t>(t) < SgaTocs.size(); }
    // Records the path of directory row i + 1 (rows are filled in order).
    void SetDirName(int i, std::string path);
};

// Index of the first element among 0 to NumDirectories - 2 of SgaDirNames
// that equals `name`, counting the elements not filled yet (still empty); 0
// when none does.
std::int16_t FindDirectoryIndex(const SgaTables& tables, std::string_view name);

// The text without its NUL characters.
std::string StripNulls(std::string_view text);

} // namespace archive
