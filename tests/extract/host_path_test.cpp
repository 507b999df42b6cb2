#include "extract/host_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using archive::IsWindowsDeviceName;
using archive::MapArchivePath;

namespace {
// The mapped path in "/" form and UTF-8, whatever the host.
std::string Mapped(std::string_view archivePath)
{
    const std::u8string text = MapArchivePath(archivePath)->generic_u8string();
    return std::string(text.begin(), text.end());
}
} // namespace

TEST(MapArchivePath, SplitsOnBothSeparatorsAndDropsEmptyParts)
{
    EXPECT_EQ(Mapped("maps\\town\\plan.dat"), "maps/town/plan.dat");
    EXPECT_EQ(Mapped("a/b\\\\c"), "a/b/c");
    EXPECT_EQ(Mapped(".\\x"), "x");
    EXPECT_EQ(Mapped("\\x"), "x");
    EXPECT_EQ(Mapped("/etc/x"), "etc/x");
    EXPECT_EQ(Mapped(""), "");
    // Names go from Windows-1252, never through the machine's own code page.
    EXPECT_EQ(Mapped("\xE9t\xE9 \x80"), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
#ifndef _WIN32
    EXPECT_EQ(Mapped("..."), "...");
#endif
}

TEST(MapArchivePath, RefusesWhatCouldLeaveTheRoot)
{
    EXPECT_FALSE(MapArchivePath(".."));
    EXPECT_FALSE(MapArchivePath("..\\..\\x"));
    EXPECT_FALSE(MapArchivePath("a\\..\\..\\x"));
    EXPECT_FALSE(MapArchivePath("a/../b"));
    EXPECT_FALSE(MapArchivePath(std::string("a\0b", 3)));
#ifdef _WIN32
    EXPECT_FALSE(MapArchivePath("C:\\x"));
    EXPECT_FALSE(MapArchivePath("a\\b:stream"));
    EXPECT_FALSE(MapArchivePath("con"));
    EXPECT_FALSE(MapArchivePath("x\\LPT1.txt"));
    EXPECT_FALSE(MapArchivePath("trailing."));
    EXPECT_FALSE(MapArchivePath("trailing "));
#endif
}

TEST(IsWindowsDeviceName, PortsWithZeroAndSuperscriptDigitsAreDevicesToo)
{
    for (const std::string_view name :
         {"COM0", "lpt0", "COM\xB9", "COM\xB2", "com\xB3.txt", "LPT\xB9", "LPT\xB2", "LPT\xB3", "COM9", "con",
          "Nul.tar.gz", "AUX  ", "CONOUT$"}) {
        EXPECT_TRUE(IsWindowsDeviceName(name)) << name;
    }
    for (const std::string_view name : {"COM", "COM10", "COM\xB4", "LPT\xBC", "CONSOLE", "xCOM1", "COM1x"}) {
        EXPECT_FALSE(IsWindowsDeviceName(name)) << name;
    }
#ifdef _WIN32
    EXPECT_FALSE(MapArchivePath("x\\COM0"));
    EXPECT_FALSE(MapArchivePath("LPT\xB2.log"));
#endif
}

// A row's folder is mapped once and each file's name joined to it: that must
// give what mapping the whole path gives, refusals included.
TEST(MapArchivePath, AFolderMappedOnceJoinsItsNamesAsTheWholePathMaps)
{
    const std::vector<std::string> folders = {"",      ".",  "maps",     "maps\\town",          "a/b",
                                              "\\x\\", "..", "a\\..\\b", std::string("n\0l", 3)};
    const std::vector<std::string> names = {"plan.dat", "",   ".",         "..",
                                            "x\\y",     "/z", "\xE9t\xE9", std::string("n\0l", 3)};
    for (const std::string& folder : folders) {
        for (const std::string& name : names) {
            const auto whole = archive::MapArchiveText(folder + "\\" + name);
            const auto joined = archive::MapArchiveTextIn(archive::MapArchiveText(folder), name);
            EXPECT_EQ(whole, joined) << "folder \"" << folder << "\", name \"" << name << "\"";
        }
    }
}
