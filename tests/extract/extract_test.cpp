#include "extract/extract.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace archive;
using namespace archive::testing;

namespace {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

std::string Content(std::size_t size, char seed)
{
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += static_cast<char>(seed + static_cast<char>(i % 7));
        if (i % 13 == 0) {
            text += " block ";
        }
    }
    text.resize(size);
    return text;
}

// The log lines appended since `from`.
Lines LinesSince(const MemoryWidgets& widgets, std::size_t from)
{
    const Lines all = widgets.LogLines();
    return Lines(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

SgaSpec MixedArchive(const std::string& alias = "Data")
{
    return SgaFromLayout(
        {{"", {{.name = "root.txt", .content = Content(300, 'a'), .compress = true}}},
         {"maps", {{.name = "stored.bin", .content = Content(100, 'k')}}},
         {"maps\\town", {{.name = "plan.dat", .content = Content(5000, 'p'), .compress = true}}},
         {"empty", {}}},
        alias);
}

} // namespace

TEST(ExtractAll, WritesEveryFileFoldersFirst)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedArchive()), "test.sga", true), LoadOutcome::Loaded);
    const std::size_t before = w.widgets.LogLines().size();
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(report.failed, 0);
    const fs::path data = w.dir.path() / "data";
    EXPECT_EQ(ReadBytes((data / "root.txt").string()), Content(300, 'a'));
    EXPECT_EQ(ReadBytes((data / "maps/stored.bin").string()), Content(100, 'k'));
    EXPECT_EQ(ReadBytes((data / "maps/town/plan.dat").string()), Content(5000, 'p'));
    EXPECT_TRUE(fs::is_directory(data / "empty"));
    EXPECT_EQ(
        LinesSince(w.widgets, before),
        (Lines{"Creating directory: .\\data", "Creating directory: maps", "Creating directory: maps\\town",
               "Creating directory: empty", "", "Starting file extract...", "...Extract finished"}));
    const Lines debug = w.DebugLines("test.sga", ".debug.extract.txt");
    ASSERT_EQ(debug.size(), 3u);
    const std::int32_t dataOffset = w.frm.Sga.SgaHeader.DataOffset;
    EXPECT_EQ(debug[0], std::to_string(dataOffset) + ": .\\root.txt");
    EXPECT_EQ(debug[2].substr(debug[2].find(':')), ": .\\maps\\town\\plan.dat");
    EXPECT_EQ(w.widgets.statusText, w.frm.ArchivePath);
    EXPECT_EQ(w.widgets.progressMaximum, 3);
    EXPECT_EQ(w.widgets.progressValue, 3);
    EXPECT_FALSE(w.frm.Extracting);
    // No temporary file is left behind.
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    }

    // A second run gives the same files, creates nothing and replaces the debug file.
    w.widgets.log.clear();
    EXPECT_EQ(ExtractAll(w.frm).written, 3);
    EXPECT_EQ(w.widgets.LogLines(), (Lines{"", "Starting file extract...", "...Extract finished"}));
    EXPECT_EQ(w.DebugLines("test.sga", ".debug.extract.txt").size(), 3u);
}

TEST(ExtractAll, AliasDecidesTheOutputRoot)
{
    for (const std::string alias : {"Data", "data", "DATA"}) {
        TestWindow w;
        ASSERT_EQ(w.Open(BuildSga(MixedArchive(alias))), LoadOutcome::Loaded);
        ExtractAll(w.frm);
        EXPECT_TRUE(fs::exists(w.dir.path() / "data/root.txt")) << alias;
    }
    TestWindow bonus;
    ASSERT_EQ(bonus.Open(BuildSga(MixedArchive("Bonus"))), LoadOutcome::Loaded);
    ExtractAll(bonus.frm);
    EXPECT_TRUE(fs::exists(bonus.dir.path() / "data/Bonus/maps/town/plan.dat"));
    EXPECT_EQ(bonus.widgets.LogLines()[21], "Creating directory: .\\data");
    EXPECT_EQ(bonus.widgets.LogLines()[22], "Creating directory: .\\data\\Bonus");

    TestWindow empty;
    ASSERT_EQ(empty.Open(BuildSga(MixedArchive(""))), LoadOutcome::Loaded);
    ExtractAll(empty.frm);
    EXPECT_TRUE(fs::exists(empty.dir.path() / "data/root.txt"));
}

TEST(ExtractAll, DecompressionFailuresAreLoggedAndTheFileStillWritten)
{
    // Files of row 0 without subdirectories: a failure line before and after the write.
    SgaSpec recipe = SgaFromLayout(
        {{"",
          {{.name = "bad.bin", .content = "x", .storedBytes = "not zlib at all"},
           {.name = "short.bin", .content = Content(200, 'q'), .compress = true, .expandedSize = 100},
           {.name = "fine.txt", .content = "fine"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe), "test.sga", true), LoadOutcome::Loaded);
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.written, 1); // a damaged entry counts as failed, never as written too
    EXPECT_EQ(report.failed, 2);
    const Lines debug = w.DebugLines("test.sga", ".debug.extract.txt");
    const std::string offset = std::to_string(w.frm.Sga.SgaHeader.DataOffset);
    ASSERT_EQ(debug.size(), 7u);
    EXPECT_EQ(debug[0], offset + ": .\\bad.bin");
    EXPECT_EQ(debug[1], "Error: -3, Extract of 0 bad.bin Failed");
    EXPECT_EQ(debug[2], "Error: -3, Extract of 0 bad.bin Failed");
    EXPECT_EQ(debug[4], "Error: -5, Extract of 1 short.bin Failed");
    EXPECT_EQ(debug[5], "Error: -5, Extract of 1 short.bin Failed");
    EXPECT_EQ(report.failedEntries, (Lines{"bad.bin", "short.bin"}));

    // The log box says so too, with the debug switch off: the entry, zlib's status in words and digits.
    TestWindow quiet;
    ASSERT_EQ(quiet.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    ExtractAll(quiet.frm);
    const Lines log = quiet.widgets.LogLines();
    const Lines expected = {
        "Error: bad.bin failed to inflate: zlib status -3, data error: the stream is damaged; written as far "
        "as it inflated (0 bytes)",
        "Error: short.bin failed to inflate: zlib status -5, buffer error: the stream is cut short or "
        "inflates to more than the expanded size; written as far as it inflated (113 bytes)"};
    EXPECT_EQ(Lines(log.end() - 4, log.end() - 2), expected);
    EXPECT_EQ(log.back(), "1 file written, 2 failed");
    EXPECT_EQ(debug[6].substr(debug[6].find(':')), ": .\\fine.txt");
    EXPECT_EQ(ReadBytes(w.dir.File("data/bad.bin")), "");
    EXPECT_EQ(ReadBytes(w.dir.File("data/short.bin")), Content(200, 'q').substr(0, 113));

    // In a directory with subdirectories the line comes once.
    SgaSpec b = SgaFromLayout(
        {{"", {}}, {"d", {{.name = "bad", .content = "x", .storedBytes = "zz"}}}, {"d\\e", {}}});
    b.dirs[1].firstDir = 2;
    b.dirs[1].nextDir = 3;
    TestWindow wb;
    ASSERT_EQ(wb.Open(BuildSga(b), "test.sga", true), LoadOutcome::Loaded);
    ExtractAll(wb.frm);
    EXPECT_EQ(wb.DebugLines("test.sga", ".debug.extract.txt").size(), 2u);
}

TEST(ExtractAll, PlacementCasesAndSkippedRows)
{
    SgaSpec recipe = SgaFromLayout({{"", {{.name = "r"}}},
                                    {"dot-dir", {{.name = "dot"}}},
                                    {"c", {{.name = "in-c"}}},
                                    {"skipped", {{.name = "never"}}}});
    recipe.dirs[3].firstDir = 2; // FirstDir > NextDir: nothing written
    recipe.dirs[3].nextDir = 1;
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    // A directory named "." writes into the output root; the walk works from the tables alone.
    w.frm.Sga.SgaDirNames[0] = ".";
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.written, 3);
    EXPECT_TRUE(fs::exists(w.dir.path() / "data/r"));
    EXPECT_TRUE(fs::exists(w.dir.path() / "data/dot"));
    EXPECT_TRUE(fs::exists(w.dir.path() / "data/c/in-c"));
    EXPECT_FALSE(fs::exists(w.dir.path() / "data/skipped/never"));
}

TEST(ExtractAll, UnsafePathsAreSkippedAndTheRestExtracted)
{
    SgaSpec recipe =
        SgaFromLayout({{"", {{.name = "..\\..\\escaped"}, {.name = "ok.txt", .content = "ok"}}},
                       {"..", {{.name = "up"}}},
                       {"a\\..\\..\\x", {}},
                       {"fine", {{.name = std::string("nul\0name", 8)}, {.name = "b", .content = "b"}}}});
    recipe.files[3].name = "nul"; // names end at zero bytes: the NUL is put into the table below
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    w.frm.Sga.SgaFileNames[3] = std::string("nul\0x", 5);
    const std::size_t before = w.widgets.LogLines().size();
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(report.failed, 5);
    const Lines log = LinesSince(w.widgets, before);
    EXPECT_NE(std::find(log.begin(), log.end(), "Skipped unsafe path: .."), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Skipped unsafe path: a\\..\\..\\x"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Skipped unsafe path: ..\\..\\escaped"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Skipped unsafe path: ..\\up"), log.end());
    EXPECT_EQ(ReadBytes(w.dir.File("data/ok.txt")), "ok");
    EXPECT_EQ(ReadBytes(w.dir.File("data/fine/b")), "b");
    // Nothing appeared beside the output root.
    Lines outside;
    for (const auto& entry : fs::directory_iterator(w.dir.path())) {
        outside.push_back(entry.path().filename().string());
    }
    std::sort(outside.begin(), outside.end());
    EXPECT_EQ(outside, (Lines{"data", "test.sga"}));
}

TEST(ExtractAll, FileSystemFailuresAreReportedAndTheWalkGoesOn)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedArchive())), LoadOutcome::Loaded);
    fs::create_directories(w.dir.path() / "data");
    WriteBytes(w.dir.File("data/maps"), "a file where a folder belongs");
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.written, 1);
    EXPECT_EQ(report.failed, 3);
    EXPECT_EQ(ReadBytes(w.dir.File("data/root.txt")), Content(300, 'a'));
    const Lines log = w.widgets.LogLines();
    const auto errors = std::count_if(log.begin(), log.end(),
                                      [](const std::string& l) { return l.rfind("Error: ", 0) == 0; });
    EXPECT_EQ(errors, 3); // maps\town cannot be made; two files cannot be written
    // The last line of the command, then the count, which the status text shows too.
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"...Extract finished", "1 file written, 3 failed"}));
    EXPECT_EQ(w.widgets.statusText, "1 file written, 3 failed");

    // An archive that can no longer be opened.
    fs::remove(w.frm.ArchivePath);
    EXPECT_EQ(ExtractAll(w.frm).failed, 1);
    EXPECT_EQ(w.widgets.LogLines().back().rfind("Error: cannot open the archive ", 0), 0u);
}

TEST(ExtractAll, EntriesPastTheEndAndHugeClaims)
{
    SgaSpec recipe = SgaFromLayout(
        {{"",
          {{.name = "cut.bin", .content = "0123456789", .storedSize = 1000, .expandedSize = 1000},
           {.name = "huge.bin", .content = "x", .compress = true, .expandedSize = 2147483647},
           {.name = "claims.bin", .content = "y", .compress = true, .expandedSize = 2000000000}}}});
    recipe.files[0].storedBytes = "0123456789";
    recipe.files[0].entryOffset = 0;
    TestWindow w;
    const std::string bytes = BuildSga(recipe);
    ASSERT_EQ(w.Open(bytes), LoadOutcome::Loaded);
    w.frm.Sga.SgaFiles[0].EntryOffset =
        static_cast<std::int32_t>(bytes.size()) - w.frm.Sga.SgaHeader.DataOffset - 4;
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.failed, 3) << w.widgets.log; // claims.bin gives 1 of 2,000,000,000 bytes
    EXPECT_EQ(report.written, 0);
    EXPECT_EQ(ReadBytes(w.dir.File("data/cut.bin")).size(), 4u); // only the bytes the file holds
    EXPECT_FALSE(fs::exists(w.dir.path() / "data/huge.bin"));    // refused: nothing to write
    const Lines log = w.widgets.LogLines();
    EXPECT_NE(
        std::find(log.begin(), log.end(),
                  "Error: cut.bin runs past the end of the archive: 4 of 1000 bytes read; written as far "
                  "as it was read (4 bytes)"),
        log.end());
    EXPECT_NE(std::find_if(log.begin(), log.end(),
                           [](const std::string& l) {
                               return l.rfind("Error: huge.bin cannot be decompressed: ", 0) == 0;
                           }),
              log.end());
    // A 2 GB claim with a tiny stream costs only what it inflates to.
    EXPECT_EQ(ReadBytes(w.dir.File("data/claims.bin")), "y");
}

TEST(ExtractSelected, ExampleLogForAFileInAFolder)
{
    SgaSpec recipe = MixedArchive();
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe), "test.sga", true), LoadOutcome::Loaded);
    const std::size_t before = w.widgets.LogLines().size();
    const int node = w.frm.tree().IndexOfKey("n1\\f2");
    ASSERT_NE(node, 0);
    const ExtractReport report = ExtractSelected(w.frm, node);
    EXPECT_EQ(report.written, 1);
    const std::int64_t position = w.frm.Sga.SgaHeader.DataOffset + w.frm.Sga.SgaFiles[2].EntryOffset;
    EXPECT_EQ(LinesSince(w.widgets, before),
              (Lines{"Extracting: plan.dat", "Creating directory: .\\data",
                     "Creating directory: .\\data\\maps", "Creating directory: .\\data\\maps\\town",
                     std::to_string(position) + ": maps\\town\\plan.dat"}));
    EXPECT_EQ(ReadBytes(w.dir.File("data/maps/town/plan.dat")), Content(5000, 'p'));

    // Again: folders exist, the file is replaced.
    const std::size_t again = w.widgets.LogLines().size();
    ExtractSelected(w.frm, node);
    EXPECT_EQ(LinesSince(w.widgets, again).size(), 2u);
}

TEST(ExtractSelected, RootFilesDirectoriesAndReplacement)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedArchive("Bonus"))), LoadOutcome::Loaded);
    fs::create_directories(w.dir.path() / "data/Bonus");
    WriteBytes(w.dir.File("data/Bonus/root.txt"), std::string(10000, 'z'));
    const std::size_t before = w.widgets.LogLines().size();
    ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n-1\\f0"));
    EXPECT_EQ(ReadBytes(w.dir.File("data/Bonus/root.txt")), Content(300, 'a'));
    EXPECT_EQ(LinesSince(w.widgets, before).size(), 2u);

    const std::size_t dirs = w.widgets.LogLines().size();
    ExtractSelected(w.frm, 1); // the root
    ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n0"));
    ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n2")); // empty directory
    EXPECT_EQ(LinesSince(w.widgets, dirs),
              (Lines{"Cannot extract directory", "Cannot extract directory", "Extracting: empty"}));
    EXPECT_FALSE(fs::exists(w.dir.path() / "data/Bonus/maps"));

    ExtractSelected(w.frm, 0);
    EXPECT_EQ(w.widgets.LogLines().back(), "No file is selected: choose a file in the tree first");
}

TEST(ExtractSelected, SamePathTwiceTakesTheLowerRowAndFailuresGoToTheDebugFile)
{
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "twin", .content = "first"},
                                      {.name = "twin", .content = "second"},
                                      {.name = "bad", .content = "x", .storedBytes = "broken"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n-1\\f1"));
    EXPECT_EQ(ReadBytes(w.dir.File("data/twin")), "first");

    // The failure line is meant for a debug file; with none open it is dropped, and the file is still
    // written.
    w.frm.DebugToFile = true;
    const ExtractReport report = ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n-1\\f2"));
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(report.failedEntries, Lines{"bad"});
    EXPECT_EQ(
        w.widgets.LogLines().back().rfind("Error: bad failed to inflate: zlib status -3, data error", 0), 0u);
    EXPECT_EQ(ReadBytes(w.dir.File("data/bad")), "");
}

// An empty name is no unsafe path: matching nothing it writes nothing; matching a row it
// names a folder, which cannot be written as a file. An unsafe name is refused after the
// sound folders before it are made.
TEST(ExtractSelected, EmptyAndUnsafeNames)
{
    SgaSpec recipe =
        SgaFromLayout({{"", {{.name = "r.txt", .content = "root"}}},
                       {"sub", {{.name = "", .content = "in sub"}, {.name = "..", .content = "up"}}}},
                      "");
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const std::size_t before = w.widgets.LogLines().size();
    ExtractReport report = ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n-1")); // the root, alias ""
    EXPECT_EQ(report.failed, 0);
    report = ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n0\\f1"));
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(report.failedEntries, Lines{"sub\\"});
    const std::string position =
        std::to_string(w.frm.Sga.SgaHeader.DataOffset + w.frm.Sga.SgaFiles[1].EntryOffset);
    EXPECT_EQ(LinesSince(w.widgets, before),
              (Lines{"Cannot extract directory", "Creating directory: .\\data",
                     "Extracting: ", "Creating directory: .\\data\\\\sub", position + ": sub\\",
                     "Error: sub\\ has no file name: a folder cannot be written as a file"}));
    EXPECT_TRUE(fs::is_directory(w.dir.path() / "data/sub"));

    fs::remove_all(w.dir.path() / "data");
    report = ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n0\\f2"));
    EXPECT_EQ(report.failedEntries, Lines{"sub\\.."});
    EXPECT_EQ(w.widgets.LogLines().back(), "Skipped unsafe path: sub\\..");
    EXPECT_TRUE(fs::is_directory(w.dir.path() / "data/sub")); // made before the name was refused
}

// The catalogue and its file travel together: after an open that was rejected or
// stopped, neither command applies the earlier catalogue to the new file's bytes.
TEST(ExtractCommands, RefuseACatalogueThatIsNotTheFilesOwn)
{
    RbfSpec badRbf;
    badRbf.records = 0; // the load stops at the entry table
    for (const std::string& next : {std::string("just some text"), BuildRbf(badRbf)}) {
        TestWindow w;
        ASSERT_EQ(w.Open(BuildSga(MixedArchive())), LoadOutcome::Loaded);
        EXPECT_TRUE(w.widgets.buttons[5] && w.widgets.buttons[6]);
        EXPECT_NE(w.Open(next, "next.big"), LoadOutcome::Loaded);
        EXPECT_FALSE(w.widgets.buttons[5] || w.widgets.buttons[6]);
        EXPECT_EQ(w.widgets.statusText.rfind(next[0] == 'j' ? "" : "Load failed: ", 0), 0u);
        const ExtractReport all = ExtractAll(w.frm);
        const ExtractReport one = ExtractSelected(w.frm, 1);
        EXPECT_EQ(all.written + one.written, 0);
        EXPECT_EQ(all.failed + one.failed, 2);
        EXPECT_EQ(w.widgets.LogLines().back(), "Error: no SGA archive is loaded: open one first");
        EXPECT_FALSE(fs::exists(w.dir.path() / "data"));
    }

    // A file that cannot be opened at all changes nothing: the catalogue stays usable.
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedArchive())), LoadOutcome::Loaded);
    EXPECT_EQ(OpenChosenFile(w.frm, w.dir.File("missing.sga")), LoadOutcome::CannotOpen);
    EXPECT_EQ(w.frm.ArchivePath, w.dir.File("test.sga"));
    EXPECT_EQ(ExtractAll(w.frm).written, 3);

    // An RBF catalogue is browsed, never extracted.
    RbfSpec rbf;
    rbf.entries = {{.name = "x.txt"}};
    ASSERT_EQ(w.Open(BuildRbf(rbf), "r.big"), LoadOutcome::Loaded);
    EXPECT_EQ(ExtractAll(w.frm).written, 0);
    EXPECT_EQ(w.widgets.LogLines().back(), "Error: the files of an RBF archive cannot be extracted");
}

// One rule in every command: a damaged entry is written as far as it went only
// where no file of its name is; a good file of that name is kept, and a refused
// entry writes nothing at all.
TEST(ExtractCommands, ADamagedEntryNeverReplacesAGoodFile)
{
    const std::string good = "good 13 bytes";
    SgaSpec recipe = SgaFromLayout(
        {{"",
          {{.name = "bad.bin", .content = "x", .storedBytes = "not zlib at all"},
           {.name = "short.bin", .content = Content(200, 'q'), .compress = true, .expandedSize = 100},
           {.name = "less.bin", .content = Content(96, 'l'), .compress = true, .expandedSize = 5000},
           {.name = "huge.bin", .content = "x", .compress = true, .expandedSize = 2147483647},
           {.name = "empty.bin", .content = "", .storedSize = 0, .expandedSize = 13, .storedBytes = ""},
           {.name = "minus.bin", .content = "", .storedSize = -1, .expandedSize = -1, .storedBytes = ""},
           {.name = "fine.txt", .content = "fine"}}}});
    const Lines names = {"bad.bin", "short.bin", "less.bin", "huge.bin", "empty.bin", "minus.bin"};
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    fs::create_directories(w.dir.path() / "data");
    for (const std::string& name : names) {
        WriteBytes(w.dir.File("data/" + name), good);
    }
    const ExtractReport all = ExtractAll(w.frm);
    EXPECT_EQ(all.written, 1);
    EXPECT_EQ(all.failed, 6);
    for (int row = 0; row < 6; ++row) {
        const std::string& name = names[static_cast<std::size_t>(row)];
        EXPECT_EQ(ReadBytes(w.dir.File("data/" + name)), good) << name;
        const ExtractReport one =
            ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n-1\\f" + std::to_string(row)));
        EXPECT_EQ(one.written, 0) << name;
        EXPECT_EQ(one.failed, 1) << name;
        EXPECT_EQ(ReadBytes(w.dir.File("data/" + name)), good) << name;
    }
    const Lines log = w.widgets.LogLines();
    EXPECT_TRUE(
        std::find(log.begin(), log.end(),
                  "Error: less.bin inflates to 96 bytes, not the 5000 bytes the table gives; the file "
                  "already there was kept") != log.end());
    EXPECT_TRUE(
        std::find(log.begin(), log.end(),
                  "Error: empty.bin cannot be decompressed: an empty array cannot be decompressed; not "
                  "written") != log.end());
    EXPECT_TRUE(
        std::find(log.begin(), log.end(),
                  "Error: minus.bin has a size of -1 bytes in the table; the file already there was kept") !=
        log.end());

    // Where nothing is in the way, what inflated is written; a refused entry still writes nothing.
    fs::remove_all(w.dir.path() / "data");
    EXPECT_EQ(ExtractAll(w.frm).failed, 6);
    EXPECT_EQ(ReadBytes(w.dir.File("data/less.bin")), Content(96, 'l'));
    EXPECT_EQ(ReadBytes(w.dir.File("data/minus.bin")), "");
    EXPECT_EQ(ReadBytes(w.dir.File("data/short.bin")), Content(200, 'q').substr(0, 113));
    EXPECT_FALSE(fs::exists(w.dir.path() / "data/huge.bin"));
    EXPECT_FALSE(fs::exists(w.dir.path() / "data/empty.bin"));
}

TEST(ExtractAll, FidelityOfDotFoldersAndNamelessFiles)
{
    // A folder named "." is the output root itself: nothing is created or logged for it,
    // whatever the alias.
    SgaSpec dots = SgaFromLayout({{"", {}}, {"dot", {{.name = "in-dot", .content = "d"}}}}, "Bonus");
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(dots)), LoadOutcome::Loaded);
    w.frm.Sga.SgaDirNames[0] = ".";
    for (int run = 0; run < 2; ++run) {
        w.widgets.log.clear();
        EXPECT_EQ(ExtractAll(w.frm).written, 1);
        const Lines log = w.widgets.LogLines();
        EXPECT_EQ(std::count(log.begin(), log.end(), "Creating directory: ."), 0) << w.widgets.log;
    }
    EXPECT_EQ(ReadBytes(w.dir.File("data/Bonus/in-dot")), "d");

    // A file row with an empty name gets its position line before its write fails.
    SgaSpec nameless = SgaFromLayout({{"", {{.name = "", .content = "x"}, {.name = "b", .content = "b"}}}});
    TestWindow n;
    ASSERT_EQ(n.Open(BuildSga(nameless), "test.sga", true), LoadOutcome::Loaded);
    const ExtractReport report = ExtractAll(n.frm);
    EXPECT_EQ(report.failedEntries, Lines{"file row 0"});
    const std::string position =
        std::to_string(n.frm.Sga.SgaHeader.DataOffset + n.frm.Sga.SgaFiles[0].EntryOffset);
    const Lines debug = n.DebugLines("test.sga", ".debug.extract.txt");
    ASSERT_EQ(debug.size(), 2u);
    EXPECT_EQ(debug[0], position + ": .\\");
}

TEST(ExtractSelectedItems, SeveralItemsRunOncePerFileAndAFolderAloneIsRefused)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedArchive())), LoadOutcome::Loaded);
    const CatalogueTree& tree = w.frm.tree();
    const int root = tree.IndexOfKey("n-1\\f0");
    const int plan = tree.IndexOfKey("n1\\f2");
    const int maps = tree.IndexOfKey("n0");
    const int empty = tree.IndexOfKey("n2");
    EXPECT_EQ(SaveSelectedNodes(tree, {maps, plan, root, plan, empty}), (std::vector<int>{plan, root}));
    EXPECT_EQ(SaveSelectedNodes(tree, {maps}), std::vector<int>{maps});

    const ExtractReport two = ExtractSelectedItems(w.frm, {maps, plan, root});
    EXPECT_EQ(two.written, 2);
    EXPECT_EQ(ReadBytes(w.dir.File("data/root.txt")), Content(300, 'a'));
    EXPECT_EQ(ReadBytes(w.dir.File("data/maps/town/plan.dat")), Content(5000, 'p'));

    w.widgets.log.clear();
    EXPECT_EQ(ExtractSelectedItems(w.frm, {maps}).written, 0);
    EXPECT_EQ(w.widgets.LogLines().front(), "Cannot extract directory");

    // A failure among them: the count ends the log and shows as the status text.
    fs::remove(w.dir.path() / "data/root.txt");
    fs::create_directories(w.dir.path() / "data/root.txt/in-the-way");
    ExtractSelectedItems(w.frm, {plan, root});
    EXPECT_EQ(w.widgets.LogLines().back(), "1 file written, 1 failed");
    EXPECT_EQ(w.widgets.statusText, "1 file written, 1 failed");
}

#ifndef _WIN32
// Far more folders than the open-file limit allows open at once: the folders
// the writer leaves are closed as it goes (on the fetching threads), every
// file is written, and no descriptor stays open after.
TEST(ExtractAll, FoldersLeftAreClosedAsTheWriterGoesUnderALowOpenFileLimit)
{
    std::vector<SgaLayoutDir> dirs = {{"", {}}};
    for (int i = 0; i < 1500; ++i) {
        dirs.push_back(
            {"f" + std::to_string(i), {{.name = "x.txt", .content = "file " + std::to_string(i)}}});
    }
    const SgaSpec manyFolders = SgaFromLayout(dirs);
    EXPECT_EXIT(
        {
            rlimit low{};
            low.rlim_cur = 400;
            low.rlim_max = 400;
            if (setrlimit(RLIMIT_NOFILE, &low) != 0) {
                std::_Exit(2);
            }
            const auto openNow = [] {
                return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
            };
            TestWindow w;
            if (w.Open(BuildSga(manyFolders)) != LoadOutcome::Loaded) {
                std::_Exit(3);
            }
            const auto before = openNow();
            const ExtractReport report = ExtractAll(w.frm);
            const bool sound = report.written == 1500 && report.failed == 0 && openNow() == before &&
                               ReadBytes((w.dir.path() / "data" / "f1499" / "x.txt").string()) == "file 1499";
            std::_Exit(sound ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif
