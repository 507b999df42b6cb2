#pragma once

#include "platform/archive_file.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace archive {

// A path too long for the 16-bit character counter of CountBackslashes.
class PathTooLong : public std::overflow_error {
  public:
    using std::overflow_error::overflow_error;
};

// Reads a zero-terminated name at the file's position; the zero byte is
// consumed, not kept. When the file ends first, `name` holds the bytes up to
// the end and the result is false, so that a loader can stop there.
bool ReadZString(ArchiveFile& file, std::string& name);

// Number of "\" in a path. Throws PathTooLong for 32,767 characters or more.
std::int16_t CountBackslashes(std::string_view path);

// Everything before the last "\". Throws std::invalid_argument when the path
// holds none.
std::string ParentPath(std::string_view path);

// Everything after the last occurrence of `separator` (the whole text when it holds none).
std::string_view AfterLast(std::string_view text, char separator);

} // namespace archive
