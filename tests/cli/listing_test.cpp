#include "cli/console_widgets.h"
#include "cli/listing.h"
#include "extract/extract.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

using namespace archive;
using namespace archive::testing;

TEST(Listing, OutlineAndTsv)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(WorkedExampleSga())), LoadOutcome::Loaded);
    EXPECT_EQ(ListOutline(w.frm.tree()),
              "Data\n  art\n    tex\n      d.tga\n    b.tga\n    c.tga\n  ui\n  a.txt\n");
    const std::string tsv = ListTsv(w.frm.tree());
    EXPECT_EQ(tsv.substr(0, tsv.find('\n', tsv.find('\n') + 1) + 1), "1\tn-1\t\tData\n2\tn0\tn-1\tart\n");
    EXPECT_NE(tsv.find("8\tn1\\f3\tn1\td.tga\n"), std::string::npos);
}

TEST(Listing, FieldsEscapeControlsAndConvertText)
{
    EXPECT_EQ(ListingField(std::string("a\tb\0c\x1f", 6)), "a\\x09b\\x00c\\x1F");
    EXPECT_EQ(ListingField("\xE9\x80"), "\xC3\xA9\xE2\x82\xAC");
}

TEST(Listing, NodesByArchivePath)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(WorkedExampleSga())), LoadOutcome::Loaded);
    const CatalogueTree& tree = w.frm.tree();
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "art/tex/d.tga")).key, "n1\\f3");
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "art\\tex")).key, "n1");
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "a.txt")).key, "n-1\\f0");
    EXPECT_EQ(FindNodeByArchivePath(w.frm, "nothing"), 0);
    EXPECT_EQ(FindNodeByArchivePath(w.frm, ""), 0);
    // Windows paths ignore letter case.
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "ART/Tex/D.TGA")).key, "n1\\f3");
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "Art")).key, "n0");
    EXPECT_EQ(FindNodeByArchivePath(w.frm, "art/tex/d.tg"), 0);
}

TEST(Listing, AnExactPathWinsOverOneThatDiffersInLetterCase)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout({{"",
                                              {{.name = "Read.txt", .content = "1"},
                                               {.name = "READ.TXT", .content = "2"},
                                               {.name = "\xC9t\xE9.txt", .content = "3"}}}}))),
              LoadOutcome::Loaded);
    const CatalogueTree& tree = w.frm.tree();
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "READ.TXT")).key, "n-1\\f1");
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "Read.txt")).key, "n-1\\f0");
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "read.txt")).key, "n-1\\f0"); // the first in index order
    EXPECT_EQ(tree.Node(FindNodeByArchivePath(w.frm, "\xE9T\xC9.TXT")).key, "n-1\\f2"); // Latin-1 letters too
}

TEST(Listing, LongTotalsLeaveOutNegativeSizes)
{
    SgaSpec recipe =
        SgaFromLayout({{"", {{.name = "a", .content = "12345"}, {.name = "b", .content = "xy"}}}});
    recipe.files[1].expandedSize = -100;
    recipe.files[1].storedSize = -50;
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const std::string listing = ListLong(w.frm);
    EXPECT_NE(listing.find("        -100          -50"), std::string::npos) << listing; // shown as read
    const std::string totals = listing.substr(listing.rfind('\n', listing.size() - 2) + 1);
    EXPECT_EQ(totals.substr(0, 25), "           5            5") << listing;
    EXPECT_NE(totals.find("2 files"), std::string::npos) << listing;
}

TEST(Listing, JsonHoldsEveryNodeWithItsDetailsAsUtf8)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(WorkedExampleSga())), LoadOutcome::Loaded);
    const std::string json = ListJson(w.frm);
    EXPECT_EQ(
        json.substr(0, json.find('\n', json.find('\n') + 1)),
        "{\"format\": \"SGA\", \"nodes\": [\n{\"index\": 1, \"key\": \"n-1\", \"parent\": null, \"text\": "
        "\"Data\"},");
    EXPECT_NE(json.find("{\"index\": 8, \"key\": \"n1\\\\f3\", \"parent\": \"n1\", \"text\": \"d.tga\", "
                        "\"file\": {\"path\": \"art\\\\tex\\\\d.tga\", \"size\": "),
              std::string::npos)
        << json;
    EXPECT_EQ(json.substr(json.size() - 5), "}\n]}\n");
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1 + 8 + 1); // a line per node

    // Quotes, backslashes, controls and letters beyond ASCII in a name.
    const std::string name = "q\"\x01\t\x7f\x9d\xE9\x80.txt";
    TestWindow hostile;
    ASSERT_EQ(hostile.Open(BuildSga(SgaFromLayout({{"", {{.name = name, .content = "x"}}}}))),
              LoadOutcome::Loaded);
    const std::string text = ListJson(hostile.frm);
    EXPECT_NE(
        text.find("\"text\": \"q\\\"\\u0001\\u0009\\u007F\\u009D\xC3\xA9\xE2\x82\xAC.txt\", \"file\": "),
        std::string::npos)
        << text;
    for (const char c : text) {
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << static_cast<int>(c);
    }
    EXPECT_EQ(JsonString("a\\b"), "\"a\\\\b\"");

    TestWindow empty; // nothing loaded: still one document
    EXPECT_EQ(ListJson(empty.frm), "{\"format\": null, \"nodes\": [\n]}\n");
}

TEST(Console, NoControlCharacterFromAnArchiveReachesTheTerminal)
{
    EXPECT_EQ(ConsoleText("Creating directory: a\x1b[2Jb\r\n"), "Creating directory: a\\x1B[2Jb\n");
    EXPECT_EQ(ConsoleText(std::string("\x07\x7f\x9d\x81\xe9\0x\r\ny\r\n", 12)),
              "\\x07\\x7F\\x9D\\x81\xC3\xA9\\x00x\\x0D\\x0Ay\n");
    EXPECT_EQ(ConsoleText("Invalid Archive File\n"), "Invalid Archive File\n");

    // Names, alias and archive type through info, extract and the failure lines.
    const std::string hostile = "\x1b]0;owned\x07\x1b[31m\rX\x9d";
    SgaSpec recipe = SgaFromLayout({{"", {{.name = "f" + hostile, .content = "f"}}},
                                    {"d" + hostile, {{.name = "g", .content = "g"}}},
                                    {"..\\" + hostile, {{.name = "h", .content = "h"}}}},
                                   "A" + hostile);
    recipe.archiveType = "T" + hostile;
    TestWindow w;
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        ConsoleWidgets console(out, out);
        console.SetEcho(true);
        FrmBig frm(console);
        frm.Form_Load();
        frm.OutputBase = w.dir.path();
        WriteBytes(w.dir.File("hostile.sga"), BuildSga(recipe));
        ASSERT_EQ(OpenChosenFile(frm, w.dir.File("hostile.sga")), LoadOutcome::Loaded);
        ExtractAll(frm);
        frm.ReportFailure("Error: cannot write " + hostile);
    }
    std::string printed(1 << 16, '\0');
    std::rewind(out);
    printed.resize(std::fread(printed.data(), 1, printed.size(), out));
    std::fclose(out);
    ASSERT_NE(printed.find("Archive Type=T\\x1B]0;owned\\x07\\x1B[31m\\x0DX\\x9D"), std::string::npos)
        << printed;
#ifndef _WIN32 // Windows names cannot hold control characters: there the alias itself is unsafe
    EXPECT_NE(printed.find("Creating directory: .\\data\\A\\x1B]0;owned"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Skipped unsafe path: ..\\\\x1B]0;owned"), std::string::npos) << printed;
#endif
    for (const char c : printed) {
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << static_cast<int>(c);
    }
}

// With the log echoed and a progress bar on the terminal, each line erases
// the bar; it comes back on its clock, not after every line (two writes a
// file, thousands a second). The NUL device takes no bar.
TEST(Console, TheProgressBarReturnsOnItsClockBetweenLogLines)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    const auto start = std::chrono::steady_clock::now();
    {
        ConsoleWidgets console(out, err);
        console.SetEcho(true);
        console.SetShowProgress(true);
        console.SetProgressMaximum(2000);
        for (int i = 0; i < 2000; ++i) {
            console.AppendLog("line " + std::to_string(i) + "\r\n", LogKind::Normal);
            console.SetProgressValue(static_cast<float>(i));
        }
    }
    const auto tenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count() /
        100;
    const auto read = [](std::FILE* file) {
        std::string text(1 << 20, '\0');
        std::rewind(file);
        text.resize(std::fread(text.data(), 1, text.size(), file));
        std::fclose(file);
        return text;
    };
    const std::string lines = read(out);
    const std::string bars = read(err);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2000);
    std::size_t drawn = 0;
    for (std::size_t at = bars.find("\r["); at != std::string::npos; at = bars.find("\r[", at + 1)) {
        ++drawn;
    }
    EXPECT_GE(drawn, 1u);
    EXPECT_LE(drawn, static_cast<std::size_t>(2 + tenths));

#ifdef _WIN32
    std::FILE* nul = std::fopen("NUL", "w");
#else
    std::FILE* nul = std::fopen("/dev/null", "w");
#endif
    ASSERT_NE(nul, nullptr);
    EXPECT_FALSE(IsTerminal(nul));
    std::fclose(nul);
}
