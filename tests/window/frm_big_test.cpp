#include "commands/exit_command.h"
#include "support/archive_builders.h"
#include "support/memory_widgets.h"
#include "support/temp_dir.h"
#include "window/frm_big.h"
#include "window/layout.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace archive::testing;

TEST(FormLoad, TitleCarriesTheVersion)
{
    EXPECT_EQ(FormTitle(1, 6, 0), "Tavrin's SV1 / SV2 / MF Archive Tool v1.6.0");
    EXPECT_EQ(FormTitle(2, 10, 3), "Tavrin's SV1 / SV2 / MF Archive Tool v2.10.3");
    MemoryWidgets widgets;
    widgets.progressValue = 42;
    FrmBig frm(widgets);
    frm.Form_Load();
    EXPECT_EQ(frm.Title(), "Tavrin's SV1 / SV2 / MF Archive Tool v1.6.0");
    EXPECT_NE(frm.Zlib, nullptr);
    EXPECT_EQ(widgets.progressValue, 0);
    EXPECT_TRUE(mnuFileExit_Click(frm));
    EXPECT_EQ(frm.Zlib, nullptr);
}

TEST(Log, sTextAppendsTheLineAndCrLf)
{
    MemoryWidgets widgets;
    FrmBig frm(widgets);
    frm.sText("abc");
    EXPECT_EQ(widgets.log, "abc\r\n");
    frm.sText("d");
    EXPECT_EQ(widgets.log, "abc\r\nd\r\n");
}

TEST(Log, DebugSwitchAndDebugFile)
{
    TempDir dir;
    MemoryWidgets widgets;
    FrmBig frm(widgets);
    frm.ArchivePath = dir.File("a.big");
    frm.mnuOptionsDebugToFile_Click();
    frm.mnuOptionsDebugToFile_Click();
    EXPECT_FALSE(frm.DebugToFile);

    // With no debug file open a line is dropped, never a crash.
    frm.DebugToFile = true;
    frm.dText("dropped");

    WriteBytes(dir.File("a.big.debug.txt"), "an older and longer debug file");
    std::string error;
    ASSERT_TRUE(frm.DebugFileStart(".debug.txt", error)) << error;
    frm.dText("one");
    frm.DebugToFile = false;
    frm.dText("not written: the switch is off");
    frm.DebugToFile = true;
    frm.dText(std::string("t\xE9\0x", 4));
    frm.DebugFileEnd();
    EXPECT_EQ(ReadBytes(dir.File("a.big.debug.txt")), std::string("one\r\nt\xE9\0x\r\n", 11));

    frm.ArchivePath = dir.File("no-such-folder/a.big");
    EXPECT_FALSE(frm.DebugFileStart(".debug.txt", error));
    EXPECT_NE(error.find("cannot create the debug file"), std::string::npos);
}

TEST(Layout, OuterSizeOfTheFirstShow)
{
    const FormLayout layout = FormResizeLayout(9615, 8140, 3855);
    EXPECT_EQ(layout.progressWidth, 9465.0f);
    EXPECT_EQ(layout.progressTop, 6840.0f);
    EXPECT_EQ(layout.treeWidth, 3807.5f);
    EXPECT_EQ(layout.treeHeight, 5840.0f);
    EXPECT_EQ(layout.logLeft, 3807.5f + 150.0f);
    EXPECT_EQ(layout.logHeight, 5840.0f);
    EXPECT_EQ(layout.logWidth, 5457.5f);
}

TEST(Layout, ShrunkenWindowSkipsRefusedSizes)
{
    const FormLayout layout = FormResizeLayout(1500, 1000, 3855);
    EXPECT_EQ(layout.progressWidth, 1350.0f);
    EXPECT_EQ(layout.progressTop, -300.0f);
    EXPECT_FALSE(layout.treeWidth.has_value());
    EXPECT_FALSE(layout.treeHeight.has_value());
    // The log box's left still follows the tree's width as it stands.
    EXPECT_EQ(layout.logLeft, 3855.0f + 150.0f);
    EXPECT_FALSE(layout.logHeight.has_value());
    EXPECT_EQ(layout.logWidth, 1400.0f);
}
