#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Archive strings are single-byte Windows-1252 text, kept as read. These
// conversions are used only at the edges: console output, host file names,
// the window's display.
namespace archive {

std::u32string Windows1252ToCodePoints(std::string_view bytes);
std::string Windows1252ToUtf8(std::string_view bytes);
std::wstring Windows1252ToWide(std::string_view bytes);
// For a terminal: every control character (below 32, 127, and the C1
// controls of the five unassigned bytes) as \xHH with its byte in hex, so a
// name can never move the cursor, recolour or retitle the terminal.
std::string Windows1252ToUtf8Escaped(std::string_view bytes);
// For a window's text: control characters as visible symbols (U+2400 to
// U+2421; U+FFFD for the C1 controls), never as line breaks or tabs.
std::u32string Windows1252ToVisibleCodePoints(std::string_view bytes);

// UTF-8 to Windows-1252; false when the text is not valid UTF-8 or holds a
// character Windows-1252 does not have.
bool Utf8ToWindows1252(std::string_view utf8, std::string& out);

// Host text (a path as UTF-8) as archive text: converted to Windows-1252 as
// the system's code-page conversion does on Windows, each character the code
// page lacks (and each byte that is not UTF-8) becoming "?". Used where a host
// path enters a field of archive text: the RBF root's text, log and debug lines.
std::string HostTextToWindows1252(std::string_view utf8);

// Log and debug text ends its lines in CR LF; the window and the console show
// them with LF alone: every CR LF pair becomes LF.
std::string LfLineEnds(std::string_view text);

// A host path given as UTF-8 (the console's and the POSIX file names' form).
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

} // namespace archive
