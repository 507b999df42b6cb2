#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace archive {

// The keys of the SGA catalogue's tree nodes, made and read in this one
// place: the root is "n-1"; directory row i + 1 is "n" and i; a file row f
// listed by a directory is that directory's key, "\f" and f. Numbers are
// decimal without sign, leading zeros or blanks.
inline constexpr std::string_view kSgaRootKey = "n-1";
std::string SgaDirectoryKey(int i);
std::string SgaFileKey(std::string_view directoryKey, int fileRow);

struct SgaNodeKey {
    enum class Kind { Root, Directory, File };
    Kind kind = Kind::Root;
    int directory = -1; // position in SgaDirNames of the node's directory; -1 for the archive root
    int fileRow = -1;   // for a file node
};

// Reads a key of one of those shapes; nothing for any other key.
std::optional<SgaNodeKey> ParseSgaNodeKey(std::string_view key);

} // namespace archive
