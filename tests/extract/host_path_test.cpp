#include "extract/host_path.h"

#include <gtest/gtest.h>

using archive::MapArchivePath;

TEST(MapArchivePath, SplitsOnBothSeparatorsAndDropsEmptyParts)
{
    EXPECT_EQ(MapArchivePath("maps\\town\\plan.dat"), std::filesystem::path("maps/town/plan.dat"));
    EXPECT_EQ(MapArchivePath("a/b\\\\c"), std::filesystem::path("a/b/c"));
    EXPECT_EQ(MapArchivePath(".\\x"), std::filesystem::path("x"));
    EXPECT_EQ(MapArchivePath("\\x"), std::filesystem::path("x"));
    EXPECT_EQ(MapArchivePath("/etc/x"), std::filesystem::path("etc/x"));
    EXPECT_EQ(MapArchivePath(""), std::filesystem::path());
    EXPECT_EQ(MapArchivePath("\xE9t\xE9")->string(), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(MapArchivePath("...")->string(), "...");
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
