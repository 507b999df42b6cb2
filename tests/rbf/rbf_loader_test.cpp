#include "platform/text_encoding.h"
#include "rbf/rbf_loader.h"
#include "rbf/rbf_tables.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace archive::testing;

namespace {

using Lines = std::vector<std::string>;

RbfSpec Names(std::initializer_list<const char*> names)
{
    RbfSpec recipe;
    for (const char* name : names) {
        recipe.entries.push_back({.name = name});
    }
    return recipe;
}

} // namespace

TEST(RbfNames, UnscrambleWithTheRunningXor)
{
    const std::string stored = ScrambleName("a\\b.txt");
    EXPECT_EQ(UnscrambleName(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()),
              "a\\b.txt");
    // A first stored byte equal to the seed gives a leading NUL, which stays.
    const std::uint8_t seedFirst[] = {0xA7, 'x'};
    EXPECT_EQ(UnscrambleName(seedFirst, 2), std::string("\0x", 2));
    const std::string high = ScrambleName("\x80\xE9\xFF");
    EXPECT_EQ(UnscrambleName(reinterpret_cast<const std::uint8_t*>(high.data()), high.size()),
              "\x80\xE9\xFF");
}

TEST(RbfCrc, DividedByTenThousandWithSignificantFraction)
{
    EXPECT_EQ(FormatCrc(0, "."), "0");
    EXPECT_EQ(FormatCrc(10000, "."), "1");
    EXPECT_EQ(FormatCrc(123456789, "."), "12345.6789");
    EXPECT_EQ(FormatCrc(15000, ","), "1,5");
    EXPECT_EQ(FormatCrc(-5, "."), "-0.0005");
    EXPECT_EQ(FormatCrc(-120000, "."), "-12");
    EXPECT_EQ(FormatCrc(INT64_MIN, "."), "-922337203685477.5808");
    EXPECT_EQ(FormatCrc(INT64_MAX, "."), "922337203685477.5807");
}

TEST(RbfLoad, DumpsAndBuildsTheTree)
{
    RbfSpec recipe = Names({"a\\b\\c.txt", "a\\d.txt", "top.txt"});
    recipe.sortFlag = -2;
    recipe.entries[0].crc = 123456789;
    recipe.entries[0].compr = 10;
    recipe.entries[0].uncompr = 20;
    const std::string bytes = BuildRbf(recipe);
    TestWindow w;
    w.widgets.buttons[5] = w.widgets.buttons[6] = true;
    ASSERT_EQ(w.Open(bytes, "game.big", true), LoadOutcome::Loaded);
    EXPECT_EQ(w.widgets.LogLines(),
              (Lines{"Identifier=RBF", "Version=1.23", "Records=3", "Sort Flag=-2", ""}));
    EXPECT_EQ(w.Keys(), (Lines{"Root", "a", "a\\b", "a\\b\\c.txt", "a\\d.txt", "top.txt"}));
    EXPECT_EQ(w.Text("Root"), "game.big");
    EXPECT_EQ(w.ParentKey("a\\d.txt"), "a");
    EXPECT_EQ(w.Text("a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(w.frm.Rbf.RbfFileNames, (Lines{"c.txt", "d.txt", "top.txt"}));

    const Lines debug = w.DebugLines("game.big");
    EXPECT_EQ(debug,
              (Lines{"CRC              \tName Sz\tCompr  \tUncompr\tOffset", "12345.6789\t9\t10\t20\t111",
                     "0\t7\t0\t0\t120", "0\t7\t0\t0\t127", "", "0: a\\b\\c.txt", "1: a\\d.txt", "2: top.txt",
                     "sJustDirectory(0:1): a\\b\\ | sDirectory: a | sCurrentDirectory: a",
                     "sJustDirectory(0:2): a\\b\\ | sDirectory: a\\b | sCurrentDirectory: b",
                     "sJustDirectory(1:1): a\\ | sDirectory: a | sCurrentDirectory: a"}));
    EXPECT_EQ(w.widgets.statusText, w.dir.File("game.big"));
    EXPECT_FALSE(w.widgets.buttons[5]);
    EXPECT_FALSE(w.widgets.buttons[6]);
    EXPECT_EQ(w.widgets.progressMaximum, 3);
    EXPECT_EQ(w.widgets.progressValue, 2);
    EXPECT_EQ(w.frm.tree().SelectedIndex(), 1);
    EXPECT_TRUE(w.frm.tree().Node(1).expanded);
    EXPECT_EQ(w.frm.LastFormat, ArchiveFormat::Rbf);
}

TEST(RbfLoad, TreeBuildingSkipsFailingSteps)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildRbf(Names({"x", "x\\y"})), "t.big"), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"Root", "x", "x\\y"}));
    EXPECT_EQ(w.ParentKey("x\\y"), "x"); // under the file node x

    ASSERT_EQ(w.Open(BuildRbf(Names({"x\\y", "x"})), "t.big"), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"Root", "x", "x\\y"})); // the file x is not added at all
    EXPECT_EQ(w.Text("x"), "x");

    ASSERT_EQ(w.Open(BuildRbf(Names({"Root\\x", "same", "same"})), "t.big"), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"Root", "Root\\x", "same"}));
    EXPECT_EQ(w.ParentKey("Root\\x"), "Root");

    ASSERT_EQ(w.Open(BuildRbf(Names({"a\\", "a\\\\b"})), "t.big"), LoadOutcome::Loaded);
    EXPECT_EQ(w.Keys(), (Lines{"Root", "a", "a\\", "a\\\\b"}));
    EXPECT_EQ(w.ParentKey("a\\"), "a");
    EXPECT_EQ(w.Text("a\\"), "");
    EXPECT_EQ(w.ParentKey("a\\\\b"), "a\\"); // the folder "a\" with an empty text
}

TEST(RbfLoad, NamesAnywhereSharedAndOdd)
{
    RbfSpec recipe = Names({"shared\\n.txt", "", "\xC9t\xE9"});
    recipe.entries.push_back(
        {.name = "again", .nameSize = 12, .offset = 15 + 32 * 5});           // the first entry's name
    recipe.entries[1].storedName = std::string("\xA7z", 2);                  // starts with NUL
    recipe.entries.push_back({.name = "", .nameSize = 0, .offset = 999999}); // reads nothing
    TestWindow w;
    ASSERT_EQ(w.Open(BuildRbf(recipe), "t.big"), LoadOutcome::Loaded);
    const Lines& paths = w.frm.Rbf.RbfPaths;
    EXPECT_EQ(paths[0], "shared\\n.txt");
    EXPECT_EQ(paths[1], std::string("\0z", 2));
    EXPECT_EQ(paths[2], "\xC9t\xE9");
    EXPECT_EQ(paths[3], "shared\\n.txt");
    EXPECT_EQ(paths[4], "");
}

TEST(RbfLoad, OneRecord)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildRbf(Names({"only"})), "t.big", true), LoadOutcome::Loaded);
    EXPECT_EQ(w.widgets.progressMaximum, 1);
    EXPECT_EQ(w.widgets.progressValue, 0);
    EXPECT_EQ(w.DebugLines("t.big").size(), 4u); // column line, entry line, empty line, name line
}

TEST(RbfLoad, RootTextIsTheFileName)
{
    EXPECT_EQ(RbfRootText("data.big"), "data.big");
#ifdef _WIN32
    EXPECT_EQ(RbfRootText("C:\\games\\sv1\\data.big"), "data.big");
#else
    EXPECT_EQ(RbfRootText("/games/sv1/data.big"), "data.big");
    EXPECT_EQ(RbfRootText("/games/odd\\name.big"), "odd\\name.big"); // "\" is a character here
#endif
}

// A host name meets archive text at one edge: the root's text and the log lines take it as
// Windows-1252 ("?" for what the code page lacks); the status text shows it as the host names it.
TEST(RbfLoad, NonAsciiArchiveNames)
{
    TestWindow w;
    const std::string name = "caf\xc3\xa9 \xc3\xbcn\xc3\xaf \xe2\x82\xac.big"; // café ünï €.big
    ASSERT_EQ(w.Open(BuildRbf(Names({"x\\y.txt"})), name, true), LoadOutcome::Loaded);
    EXPECT_EQ(w.Text("Root"), "caf\xe9 \xfcn\xef \x80.big");
    EXPECT_EQ(w.widgets.statusText, w.dir.File(name));
    const std::vector<std::string> debug = w.DebugLines(name); // the debug file carries the host's name
    ASSERT_GE(debug.size(), 4u);
    EXPECT_EQ(debug[3], "0: x\\y.txt");
    ASSERT_EQ(w.Open(BuildRbf(Names({"z"})), "\xe6\x97\xa5\xe6\x9c\xac.big"),
              LoadOutcome::Loaded); // 日本.big
    EXPECT_EQ(w.Text("Root"), "??.big");

    // A plain std::string would be read in the system's code page on Windows, not as UTF-8.
    ASSERT_TRUE(std::filesystem::remove(PathFromUtf8(w.dir.File(name))));
    EXPECT_EQ(OpenChosenFile(w.frm, w.dir.File(name)), LoadOutcome::CannotOpen);
    ASSERT_FALSE(w.widgets.messages.empty());
    EXPECT_NE(w.widgets.messages.back().find(name), std::string::npos); // a message names it as the host does
    EXPECT_EQ(HostTextToWindows1252("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xff!"), "\xe9\x80?"
                                                                                  "?!");
}

TEST(RbfLoad, FailuresBeforeTheTreeEndTheLoad)
{
    struct Case {
        const char* what;
        RbfSpec recipe;
        std::string reason;
    };
    RbfSpec zero = Names({"a"});
    zero.records = 0;
    RbfSpec huge = Names({"a"});
    huge.records = 2000000000;
    RbfSpec negativeOffset = Names({"a"});
    negativeOffset.entries[0].offset = -1;
    RbfSpec maxOffset = Names({"a"});
    maxOffset.entries[0].offset = 2147483647;
    RbfSpec minSize = Names({"a"});
    minSize.entries[0].nameSize = INT32_MIN;
    RbfSpec pastEnd = Names({"a"});
    pastEnd.entries[0].nameSize = 2;
    const Case cases[] = {
        {"no records", zero, "Load failed: Records is 0: the entry table cannot be dimensioned"},
        {"two billion records", huge,
         "Load failed: the file ends inside the entry table (2000000000 records need 64000000015 bytes; the "
         "file has 48)"},
        {"offset -1", negativeOffset, "Load failed: entry 0 has the name offset -1, which is no position"},
        {"offset at the limit", maxOffset,
         "Load failed: entry 0 has the name offset 2147483647, beyond the 32-bit range"},
        {"name size at the limit", minSize,
         "Load failed: entry 0 has the name size -2147483648, beyond the 32-bit range"},
        {"name past the end", pastEnd,
         "Load failed: the file ends inside the name of entry 0 (2 bytes at offset 47)"},
    };
    for (const Case& c : cases) {
        TestWindow w;
        EXPECT_EQ(w.Open(BuildRbf(c.recipe), "t.big", true), LoadOutcome::Failed) << c.what;
        EXPECT_EQ(w.widgets.LogLines().back(), c.reason) << c.what;
        EXPECT_EQ(w.widgets.statusText, c.reason) << c.what;
        EXPECT_EQ(w.Open(BuildRbf(Names({"fine"})), "t.big", true), LoadOutcome::Loaded) << c.what;
    }
}

TEST(RbfLoad, TruncationAtEveryByteStopsCleanly)
{
    const std::string bytes = BuildRbf(Names({"a\\b.txt", "c"}));
    TestWindow w;
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const LoadOutcome outcome = w.Open(bytes.substr(0, length), "t.big");
        if (length < 7) {
            EXPECT_EQ(outcome, LoadOutcome::Rejected) << length; // too short for the signature
        } else {
            ASSERT_EQ(outcome, LoadOutcome::Failed) << length;
            EXPECT_EQ(w.widgets.LogLines().back().rfind("Load failed: the file ends inside ", 0), 0u)
                << length;
        }
    }
}
