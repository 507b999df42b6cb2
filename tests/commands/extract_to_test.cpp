#include "commands/drag_extract.h"
#include "commands/extract_to.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace archive;
using namespace archive::testing;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string Text(std::size_t size, char seed)
{
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += static_cast<char>(seed + static_cast<char>(i % 11));
        text += i % 5 == 0 ? " " : "";
    }
    text.resize(size);
    return text;
}

SgaSpec Layout(const std::string& alias = "Data")
{
    return SgaFromLayout(
        {{"", {{.name = "root.txt", .content = Text(300, 'a'), .compress = true}}},
         {"maps", {{.name = "stored.bin", .content = Text(100, 'k')}}},
         {"maps\\town", {{.name = "plan.dat", .content = Text(5000, 'p'), .compress = true}}},
         {"empty", {}},
         {"ui", {{.name = "skin.txt", .content = Text(70, 'u'), .compress = true}}}},
        alias);
}

int Node(const TestWindow& w, const std::string& key)
{
    return w.frm.tree().IndexOfKey(key);
}

// Every file below `folder`, as relative paths with "/".
Lines FilesBelow(const fs::path& folder)
{
    Lines files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) {
            files.push_back(entry.path().lexically_relative(folder).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool HasLine(const MemoryWidgets& widgets, const std::string& line)
{
    const Lines log = widgets.LogLines();
    return std::find(log.begin(), log.end(), line) != log.end();
}

} // namespace

TEST(ExtractTo, FilesAndFoldersInAnyMixKeepTheirPathsAndATwiceSelectedFileIsWrittenOnce)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(Layout("Bonus"))), LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "chosen";
    std::vector<JobProgress> seen;
    JobControl control;
    control.progress = [&](const JobProgress& now) { seen.push_back(now); };
    // The folder maps, a file inside it once more, a root file and an empty folder.
    const SetReport report =
        ExtractToJob(w.frm, {Node(w, "n0"), Node(w, "n1\\f2"), Node(w, "n-1\\f0"), Node(w, "n2")},
                     {.folder = dest})
            .Run(control);
    EXPECT_FALSE(report.refused);
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(report.bytesWritten, 5400);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_EQ(report.destination, fs::absolute(dest).lexically_normal());
    EXPECT_EQ(FilesBelow(dest), (Lines{"maps/stored.bin", "maps/town/plan.dat", "root.txt"}));
    EXPECT_EQ(ReadBytes((dest / "maps/town/plan.dat").string()), Text(5000, 'p'));
    EXPECT_EQ(ReadBytes((dest / "root.txt").string()), Text(300, 'a'));
    EXPECT_TRUE(fs::is_directory(dest / "empty"));
    EXPECT_FALSE(fs::exists(w.dir.path() / "data")); // the toolbar's output root is not touched
    EXPECT_TRUE(HasLine(w.widgets, "Extracted 3 files (5400 bytes) to " + report.destination.string()));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().files, 0);
    EXPECT_EQ(seen.back().files, 3);
    EXPECT_EQ(seen.back().totalFiles, 3);
    EXPECT_EQ(seen.back().bytes, seen.back().totalBytes);
    EXPECT_EQ(seen.back().totalBytes, 5400);

    // No node at all is the whole archive; below the output root it takes the alias's folder.
    const SetReport all = ExtractToJob(w.frm, {}, {.outputRoot = true}).Run();
    EXPECT_EQ(all.written, 4);
    EXPECT_EQ(FilesBelow(w.dir.path() / "data"), (Lines{"Bonus/maps/stored.bin", "Bonus/maps/town/plan.dat",
                                                        "Bonus/root.txt", "Bonus/ui/skin.txt"}));
    EXPECT_FALSE(w.frm.Extracting);
}

TEST(ExtractTo, ACancelStopsBetweenEntriesAndLeavesOnlyCompleteFiles)
{
    std::vector<SgaLayoutDir> layout = {{"", {}}};
    for (int d = 0; d < 4; ++d) {
        SgaLayoutDir dir{"d" + std::to_string(d), {}};
        for (int f = 0; f < 5; ++f) {
            dir.files.push_back(
                {.name = "f" + std::to_string(f),
                 .content = Text(20000 + static_cast<std::size_t>(f), static_cast<char>('a' + d)),
                 .compress = f % 2 == 0});
        }
        layout.push_back(dir);
    }
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout(layout))), LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "out";
    // A complete older copy of a file the cancel never reaches stays as it was.
    fs::create_directories(dest / "d3");
    WriteBytes((dest / "d3/f4").string(), "older copy");
    JobControl control;
    std::int64_t done = 0;
    control.progress = [&](const JobProgress& now) { done = now.files; };
    control.cancelled = [&] { return done >= 7; };
    const SetReport report = ExtractToJob(w.frm, {}, {.folder = dest}).Run(control);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.written, 7);
    EXPECT_EQ(report.notReached, 13);
    // Every name there is a whole file; no temporary is left.
    const Lines files = FilesBelow(dest);
    EXPECT_EQ(files.size(), 8u);
    for (const std::string& file : files) {
        if (file == "d3/f4") {
            EXPECT_EQ(ReadBytes((dest / file).string()), "older copy");
            continue;
        }
        const int d = file[1] - '0';
        const int f = file[4] - '0';
        EXPECT_EQ(ReadBytes((dest / file).string()),
                  Text(20000 + static_cast<std::size_t>(f), static_cast<char>('a' + d)))
            << file;
    }
    EXPECT_EQ(w.widgets.LogLines().back().rfind("Extraction cancelled: 7 files (", 0), 0u);
}

TEST(ExtractTo, DamagedEntriesAreReportedAndNeverReplaceAGoodCopy)
{
    SgaSpec recipe = SgaFromLayout(
        {{"",
          {{.name = "bad.bin", .content = "x", .storedBytes = "not zlib at all"},
           {.name = "short.bin", .content = Text(200, 'q'), .compress = true, .expandedSize = 100},
           {.name = "long.bin", .content = Text(200, 'r'), .compress = true, .expandedSize = 400},
           {.name = "cut.bin", .content = "0123456789"},
           {.name = "fine.txt", .content = "fine"}}}});
    TestWindow w;
    const std::string bytes = BuildSga(recipe);
    ASSERT_EQ(w.Open(bytes), LoadOutcome::Loaded);
    w.frm.Sga.SgaFiles[3].EntryOffset =
        static_cast<std::int32_t>(bytes.size()) - w.frm.Sga.SgaHeader.DataOffset - 4;
    const fs::path dest = w.dir.path() / "out";
    fs::create_directories(dest);
    WriteBytes((dest / "bad.bin").string(), "good earlier copy");
    const SetReport report = ExtractToJob(w.frm, {}, {.folder = dest}).Run();
    EXPECT_EQ(report.written, 1);
    ASSERT_EQ(report.failed.size(), 4u);
    EXPECT_EQ(report.failed[0].path, "bad.bin");
    EXPECT_EQ(report.failed[0].reason, "failed to inflate: zlib status -3, data error: the stream is "
                                       "damaged; the file already there was kept");
    // Where nothing of their name was, what inflated is written, as the toolbar commands write it.
    EXPECT_EQ(report.failed[1].reason,
              "failed to inflate: zlib status -5, buffer error: the stream is cut "
              "short or inflates to more than the expanded size; written as far as it went");
    EXPECT_EQ(report.failed[2].reason,
              "inflates to 200 bytes, not the 400 bytes the table gives; written as far as it went");
    EXPECT_EQ(report.failed[3].reason,
              "runs past the end of the archive: 4 of 10 bytes read; written as far as it went");
    EXPECT_EQ(FilesBelow(dest), (Lines{"bad.bin", "cut.bin", "fine.txt", "long.bin", "short.bin"}));
    EXPECT_EQ(ReadBytes((dest / "bad.bin").string()), "good earlier copy");
    EXPECT_EQ(ReadBytes((dest / "cut.bin").string()).size(), 4u); // the 4 bytes the archive holds
    EXPECT_TRUE(HasLine(w.widgets,
                        "Error: bad.bin failed to inflate: zlib status -3, data error: the stream is "
                        "damaged; the file already there was kept"));
    EXPECT_EQ(w.widgets.statusText, w.widgets.LogLines().back()); // the summary, which counts the failures
}

TEST(ExtractTo, RefusesRbfUnsafeNamesAndLinksOutOfTheDestination)
{
    TestWindow rbf;
    RbfSpec rbfRecipe;
    rbfRecipe.entries = {{.name = "a\\b.txt", .compr = 3, .uncompr = 3}};
    ASSERT_EQ(rbf.Open(BuildRbf(rbfRecipe), "old.big"), LoadOutcome::Loaded);
    const SetReport refused = ExtractToJob(rbf.frm, {}, {.folder = rbf.dir.path() / "out"}).Run();
    EXPECT_TRUE(refused.refused);
    EXPECT_FALSE(fs::exists(rbf.dir.path() / "out"));
    EXPECT_EQ(rbf.widgets.LogLines().back(),
              "Error: " + rbf.frm.ArchivePath +
                  " is an RBF archive: its files can be listed but not extracted");

    SgaSpec recipe =
        SgaFromLayout({{"", {{.name = "..\\escape", .content = "e"}, {.name = "ok", .content = "ok"}}},
                       {"inside", {{.name = "in", .content = "in"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "out";
    const fs::path outside = w.dir.path() / "outside";
    fs::create_directories(dest);
    fs::create_directories(outside);
    std::error_code noLinks;
    fs::create_directory_symlink(outside, dest / "inside", noLinks);
    if (noLinks) {
        GTEST_SKIP() << "this system makes no symbolic links: " << noLinks.message();
    }
    const SetReport report = ExtractToJob(w.frm, {}, {.folder = dest}).Run();
    EXPECT_EQ(report.written, 1);
    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(ReadBytes((dest / "ok").string()), "ok");
    EXPECT_FALSE(fs::exists(w.dir.path() / "escape"));
}

TEST(TestArchive, ASoundArchivePassesAndNothingIsWritten)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(Layout())), LoadOutcome::Loaded);
    const ArchiveTestReport report = TestArchiveJob(w.frm).Run();
    EXPECT_EQ(report.entries, 4);
    EXPECT_EQ(report.bytes, 5470);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(w.widgets.LogLines().back(), "Tested 4 entries, 5470 bytes: no failures");
    Lines names;
    for (const auto& entry : fs::directory_iterator(w.dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, Lines{"test.sga"});
}

TEST(TestArchive, DamagedStreamsShortEntriesAndWrongSizesAreEachReported)
{
    SgaSpec recipe = SgaFromLayout(
        {{"", {{.name = "fine.txt", .content = "fine"}}},
         {"maps",
          {{.name = "bad.bin", .content = "x", .storedBytes = "not zlib at all"},
           {.name = "small.bin", .content = Text(200, 'q'), .compress = true, .expandedSize = 100},
           {.name = "big.bin", .content = Text(200, 'r'), .compress = true, .expandedSize = 400},
           {.name = "cut.bin", .content = "0123456789"}}}});
    TestWindow w;
    const std::string bytes = BuildSga(recipe);
    ASSERT_EQ(w.Open(bytes), LoadOutcome::Loaded);
    w.frm.Sga.SgaFiles[4].EntryOffset =
        static_cast<std::int32_t>(bytes.size()) - w.frm.Sga.SgaHeader.DataOffset - 4;
    const ArchiveTestReport report = TestArchiveJob(w.frm).Run();
    EXPECT_EQ(report.entries, 5);
    ASSERT_EQ(report.failed.size(), 4u);
    const Lines log = w.widgets.LogLines();
    const Lines tail(log.end() - 5, log.end());
    EXPECT_EQ(
        tail,
        (Lines{"Error: maps\\bad.bin failed to inflate: zlib status -3, data error: the stream is damaged",
               "Error: maps\\small.bin failed to inflate: zlib status -5, buffer error: the stream is cut "
               "short or inflates to more than the expanded size",
               "Error: maps\\big.bin inflates to 200 bytes, not the 400 bytes the table gives",
               "Error: maps\\cut.bin runs past the end of the archive: 4 of 10 bytes read",
               "Tested 5 entries, " + std::to_string(report.bytes) + " bytes: 4 failed"}));
    EXPECT_EQ(w.widgets.statusText, tail.back());
}

// Extract To asks before a sound entry replaces a file: replace, skip, or keep both
// with a new name beside it; an answer "for all" is asked no more.
TEST(ExtractTo, AsksBeforeReplacingAFileAndRemembersAnAnswerForAll)
{
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "a.txt", .content = "new a"},
                                      {.name = "b.txt", .content = "new b"},
                                      {.name = "c", .content = "new c"},
                                      {.name = "d.txt", .content = "new d"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "out";
    fs::create_directories(dest);
    for (const char* name : {"a.txt", "b.txt", "c", "c (2)", "d.txt"}) {
        WriteBytes((dest / name).string(), std::string("old ") + name);
    }
    std::vector<ExistingAnswer> answers = {
        {ExistingChoice::Replace}, {ExistingChoice::Skip}, {ExistingChoice::KeepBoth, true}};
    Lines asked;
    JobControl control;
    control.existing = [&](const ExistingFile& file) {
        asked.push_back(file.path);
        EXPECT_EQ(file.target, dest / file.path);
        EXPECT_EQ(file.size, 5);
        const ExistingAnswer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    const SetReport report = ExtractToJob(w.frm, {}, {.folder = dest}).Run(control);
    EXPECT_EQ(asked, (Lines{"a.txt", "b.txt", "c"})); // d.txt: kept both, for all
    EXPECT_EQ(report.written, 3);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].path, "b.txt");
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(ReadBytes((dest / "a.txt").string()), "new a");
    EXPECT_EQ(ReadBytes((dest / "b.txt").string()), "old b.txt");
    EXPECT_EQ(ReadBytes((dest / "c").string()), "old c");
    EXPECT_EQ(ReadBytes((dest / "c (2)").string()), "old c (2)");
    EXPECT_EQ(ReadBytes((dest / "c (3)").string()), "new c");
    EXPECT_EQ(ReadBytes((dest / "d (2).txt").string()), "new d");

    // Without a question, files are replaced as before.
    ExtractToJob(w.frm, {}, {.folder = dest}).Run();
    EXPECT_EQ(ReadBytes((dest / "b.txt").string()), "new b");
}

TEST(DragExtract, DamagedEntriesKeepFilesAndSoundOnesAsk)
{
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "bad.bin", .content = "x", .storedBytes = "not zlib at all"},
                                      {.name = "ok.txt", .content = "ok"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "drag";
    fs::create_directories(dest);
    WriteBytes((dest / "bad.bin").string(), "good copy");
    WriteBytes((dest / "ok.txt").string(), "mine");
    const std::vector<int> nodes = {w.frm.tree().IndexOfKey("n-1\\f0"), w.frm.tree().IndexOfKey("n-1\\f1")};
    int asked = 0;
    const DragExtractReport report = ExtractForDrag(w.frm, nodes, dest, {}, [&asked](const ExistingFile&) {
        ++asked;
        return ExistingAnswer{ExistingChoice::Skip};
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(report.skipped, 1);
    EXPECT_EQ(report.written, 0);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].find("the file already there was kept"), std::string::npos);
    EXPECT_EQ(ReadBytes((dest / "bad.bin").string()), "good copy");
    EXPECT_EQ(ReadBytes((dest / "ok.txt").string()), "mine");
}

// Two rows of one path: the first row is written, the second skipped with
// the reason, and a file of another folder after them is still planned.
TEST(ExtractTo, ARowWhosePathAnEarlierRowTookIsSkipped)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout({{"", {}},
                                             {"maps",
                                              {{.name = "a.txt", .content = "first"},
                                               {.name = "b.txt", .content = "other"},
                                               {.name = "a.txt", .content = "second"}}},
                                             {"ui", {{.name = "a.txt", .content = "elsewhere"}}}}))),
              LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "chosen";
    const SetReport report = ExtractToJob(w.frm, {}, {.folder = dest}).Run();
    EXPECT_EQ(report.written, 3);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].path, "maps\\a.txt");
    EXPECT_EQ(report.skipped[0].reason, "file row 0 has the same path");
    EXPECT_EQ(FilesBelow(dest), (Lines{"maps/a.txt", "maps/b.txt", "ui/a.txt"}));
    std::ifstream in(dest / "maps" / "a.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "first");
}

// A folder two rows name that is refused (here it would climb out of the
// destination) is reported once, and nothing is made outside.
TEST(ExtractTo, AFolderTwoRowsNameIsRefusedOnce)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout({{"", {}}, {"..", {}}, {"..\\out", {}}, {"..\\out", {}}, {"ui", {}}}))),
              LoadOutcome::Loaded);
    const fs::path dest = w.dir.path() / "chosen";
    const SetReport report = ExtractToJob(w.frm, {}, {.folder = dest}).Run();
    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_EQ(report.failed[0].path, "..");
    EXPECT_EQ(report.failed[1].path, "..\\out");
    EXPECT_TRUE(fs::is_directory(dest / "ui"));
    EXPECT_FALSE(fs::exists(w.dir.path() / "out"));
}
