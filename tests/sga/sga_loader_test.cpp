#include "extract/extract.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace archive::testing;

namespace {
using Lines = std::vector<std::string>;
} // namespace

TEST(SgaLoad, WorkedExampleBuildsTheTreeLogAndDebugFile)
{
    TestWindow w;
    SgaSpec recipe = WorkedExampleSga();
    recipe.version = -7;
    recipe.archiveType = std::string("D\0a\0t\0a\0", 8);
    const std::string bytes = BuildSga(recipe);
    ASSERT_EQ(w.Open(bytes, "test.sga", true), LoadOutcome::Loaded);

    EXPECT_EQ(w.Keys(), (Lines{"n-1", "n0", "n1", "n2", "n-1\\f0", "n0\\f1", "n0\\f2", "n1\\f3"}));
    EXPECT_EQ(w.Text("n-1"), "Data");
    EXPECT_EQ(w.ParentKey("n1"), "n0");
    EXPECT_EQ(w.Text("n1"), "tex");
    EXPECT_EQ(w.ParentKey("n2"), "n-1");
    EXPECT_EQ(w.ParentKey("n1\\f3"), "n1");
    const SgaTables& t = w.frm.Sga;
    EXPECT_EQ(t.SgaFiles[0].Path, "a.txt");
    EXPECT_EQ(t.SgaFiles[1].Path, "art\\b.tga");
    EXPECT_EQ(t.SgaFiles[2].Path, "art\\c.tga");
    EXPECT_EQ(t.SgaFiles[3].Path, "art\\tex\\d.tga");
    EXPECT_EQ(t.SgaDirNames.size(), 5u);
    EXPECT_EQ(t.SgaDirNames[3], "");

    const Lines log = w.widgets.LogLines();
    const std::string dataOffset = std::to_string(bytes.size() - 22);
    EXPECT_EQ(log, (Lines{"Identifier=_ARCHIVE",
                          "Version=-7",
                          "",
                          "Archive Type=Data",
                          "Data Header Size=24",
                          "Data Offset=" + dataOffset,
                          "",
                          "TOC Offset=24",
                          "Num TOCs=1",
                          "Directory Offset=0",
                          "Num Directories=4",
                          "File Offset=0",
                          "Num Files=4",
                          "Items Offset=0",
                          "Num Items=8",
                          "",
                          "TOC Alias=Data",
                          "TOC Start Name=",
                          "TOC Start Dir=0, End Dir=0, Start File=0, End File=0",
                          "TOC Folder Offset=0",
                          ""}));

    const Lines debug = w.DebugLines();
    EXPECT_EQ(debug, (Lines{"ID\tOff\t1stDir\tNxtDir\t1stFil\tNxtFil",
                            "0\t0\t1\t4\t0\t1",
                            "1\t0\t0\t0\t1\t3",
                            "2\t0\t0\t0\t3\t4",
                            "3\t0\t0\t0\t4\t4",
                            "0\t0\t0\t5\t5",
                            "1\t0\t5\t5\t5",
                            "2\t0\t10\t7\t7",
                            "3\t0\t17\t5\t5",
                            "1: art",
                            "n0",
                            "2: art\\tex",
                            "n1",
                            "3: ui",
                            "n2",
                            "1: a.txt",
                            "2: b.tga",
                            "3: c.tga",
                            "4: d.tga",
                            "a.txt",
                            "art\\b.tga",
                            "art\\c.tga",
                            "art\\tex\\d.tga"}));
    EXPECT_EQ(w.DebugText().substr(0, 8), "ID\tOff\t1");
    EXPECT_EQ(w.DebugText().back(), '\n');

    EXPECT_EQ(w.widgets.statusText, w.dir.File("test.sga"));
    EXPECT_TRUE(w.widgets.buttons[5]);
    EXPECT_TRUE(w.widgets.buttons[6]);
    EXPECT_EQ(w.frm.tree().SelectedIndex(), 1);
    EXPECT_TRUE(w.frm.tree().Node(1).expanded);
    EXPECT_FALSE(w.frm.tree().Node(2).expanded);
    EXPECT_EQ(w.widgets.progressMaximum, 1);
    EXPECT_EQ(w.widgets.progressValue, 0);
    EXPECT_EQ(w.widgets.treeIndentation, 80);
}

TEST(SgaLoad, NothingGoesToTheDebugFileWhenTheSwitchIsOff)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(WorkedExampleSga())), LoadOutcome::Loaded);
    EXPECT_FALSE(std::filesystem::exists(w.dir.File("test.sga.debug.txt")));
    EXPECT_EQ(w.widgets.LogLines().size(), 21u);
}

TEST(SgaLoad, ByteOffsetsOfTheSmallestArchive)
{
    // T = 1, D = 1, F = 2: records at 204, 342, 354; the byte at 388 is skipped; names from 389.
    SgaSpec recipe = SgaFromLayout({{"", {{.name = "x"}, {.name = "yz"}}}});
    const std::string bytes = BuildSga(recipe);
    ASSERT_EQ(bytes.size(), 389u + 2 + 3);
    std::string patched = bytes;
    patched[388] = 'Q'; // skipped without being looked at
    TestWindow w;
    ASSERT_EQ(w.Open(patched), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"n-1", "n-1\\f0", "n-1\\f1"}));
    EXPECT_EQ(w.Text("n-1\\f1"), "yz");
}

TEST(SgaLoad, FixedWidthTextSkipsZerosInside)
{
    SgaSpec recipe = WorkedExampleSga();
    recipe.tocs[0].rawAlias = std::string("Da\0ta", 5);
    recipe.tocs[0].startName = "start";
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    EXPECT_EQ(w.Text("n-1"), "Data");
    EXPECT_EQ(w.widgets.LogLines()[17], "TOC Start Name=start");
}

TEST(SgaLoad, SecondAndThirdTocRoots)
{
    SgaSpec recipe = SgaFromLayout(
        {{"", {}}, {"art", {}}, {"", {{.name = "attrib.txt"}}}, {"ai", {}}, {"", {}}, {"x", {}}});
    recipe.tocs = {SgaTocSpec{.alias = "Data"}, SgaTocSpec{.alias = "Attrib"}, SgaTocSpec{.alias = "Third"}};
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const SgaTables& t = w.frm.Sga;
    EXPECT_EQ(t.SgaDirNames[0], "art");
    EXPECT_EQ(t.SgaDirNames[1], "Attrib");
    EXPECT_EQ(t.SgaDirNames[2], "Attrib\\ai");
    // A later root reads as the prefix alone: a node with an empty text under the second root.
    EXPECT_EQ(t.SgaDirNames[3], "Attrib\\");
    EXPECT_EQ(t.SgaDirNames[4], "Attrib\\x");
    EXPECT_EQ(w.ParentKey("n1"), "n-1");
    EXPECT_EQ(w.ParentKey("n2"), "n1");
    EXPECT_EQ(w.ParentKey("n3"), "n1");
    EXPECT_EQ(w.Text("n3"), "");
    EXPECT_EQ(t.SgaFiles[0].Path, "Attrib\\attrib.txt");
    EXPECT_EQ(w.Text("n1\\f0"), "attrib.txt");
}

TEST(SgaLoad, FewDirectories)
{
    SgaSpec none = SgaFromLayout({{"", {{.name = "a"}}}});
    none.dirs.clear();
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(none), "test.sga", true), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"n-1"}));
    EXPECT_EQ(w.frm.Sga.SgaFileNames[0], "a");
    EXPECT_EQ(w.frm.Sga.SgaFiles[0].Path, "");
    EXPECT_EQ(w.DebugLines().back(), "1: a");

    TestWindow one;
    ASSERT_EQ(one.Open(BuildSga(SgaFromLayout({{"", {{.name = "a"}, {.name = "b"}}}}))), LoadOutcome::Loaded);
    EXPECT_EQ(one.Keys(), (Lines{"n-1", "n-1\\f0", "n-1\\f1"}));
}

TEST(SgaLoad, ParentsThatAreMissingComeLaterOrRepeat)
{
    // "b\c" has no parent among the names: it goes under n0. "a" twice: children go under the first.
    SgaSpec recipe = SgaFromLayout({{"", {}}, {"a", {}}, {"b\\c", {}}, {"a", {}}, {"a\\d", {}}, {"a\\", {}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    EXPECT_EQ(w.ParentKey("n1"), "n0");
    EXPECT_EQ(w.Text("n1"), "c");
    EXPECT_EQ(w.ParentKey("n3"), "n0");
    // A path ending in "\": a node with an empty text under the path without it.
    EXPECT_EQ(w.ParentKey("n4"), "n0");
    EXPECT_EQ(w.Text("n4"), "");

    SgaSpec later = SgaFromLayout({{"", {}}, {"x", {}}, {"p\\q", {}}, {"p", {}}});
    TestWindow w2;
    ASSERT_EQ(w2.Open(BuildSga(later)), LoadOutcome::Loaded);
    EXPECT_EQ(w2.ParentKey("n1"), "n0");
}

TEST(SgaLoad, EmptyParentPathMatchesTheFirstElementNotFilledYet)
{
    // "\z" has the parent path "": the first empty element among 0 to D - 2, here the next row's.
    SgaSpec recipe = SgaFromLayout({{"", {}}, {"a", {}}, {"\\z", {}}, {"b", {}}, {"c", {}}});
    TestWindow w;
    // Its parent key n2 is not in the tree yet: the load stops there.
    EXPECT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Failed);
    EXPECT_EQ(w.widgets.LogLines().back(),
              "Load failed: directory row 2: its parent node n2 is not in the tree");

    SgaSpec last = SgaFromLayout({{"", {}}, {"a", {}}, {"\\z", {}}});
    TestWindow w2;
    ASSERT_EQ(w2.Open(BuildSga(last)), LoadOutcome::Loaded); // no element left: 0, the node of row 1
    EXPECT_EQ(w2.ParentKey("n1"), "n0");
}

TEST(SgaLoad, FileRangesAndTheirRules)
{
    SgaSpec recipe =
        SgaFromLayout({{"", {}}, {"a", {{.name = "f0"}, {.name = "f1"}}}, {"b", {{.name = "f2"}}}});
    recipe.dirs[2].firstDir = 5; // FirstDir > NextDir: its files get no node
    recipe.dirs[2].nextDir = 4;
    recipe.dirs[0].firstFile = 1; // overlaps row 1's range
    recipe.dirs[0].nextFile = 2;
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"n-1", "n0", "n1", "n-1\\f1", "n0\\f0", "n0\\f1"}));
    EXPECT_EQ(w.frm.Sga.SgaFiles[1].Path, "a\\f1"); // the later row's path
    EXPECT_EQ(w.frm.Sga.SgaFiles[2].Path, "");

    SgaSpec spare = SgaFromLayout({{"", {{.name = "f0"}}}});
    spare.dirs[0].nextFile = 2; // NumFiles + 1 takes in the spare element
    TestWindow w2;
    ASSERT_EQ(w2.Open(BuildSga(spare)), LoadOutcome::Loaded);
    EXPECT_EQ(w2.Keys(), (Lines{"n-1", "n-1\\f0", "n-1\\f1"}));
    EXPECT_EQ(w2.Text("n-1\\f1"), "");
}

// A directory named "." is the root under another name: its files and subfolders hang from
// the root, keep their rows' keys, and every extract command puts them in the output root.
TEST(SgaLoad, TheDotDirectoryHangsFromTheRoot)
{
    SgaSpec recipe = SgaFromLayout({{"", {{.name = "top", .content = "t"}}},
                                    {".", {{.name = "dot", .content = "d"}}},
                                    {"x", {{.name = "in-x", .content = "x"}}}});
    recipe.dirs[2].name = ".\\x";
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    EXPECT_EQ(w.frm.tree().IndexOfKey("n0"), 0);
    EXPECT_EQ(w.ParentKey("n0\\f1"), "n-1");
    EXPECT_EQ(w.ParentKey("n1"), "n-1");
    EXPECT_EQ(w.Text("n0\\f1"), "dot");
    EXPECT_TRUE(w.frm.SgaCatalogueShown());

    EXPECT_EQ(ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n0\\f1")).written, 1);
    EXPECT_EQ(ReadBytes(w.dir.File("data/dot")), "d");
    const ExtractReport all = ExtractAll(w.frm);
    EXPECT_EQ(all.written, 3);
    EXPECT_EQ(all.failed, 0);
    EXPECT_EQ(ReadBytes(w.dir.File("data/top")), "t");
    EXPECT_EQ(ReadBytes(w.dir.File("data/x/in-x")), "x");
}

TEST(SgaLoad, RejectsWhatIsNoArchive)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(WorkedExampleSga())), LoadOutcome::Loaded);
    const std::vector<std::string> before = w.frm.Sga.SgaDirNames;
    EXPECT_EQ(w.Open("just some text", "text.txt", true), LoadOutcome::Rejected);
    EXPECT_EQ(w.widgets.messages, (Lines{"Invalid Archive File"}));
    EXPECT_EQ(w.widgets.log, "");
    EXPECT_EQ(w.frm.tree().Count(), 0u);
    EXPECT_EQ(w.DebugText("text.txt"), "");
    EXPECT_FALSE(w.widgets.buttons[5]); // no catalogue is shown: nothing to extract
    EXPECT_FALSE(w.widgets.buttons[6]);
    EXPECT_EQ(w.frm.Sga.SgaHeader.Identifier, std::string("just som"));
    EXPECT_EQ(w.frm.Sga.SgaDirNames, before);

    // Short files and a lower-case signature go to the SGA loader too.
    EXPECT_EQ(w.Open("RBF", "short.big"), LoadOutcome::Rejected);
    EXPECT_EQ(w.Open("rbf1.23 and more", "lower.big"), LoadOutcome::Rejected);
    EXPECT_EQ(w.Open("", "empty.big"), LoadOutcome::Rejected);
    EXPECT_EQ(w.frm.LastFormat, ArchiveFormat::Sga);
}

TEST(SgaLoad, FailuresEndTheLoadAndSayWhere)
{
    struct Case {
        const char* what;
        SgaSpec recipe;
        std::string reason;
    };
    SgaSpec noTocs = WorkedExampleSga();
    noTocs.numTocs = 0;
    SgaSpec negativeDirs = WorkedExampleSga();
    negativeDirs.numDirectories = -1;
    SgaSpec negativeFiles = WorkedExampleSga();
    negativeFiles.numFiles = -3;
    SgaSpec emptyName = SgaFromLayout({{"", {}}, {"", {}}});
    SgaSpec outside = WorkedExampleSga();
    outside.dirs[2].nextFile = 6; // NumFiles + 2
    SgaSpec negativeFirst = WorkedExampleSga();
    negativeFirst.dirs[1].firstFile = -1;
    SgaSpec firstHasParent = SgaFromLayout({{"", {}}, {"a\\b", {}}});
    const Case cases[] = {
        {"no TOC", noTocs, "Load failed: Num TOCs is 0: the TOC table cannot be dimensioned"},
        {"negative directories", negativeDirs,
         "Load failed: Num Directories is -1: the directory table cannot be dimensioned"},
        {"negative files", negativeFiles,
         "Load failed: Num Files is -3: the file table cannot be dimensioned"},
        {"empty path, one TOC", emptyName,
         "Load failed: directory row 1 has an empty name and there is no second TOC to name it"},
        {"range past the table", outside,
         "Load failed: directory row 2 lists file row 5, outside the file table (0 to 4)"},
        {"negative first file", negativeFirst,
         "Load failed: directory row 1 lists file row -1, outside the file table (0 to 4)"},
        {"first row with a parent", firstHasParent,
         "Load failed: directory row 1: its parent node n0 is not in the tree"},
    };
    for (const Case& c : cases) {
        TestWindow w;
        EXPECT_EQ(w.Open(BuildSga(c.recipe), "test.sga", true), LoadOutcome::Failed) << c.what;
        EXPECT_EQ(w.widgets.LogLines().back(), c.reason) << c.what;
        EXPECT_EQ(w.widgets.statusText, c.reason) << c.what;
        EXPECT_FALSE(w.widgets.buttons[5]) << c.what;
        // The files are closed: the same archive opens again at once.
        EXPECT_EQ(w.Open(BuildSga(WorkedExampleSga()), "test.sga", true), LoadOutcome::Loaded) << c.what;
    }
}

TEST(SgaLoad, TruncationAtEveryByteStopsCleanly)
{
    SgaSpec recipe = WorkedExampleSga();
    recipe.tocs.push_back(SgaTocSpec{.alias = "Second"});
    const std::string bytes = BuildSga(recipe);
    const std::size_t namesEnd = bytes.size() - 22; // the data area needs no reading to load
    TestWindow w;
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const LoadOutcome outcome = w.Open(bytes.substr(0, length));
        if (length < 8) {
            EXPECT_EQ(outcome, LoadOutcome::Rejected) << length;
        } else if (length < namesEnd) {
            ASSERT_EQ(outcome, LoadOutcome::Failed) << length;
            EXPECT_EQ(w.widgets.LogLines().back().rfind("Load failed: the file ends inside ", 0), 0u)
                << length;
        } else {
            EXPECT_EQ(outcome, LoadOutcome::Loaded) << length;
        }
    }
}

TEST(SgaLoad, CatalogueOfManyDirectoriesLoads)
{
    std::vector<SgaLayoutDir> dirs = {{"", {}}};
    for (int i = 0; i < 2000; ++i) {
        dirs.push_back({"d" + std::to_string(i / 40) + (i % 40 == 0 ? "" : "\\s" + std::to_string(i)),
                        {{.name = "f" + std::to_string(i)}}});
    }
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout(dirs))), LoadOutcome::Loaded);
    EXPECT_EQ(w.frm.tree().Count(), 1u + 2000 + 2000);
    EXPECT_EQ(w.ParentKey("n41"), "n40");
}
