// Files written ahead of their turn, and folders reached in one call.
#include "platform/output_tree.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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

    PreparedFile first = out.Prepare("a/b", "hello", 5);
    {
        PreparedFile dropped = out.Prepare("a/b", "never", 5);
    }
    EXPECT_TRUE(Names(folder).empty());
    const bool unnamed = first.Valid(); // where the system has unnamed files
    ASSERT_TRUE(out.WriteFile("x.txt", "hello", 5, error, &first)) << error;
    EXPECT_EQ(first.Valid(), unnamed); // named, and open until its owner closes it
    first.Close();
    EXPECT_EQ(Content(folder / "x.txt"), "hello");

    PreparedFile second = out.Prepare("a/b", "newer", 5);
    ASSERT_TRUE(out.WriteFile("x.txt", "newer", 5, error, &second)) << error;
    EXPECT_EQ(Content(folder / "x.txt"), "newer");

    fs::create_directory(folder / "taken");
    PreparedFile third = out.Prepare("a/b", "third", 5);
    EXPECT_FALSE(out.WriteFile("taken", "third", 5, error, &third));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(third.Valid()); // not named: closed, and gone with its descriptor
    EXPECT_EQ(Names(folder), (std::set<std::string>{"taken", "x.txt"}));
}

#ifndef _WIN32
// An entry written ahead keeps its bytes only in its unnamed file. Where that
// file cannot be named (here: on another file system), the bytes are read
// back from it and written under the name all the same.
TEST(OutputTree, APreparedFileThatCannotBeNamedIsWrittenFromItsOwnBytes)
{
    TempDir disk;
    TempDir memory = TempDir::InMemory();
    struct stat a {};
    struct stat b {};
    if (stat(disk.path().c_str(), &a) != 0 || stat(memory.path().c_str(), &b) != 0 || a.st_dev == b.st_dev) {
        GTEST_SKIP() << "needs two file systems";
    }
    OutputTree from;
    OutputTree to;
    std::string error;
    ASSERT_TRUE(from.Open(memory.path(), error)) << error;
    ASSERT_TRUE(to.Open(disk.path(), error)) << error;
    PreparedFile prepared = from.Prepare({}, "kept only here", 14);
    if (!prepared.Valid()) {
        GTEST_SKIP() << "no unnamed files here";
    }
    EXPECT_EQ(prepared.Size(), 14u);
    ASSERT_TRUE(to.WriteFile("x.txt", nullptr, 14, error, &prepared)) << error;
    EXPECT_FALSE(prepared.Valid());
    EXPECT_EQ(Content(disk.path() / "x.txt"), "kept only here");
    EXPECT_EQ(Names(disk.path()), (std::set<std::string>{"x.txt"}));
    EXPECT_TRUE(Names(memory.path()).empty());
}
#endif

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

// Folders the folder pass made are kept open for their files: a folder
// entered again after its files (closed by then) is walked to again, and a
// kept folder swapped for a link meanwhile takes its files where it went,
// never through the link.
TEST(OutputTree, FoldersKeptFromTheFolderPassServeTheirFilesOnly)
{
    TempDir dir;
    TempDir outside;
    OutputTree out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.path(), error)) << error;
    {
        OutputTree::FolderPass pass(out);
        for (const char* folder : {"a", "a/b", "c", "d"}) {
            ASSERT_EQ(out.MakeFolder(folder), OutputTree::Make::Made) << folder;
        }
        EXPECT_EQ(out.MakeFolder("a/b"), OutputTree::Make::Existed);
    }
    fs::rename(dir.path() / "d", dir.path() / "moved");
    fs::create_directory_symlink(outside.path(), dir.path() / "d");
    int written = 0;
    for (const char* folder : {"a/b", "c", "a/b", "d"}) {
        ASSERT_EQ(out.Enter(folder, error), OutputTree::Reach::Done) << folder << ": " << error;
        ASSERT_TRUE(out.WriteFile(std::to_string(++written) + ".txt", "x", 1, error)) << error;
    }
    EXPECT_EQ(Names(dir.path() / "a" / "b").size(), 2u);
    EXPECT_EQ(Names(dir.path() / "c").size(), 1u);
    EXPECT_EQ(Names(dir.path() / "moved").size(), 1u);
    EXPECT_TRUE(Names(outside.path()).empty());
    EXPECT_EQ(out.Enter("d", error), OutputTree::Reach::Done); // kept until left
    EXPECT_EQ(out.Enter("c", error), OutputTree::Reach::Done);
    EXPECT_EQ(out.Enter("d", error), OutputTree::Reach::Link); // walked to now
}

// A file written ahead is made in the folder it will be named in, so it
// takes that folder's group (a setgid folder) and default ACL, as a file
// made there by name does; never the output root's.
TEST(OutputTree, PreparedFilesTakeTheirFoldersGroup)
{
    gid_t other = 0;
    if (geteuid() == 0) {
        other = 4242;
    } else {
        std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
        groups.resize(
            static_cast<std::size_t>(std::max(getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
        const auto found = std::find_if(groups.begin(), groups.end(), [](gid_t g) { return g != getegid(); });
        if (found == groups.end()) {
            GTEST_SKIP() << "no second group to give a folder";
        }
        other = *found;
    }
    TempDir dir;
    const fs::path shared = dir.path() / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(chown(shared.c_str(), static_cast<uid_t>(-1), other), 0);
    ASSERT_EQ(chmod(shared.c_str(), 02775), 0);
    OutputTree out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.path(), error)) << error;
    PreparedFile file = out.Prepare("shared", "grouped", 7);
    ASSERT_TRUE(file.Valid());
    ASSERT_EQ(out.Enter("shared", error), OutputTree::Reach::Done) << error;
    ASSERT_TRUE(out.WriteFile("f.txt", "grouped", 7, error, &file)) << error;
    struct stat info {};
    ASSERT_EQ(stat((shared / "f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_gid, other);
    EXPECT_EQ(Content(shared / "f.txt"), "grouped");
}

// Files are written ahead only in folders that are there, reached without a
// link: through a link nothing is prepared (the writer meets the link in
// turn and refuses it). While a folder pass runs, a file waits for its
// folder to be made; once the pass ends, nothing waits.
TEST(OutputTree, FilesWrittenAheadWaitForTheFolderPassAlone)
{
    TempDir dir;
    TempDir outside;
    fs::create_directory_symlink(outside.path(), dir.path() / "link");
    OutputTree out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.path(), error)) << error;
    EXPECT_FALSE(out.Prepare("link", "nope", 4).Valid());
    EXPECT_FALSE(out.Prepare("link/deeper", "nope", 4).Valid());
    EXPECT_FALSE(out.Prepare("missing", "nope", 4).Valid()); // no pass: not waited for
    EXPECT_TRUE(Names(outside.path()).empty());

    OutputTree::FolderPass pass(out);
    auto late = std::async(std::launch::async, [&out] { return out.Prepare("late/inner", "late", 4); });
    auto never = std::async(std::launch::async, [&out] { return out.Prepare("never", "gone", 4); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(out.MakeFolder("late"), OutputTree::Make::Made);
    EXPECT_EQ(out.MakeFolder("late/inner"), OutputTree::Make::Made);
    pass.End();
    PreparedFile made = late.get();
    EXPECT_TRUE(made.Valid());
    EXPECT_FALSE(never.get().Valid());
    ASSERT_EQ(out.Enter("late/inner", error), OutputTree::Reach::Done) << error;
    ASSERT_TRUE(out.WriteFile("f", "late", 4, error, &made)) << error;
    EXPECT_EQ(Content(dir.path() / "late" / "inner" / "f"), "late");
}
#endif
