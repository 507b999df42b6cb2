#include "sga/sga_node_key.h"

#include "window/number_text.h"

namespace archive {

namespace {

// A decimal number of at most nine digits, the whole of `text`.
std::optional<int> ReadNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// The directory part of a key: -1 for the root's "n-1".
std::optional<int> ReadDirectory(std::string_view key)
{
    if (key == kSgaRootKey) {
        return -1;
    }
    if (key.size() < 2 || key[0] != 'n') {
        return std::nullopt;
    }
    return ReadNumber(key.substr(1));
}

} // namespace

std::string SgaDirectoryKey(int i)
{
    return "n" + N(i);
}

std::string SgaFileKey(std::string_view directoryKey, int fileRow)
{
    return std::string(directoryKey) + "\\f" + N(fileRow);
}

std::optional<SgaNodeKey> ParseSgaNodeKey(std::string_view key)
{
    const std::size_t mark = key.find("\\f");
    const std::optional<int> directory = ReadDirectory(key.substr(0, mark));
    if (!directory) {
        return std::nullopt;
    }
    if (mark == std::string_view::npos) {
        return SgaNodeKey{*directory < 0 ? SgaNodeKey::Kind::Root : SgaNodeKey::Kind::Directory, *directory};
    }
    const std::optional<int> row = ReadNumber(key.substr(mark + 2));
    if (!row) {
        return std::nullopt;
    }
    return SgaNodeKey{SgaNodeKey::Kind::File, *directory, *row};
}

} // namespace archive
