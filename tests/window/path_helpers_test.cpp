#include "platform/little_endian.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"
#include "window/path_helpers.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace archive::testing;

TEST(ReadZString, ReadsUpToTheZeroAndStopsAtTheEnd)
{
    TempDir dir;
    WriteBytes(dir.File("names"), std::string("\0abc\0de", 7));
    ArchiveFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir.File("names"), error));
    std::string name = "old";
    EXPECT_TRUE(ReadZString(file, name));
    EXPECT_EQ(name, "");
    EXPECT_EQ(file.Position(), 1u);
    EXPECT_TRUE(ReadZString(file, name));
    EXPECT_EQ(name, "abc");
    EXPECT_EQ(file.Position(), 5u);
    // No zero before the end: the bytes up to the end, and the reader says so.
    EXPECT_FALSE(ReadZString(file, name));
    EXPECT_EQ(name, "de");
    EXPECT_EQ(file.Position(), 7u);
    EXPECT_FALSE(ReadZString(file, name));
    EXPECT_EQ(name, "");
}

TEST(ArchiveFile, NeverReadsPastTheEnd)
{
    TempDir dir;
    WriteBytes(dir.File("f"), "0123456789");
    ArchiveFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir.File("f"), error));
    char buffer[16] = {};
    EXPECT_FALSE(file.Read(buffer, 11));
    EXPECT_EQ(file.Position(), 0u);
    EXPECT_TRUE(file.Seek(8));
    EXPECT_EQ(file.ReadSome(buffer, 16), 2u);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_FALSE(file.Seek(11));
    EXPECT_TRUE(file.Seek(6));
    EXPECT_TRUE(file.Read(buffer, 4));
    EXPECT_EQ(LittleEndianAt<std::int32_t>(reinterpret_cast<const std::uint8_t*>(buffer)), 0x39383736);
    EXPECT_FALSE(file.Read(buffer, 1));
    EXPECT_EQ(file.Position(), 10u);
    EXPECT_FALSE(file.Open(dir.File("missing"), error));
    EXPECT_FALSE(error.empty());
}

TEST(CountBackslashes, CountsEveryBackslash)
{
    EXPECT_EQ(CountBackslashes(""), 0);
    EXPECT_EQ(CountBackslashes("a/b"), 0);
    EXPECT_EQ(CountBackslashes("a\\\\b\\"), 3);
    EXPECT_EQ(CountBackslashes(std::string(32766, '\\')), 32766);
    EXPECT_THROW(CountBackslashes(std::string(32767, 'a')), PathTooLong);
}

TEST(ParentPath, CutsAtTheLastBackslashOnly)
{
    EXPECT_EQ(ParentPath("art\\tex\\d"), "art\\tex");
    EXPECT_EQ(ParentPath("art\\"), "art");
    EXPECT_EQ(ParentPath("\\x"), "");
    EXPECT_EQ(ParentPath("a\\\\b"), "a\\");
    EXPECT_THROW(ParentPath("a/b"), std::invalid_argument);
}
