#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace archive {

// Maps an archive path ("\" or "/" between folders, Windows-1252 names) onto
// a host path relative to the output root: empty and "." components are
// dropped. Returns nothing for a path that must never be written: one with a
// ".." component or a NUL character (on Windows also a drive letter, a ":"
// inside a name, a reserved device name, or a name ending in a dot or a blank).
std::optional<std::filesystem::path> MapArchivePath(std::string_view archivePath);
// The same, as the host's text, for a caller that joins it to more:
// MapArchiveText of "a\\b" is MapArchiveText of "a", the separator, and
// MapArchiveText of "b" (either part left out where it is empty).
std::optional<std::filesystem::path::string_type> MapArchiveText(std::string_view archivePath);
// MapArchiveText of a folder's path, "\\" and `name`, from the folder's
// mapped text (nothing: the folder is unsafe): a row's folder is mapped once
// for all its files.
std::optional<std::filesystem::path::string_type>
MapArchiveTextIn(const std::optional<std::filesystem::path::string_type>& folder, std::string_view name);

// True when a name (Windows-1252, any extension) is one of the devices
// Windows reserves in every folder: CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM and LPT followed by a digit 0 to 9 or a superscript one, two or three.
// Checked on every host; only Windows refuses such names.
bool IsWindowsDeviceName(std::string_view name);

// True when the path's last component is empty or ".": the path names a
// folder (the output root itself when it is empty), never a file.
bool NamesAFolder(std::string_view archivePath);

} // namespace archive
