#include "cli/listing.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

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
}
