#pragma once

#include <string>
#include <string_view>

namespace archive {

inline constexpr std::string_view kApplicationTitle = "Tavrin's SV1 / SV2 / MF Archive Tool";

// "major.minor.revision" as plain decimals.
std::string VersionText(int major, int minor, int revision);
// This build's version, set once in CMakeLists.txt.
std::string VersionText();
// The main window's title for a version.
std::string FormTitle(int major, int minor, int revision);
std::string FormTitle();

} // namespace archive
