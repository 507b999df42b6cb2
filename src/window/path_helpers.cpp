#include "window/path_helpers.h"

#include <algorithm>

namespace archive {

bool ReadZString(ArchiveFile& file, std::string& name)
{
    name.clear();
    std::uint8_t byte = 0;
    while (file.ReadByte(byte)) {
        if (byte == 0) {
            return true;
        }
        name += static_cast<char>(byte);
    }
    return false;
}

std::int16_t CountBackslashes(std::string_view path)
{
    if (path.size() >= 32767) {
        throw PathTooLong("a path of " + std::to_string(path.size()) +
                          " characters is too long (the limit is 32,766)");
    }
    return static_cast<std::int16_t>(std::count(path.begin(), path.end(), '\\'));
}

std::string ParentPath(std::string_view path)
{
    const std::size_t last = path.rfind('\\');
    if (last == std::string_view::npos) {
        throw std::invalid_argument("a path without \"\\\" has no parent path");
    }
    return std::string(path.substr(0, last));
}

std::string_view AfterLast(std::string_view text, char separator)
{
    const std::size_t last = text.rfind(separator);
    return last == std::string_view::npos ? text : text.substr(last + 1);
}

} // namespace archive
