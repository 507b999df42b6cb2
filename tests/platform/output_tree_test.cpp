// Files written ahead of their turn, and folders reached in one call.
#include "platform/output_tree.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

using namespace archive;
using namespace archive::testing;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.insert(item.path().filename().string());
    }
    return names;
}

std::string Content(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

// A prepared file shows under no name until it is written in turn; over an
// existing file, in place of a folder, or dropped, it leaves no temporary.
TEST(OutputTree, PreparedFilesAreNamedInTurnAndLeaveNothingBehind)
{
    TempDir dir;
    OutputTree out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.path(), error)) << error;
    ASSERT_EQ(out.Enter("a/b", error), OutputTree::Reach::Done) << error;
    const fs::path folder = dir.path() / "a" / "b";

    PreparedFile first = out.Prepare("hello", 5);
    {
        PreparedFile dropped = out.Prepare("never", 5);
    }
    EXPECT_TRUE(Names(folder).empty());
    const bool unnamed = first.Valid(); // where the system has unnamed files
    ASSERT_TRUE(out.WriteFile("x.txt", "hello", 5, error, &first)) << error;
    EXPECT_EQ(first.Valid(), unnamed); // named, and open until its owner closes it
    first.Close();
    EXPECT_EQ(Content(folder / "x.txt"), "hello");

    PreparedFile second = out.Prepare("newer", 5);
    ASSERT_TRUE(out.WriteFile("x.txt", "newer", 5, error, &second)) << error;
    EXPECT_EQ(Content(folder / "x.txt"), "newer");

    fs::create_directory(folder / "taken");
    PreparedFile third = out.Prepare("third", 5);
    EXPECT_FALSE(out.WriteFile("taken", "third", 5, error, &third));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(third.Valid()); // not named: closed, and gone with its descriptor
    EXPECT_EQ(Names(folder), (std::set<std::string>{"taken", "x.txt"}));
}

#ifndef _WIN32
// The one-call open of several folders refuses a link on the way as the
// name-at-a-time walk does, and creates nothing beyond it.
TEST(OutputTree, ALinkDeepOnTheWayIsRefused)
{
    TempDir dir;
    TempDir outside;
    fs::create_directories(dir.path() / "a" / "b");
    fs::create_directory_symlink(outside.path(), dir.path() / "a" / "b" / "link");
    OutputTree out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.path(), error)) << error;
    ASSERT_EQ(out.Enter("a/b", error), OutputTree::Reach::Done) << error;
    ASSERT_EQ(out.Enter("", error), OutputTree::Reach::Done) << error;
    EXPECT_EQ(out.Enter("a/b/link/c/d", error), OutputTree::Reach::Link);
    EXPECT_FALSE(out.Exists("a/b/link/c"));
    EXPECT_TRUE(Names(outside.path()).empty());
    // A folder swapped for a link after it was first reached.
    ASSERT_EQ(out.Enter("a/b/real/c", error), OutputTree::Reach::Done) << error;
    ASSERT_EQ(out.Enter("", error), OutputTree::Reach::Done) << error;
    fs::rename(dir.path() / "a" / "b" / "real", dir.path() / "a" / "b" / "moved");
    fs::create_directory_symlink(outside.path(), dir.path() / "a" / "b" / "real");
    EXPECT_EQ(out.Enter("a/b/real/c", error), OutputTree::Reach::Link);
    EXPECT_TRUE(Names(outside.path()).empty());
}
#endif
