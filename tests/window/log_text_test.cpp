#include "support/test_window.h"
#include "window/log_text.h"
#include "window/view_batch.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace archive::testing;

namespace {

std::vector<std::u16string> Lines(const LogText& log)
{
    std::vector<std::u16string> lines;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        lines.emplace_back(log.Line(i));
    }
    return lines;
}

} // namespace

// Only the log's own line ends break lines; control characters of archive
// text show as visible symbols.
TEST(LogText, ArchiveTextNeverBreaksALine)
{
    EXPECT_EQ(VisibleLogText("abc\r\n"), u"abc\n");
    EXPECT_EQ(VisibleLogText("a\r\nLoad failed: FORGED\r\n"), u"a\u240D\u240ALoad failed: FORGED\n");
    EXPECT_EQ(VisibleLogText("lone\nfeed\r\n"), u"lone\u240Afeed\n");
    EXPECT_EQ(VisibleLogText(std::string("\x1b[2J\t\x7f\x81\x00 \xe9", 10)),
              u"\u241B[2J\u2409\u2421\uFFFD\u2400 \u00E9"); // no line end: an open line
    EXPECT_EQ(VisibleLogText("\r\n"), u"\n");
    EXPECT_EQ(VisibleLogText("\r"), u"\u240D");
}

// A sound load whose TOC alias and archive type hold CR LF: its log, as a
// window gathers it, has no line of the archive's making.
TEST(LogText, ALoadCannotForgeALine)
{
    struct BatchedWidgets : MemoryWidgets {
        ViewBatch batch;
        void AppendLog(std::string_view text, LogKind kind) override
        {
            MemoryWidgets::AppendLog(text, kind);
            batch.AppendLog(text);
        }
    };
    SgaSpec sga =
        SgaFromLayout({{"", {{.name = "a.txt", .content = "alpha"}}}}, "Data\r\nLoad failed: FORGED");
    sga.archiveType = "type\nLoad failed: FORGED";
    TempDir dir;
    WriteBytes(dir.File("forged.sga"), BuildSga(sga));
    BatchedWidgets widgets;
    FrmBig frm(widgets);
    frm.Form_Load();
    ASSERT_EQ(OpenChosenFile(frm, dir.File("forged.sga")), LoadOutcome::Loaded);
    ASSERT_NE(widgets.log.find("FORGED"), std::string::npos);
    LogText log;
    log.Append(widgets.batch.Take(ViewBatch::Clock::now()).log);
    for (const std::u16string& line : Lines(log)) {
        EXPECT_NE(line.rfind(u"Load failed", 0), 0u);
    }
    EXPECT_NE(log.Text().find(u"TOC Alias=Data\u240D\u240ALoad failed: FORGED\n"), std::u16string::npos);
}

TEST(LogText, LinesAndTheirStarts)
{
    LogText log;
    EXPECT_EQ(log.LineCount(), 1u);
    log.Append(u"one\ntw");
    log.Append(u"o\n");
    log.Append(u"three");
    EXPECT_EQ(Lines(log), (std::vector<std::u16string>{u"one", u"two", u"three"}));
    EXPECT_EQ(log.LineStart(1), 4u);
    EXPECT_EQ(log.LineEnd(1), 7u);
    EXPECT_EQ(log.LineOf(0), 0u);
    EXPECT_EQ(log.LineOf(3), 0u); // the line end belongs to its line
    EXPECT_EQ(log.LineOf(4), 1u);
    EXPECT_EQ(log.LineOf(100), 2u);
    EXPECT_TRUE(log.Line(9).empty());
    log.Clear();
    EXPECT_EQ(log.LineCount(), 1u);
    EXPECT_TRUE(log.Text().empty());
}

TEST(LogText, Selection)
{
    LogText log;
    log.Append(u"Identifier=_ARCHIVE\nPath .\\data\\maps\\a.txt, done\n");
    log.SetSelection(5, 200); // clamped to the text
    EXPECT_EQ(log.SelectionEnd(), log.Text().size());
    log.SetSelection(30, 5); // backwards
    EXPECT_EQ(log.SelectionStart(), 5u);
    EXPECT_EQ(log.SelectedText(), u"ifier=_ARCHIVE\nPath .\\dat");
    EXPECT_EQ(log.SelectedText(u"\r\n"), u"ifier=_ARCHIVE\r\nPath .\\dat");
    log.ExtendSelection(1);
    EXPECT_EQ(log.Anchor(), 30u);
    EXPECT_EQ(log.SelectedText(), u"dentifier=_ARCHIVE\nPath .\\dat");

    EXPECT_EQ(log.WordAt(13), (std::pair<std::size_t, std::size_t>{11, 19})); // the value, not its name
    const std::size_t path = log.Text().find(u".\\data");
    EXPECT_EQ(log.WordAt(path + 3), (std::pair<std::size_t, std::size_t>{path, path + 17})); // a path whole
    log.SelectLines(1, 1);
    EXPECT_EQ(log.SelectedText(), u"Path .\\data\\maps\\a.txt, done");
    log.SelectLines(1, 0);
    EXPECT_EQ(log.Caret(), 0u);
    log.SelectAll();
    EXPECT_EQ(log.SelectionEnd() - log.SelectionStart(), log.Text().size());
    log.Clear();
    EXPECT_FALSE(log.HasSelection());
}

// The view follows the end as lines come, unless the user scrolled back.
TEST(LogText, FollowsTheEndUnlessScrolledBack)
{
    LogText log;
    log.SetVisibleLines(3);
    for (int i = 0; i < 10; ++i) {
        log.Append(u"line\n");
    }
    EXPECT_EQ(log.LineCount(), 11u);
    EXPECT_EQ(log.TopLine(), 8u);
    EXPECT_TRUE(log.FollowingEnd());

    log.ScrollTo(2);
    log.Append(u"more\nmore\n");
    EXPECT_EQ(log.TopLine(), 2u);
    EXPECT_FALSE(log.FollowingEnd());

    log.ScrollTo(1000); // back at the end: follows again
    EXPECT_EQ(log.TopLine(), log.LastTopLine());
    log.Append(u"x\n");
    EXPECT_EQ(log.TopLine(), log.LastTopLine());

    log.HoldScroll(true); // the thumb held: new lines do not move it
    const std::size_t held = log.TopLine();
    log.Append(u"y\n");
    EXPECT_EQ(log.TopLine(), held);
    log.HoldScroll(false);

    log.SetVisibleLines(100); // everything fits
    EXPECT_EQ(log.TopLine(), 0u);
    log.Clear();
    EXPECT_TRUE(log.FollowingEnd());
}
