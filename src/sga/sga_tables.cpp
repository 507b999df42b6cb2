#include "sga/sga_tables.h"

namespace archive {

void SgaTables::SetDirName(int i, std::string path)
{
    firstDirNameIndex.try_emplace(path, static_cast<std::int16_t>(i));
    SgaDirNames[static_cast<std::size_t>(i)] = std::move(path);
    filledDirNames = i + 1;
}

std::int16_t FindDirectoryIndex(const SgaTables& tables, std::string_view name)
{
    const int last = tables.SgaDataHeader.NumDirectories - 2;
    if (last < 0) {
        return 0;
    }
    const auto found = tables.firstDirNameIndex.find(std::string(name));
    if (found != tables.firstDirNameIndex.end() && found->second <= last) {
        return found->second;
    }
    // Elements not filled yet are still empty: the first of them matches "".
    if (name.empty() && tables.filledDirNames <= last) {
        return static_cast<std::int16_t>(tables.filledDirNames);
    }
    return 0;
}

std::string StripNulls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        if (ch != '\0') {
            out += ch;
        }
    }
    return out;
}

} // namespace archive
