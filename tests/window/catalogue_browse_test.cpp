// The browser's decisions below the faces: details columns and totals, the
// filter, the preview's reading of an entry, and the files a drag hands over.
#include "commands/catalogue_details.h"
#include "commands/drag_extract.h"
#include "commands/entry_preview.h"
#include "support/test_window.h"
#include "window/catalogue_filter.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace archive;
using namespace archive::testing;

namespace {

std::string Column(const TestWindow& w, const CatalogueDetails& d, const std::string& key,
                   DetailsColumn column)
{
    return d.Text(w.frm.tree().IndexOfKey(key), column, ",", ".");
}

// The texts of the kept nodes, in index order.
std::vector<std::string> Kept(const TestWindow& w, const std::vector<char>& keep)
{
    std::vector<std::string> texts;
    for (std::size_t i = 1; i < keep.size(); ++i) {
        if (keep[i]) {
            texts.push_back(w.frm.tree().Node(static_cast<int>(i)).text);
        }
    }
    return texts;
}

SgaSpec MixedSga()
{
    return SgaFromLayout({{"", {{.name = "readme.txt", .content = std::string(3000, 'r'), .compress = true}}},
                          {"maps", {{.name = "Town.MAP", .content = std::string(1000, 'm')}}},
                          {"maps\\deep", {{.name = "cave.map", .content = "cave", .compress = true}}},
                          {"empty", {}}});
}

} // namespace

TEST(CatalogueDetails, SgaColumnsAndFolderTotals)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedSga())), LoadOutcome::Loaded);
    CatalogueDetails d;
    d.Build(w.frm);

    const int readme = w.frm.tree().IndexOfKey("n-1\\f0");
    const SgaFile& row0 = w.frm.Sga.SgaFiles[0];
    EXPECT_FALSE(d.IsFolder(readme));
    EXPECT_EQ(d.Text(readme, DetailsColumn::Size, ",", "."), "3.000");
    EXPECT_EQ(d.Text(readme, DetailsColumn::Packed, ",", "."), std::to_string(row0.StoredSize));
    EXPECT_EQ(d.Text(readme, DetailsColumn::Offset, ",", "."),
              std::to_string(w.frm.Sga.SgaHeader.DataOffset + row0.EntryOffset));
    EXPECT_EQ(d.Text(readme, DetailsColumn::Crc, ",", "."), "");
    EXPECT_EQ(Column(w, d, "n0\\f1", DetailsColumn::Ratio), "100%"); // stored as is

    // Folders add up what they hold, at every level; an empty folder shows nothing.
    const SgaFile& cave = w.frm.Sga.SgaFiles[2];
    EXPECT_TRUE(d.IsFolder(w.frm.tree().IndexOfKey("n0")));
    EXPECT_EQ(Column(w, d, "n0", DetailsColumn::Size), "1.004");
    EXPECT_EQ(Column(w, d, "n0", DetailsColumn::Packed), GroupedNumber(1000 + cave.StoredSize, "."));
    EXPECT_EQ(Column(w, d, "n-1", DetailsColumn::Size), "4.004");
    EXPECT_EQ(d.Of(w.frm.tree().IndexOfKey("n-1")).files, 3);
    EXPECT_EQ(Column(w, d, "n0", DetailsColumn::Offset), "");
    EXPECT_EQ(Column(w, d, "n2", DetailsColumn::Size), "");

    // Sorting by size puts the small cave file before the folder total; names fold case.
    EXPECT_TRUE(d.Less(w.frm.tree().IndexOfKey("n1\\f2"), readme, DetailsColumn::Size));
    EXPECT_TRUE(
        d.Less(w.frm.tree().IndexOfKey("n1\\f2"), w.frm.tree().IndexOfKey("n0\\f1"), DetailsColumn::Name));
}

TEST(CatalogueDetails, RbfSizesFromTheTableAndCrcAsTheDumpShowsIt)
{
    TestWindow w;
    RbfSpec recipe;
    recipe.entries = {{.name = "x\\y.txt", .crc = -123456, .compr = 10, .uncompr = 40},
                      {.name = "x\\z.txt", .crc = 50000, .compr = 5, .uncompr = -7},
                      {.name = "top.dat", .crc = 1, .compr = 1, .uncompr = 1}};
    ASSERT_EQ(w.Open(BuildRbf(recipe), "a.big"), LoadOutcome::Loaded);
    CatalogueDetails d;
    d.Build(w.frm);
    EXPECT_EQ(Column(w, d, "x\\y.txt", DetailsColumn::Crc), "-12,3456");
    EXPECT_EQ(Column(w, d, "x\\z.txt", DetailsColumn::Crc), "5");
    EXPECT_EQ(Column(w, d, "x\\y.txt", DetailsColumn::Size), "40");
    EXPECT_EQ(Column(w, d, "x\\y.txt", DetailsColumn::Packed), "10");
    EXPECT_EQ(Column(w, d, "x\\y.txt", DetailsColumn::Ratio), "25%");
    EXPECT_EQ(Column(w, d, "x\\y.txt", DetailsColumn::Offset), "");
    EXPECT_EQ(Column(w, d, "x\\z.txt", DetailsColumn::Size), "-7"); // shown as read
    EXPECT_EQ(Column(w, d, "x", DetailsColumn::Size), "40");        // but adds nothing to a total
    EXPECT_EQ(Column(w, d, "x", DetailsColumn::Packed), "15");
    EXPECT_EQ(Column(w, d, "x", DetailsColumn::Crc), "");
    EXPECT_TRUE(d.IsFolder(w.frm.tree().IndexOfKey("Root")));
    EXPECT_FALSE(d.IsFolder(w.frm.tree().IndexOfKey("top.dat")));
    const int y = w.frm.tree().IndexOfKey("x\\y.txt");
    const int z = w.frm.tree().IndexOfKey("x\\z.txt");
    EXPECT_TRUE(d.Less(y, z, DetailsColumn::Name));

    // The next load's names order the next sort, not the names of the last.
    recipe.entries = {{.name = "x\\Z.txt"}, {.name = "x\\a.txt"}, {.name = "top.dat"}};
    ASSERT_EQ(w.Open(BuildRbf(recipe), "b.big"), LoadOutcome::Loaded);
    d.Build(w.frm);
    EXPECT_TRUE(d.Less(w.frm.tree().IndexOfKey("x\\a.txt"), w.frm.tree().IndexOfKey("x\\Z.txt"),
                       DetailsColumn::Name));
    EXPECT_FALSE(d.Less(w.frm.tree().IndexOfKey("x\\Z.txt"), w.frm.tree().IndexOfKey("x\\a.txt"),
                        DetailsColumn::Name));
}

TEST(CatalogueFilter, FragmentsWildcardsCaseAndFolders)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedSga())), LoadOutcome::Loaded);
    CatalogueFilter f;
    f.Index(w.frm.tree());
    using Texts = std::vector<std::string>;
    EXPECT_EQ(Kept(w, f.Keep("town")), (Texts{"Data", "maps", "Town.MAP"}));
    EXPECT_EQ(Kept(w, f.Keep("MAPS/DEEP")), (Texts{"Data", "maps", "deep", "cave.map"}));
    EXPECT_EQ(Kept(w, f.Keep("c?ve")), (Texts{"Data", "maps", "deep", "cave.map"}));
    EXPECT_EQ(Kept(w, f.Keep("*.map")), (Texts{"Data", "maps", "deep", "Town.MAP", "cave.map"}));
    EXPECT_EQ(Kept(w, f.Keep("empty")), (Texts{"Data", "empty"}));
    EXPECT_EQ(Kept(w, f.Keep("nothing")), Texts{});
    EXPECT_EQ(Kept(w, f.Keep("")).size(), w.frm.tree().Count());
    // The root's own name is not part of the paths below it.
    EXPECT_EQ(Kept(w, f.Keep("data\\maps")), Texts{});

    EXPECT_TRUE(HoldsWildcardMatch("maps\\town.map", "m*p"));
    EXPECT_TRUE(HoldsWildcardMatch("abc", "*"));
    EXPECT_FALSE(HoldsWildcardMatch("ab", "a?b"));
    EXPECT_TRUE(HoldsWildcardMatch("aXbab", "a?bab"));
    EXPECT_EQ(FoldCase("\xC9t\xC9 \x8A\x9F"), "\xE9t\xE9 \x9A\xFF");
}

TEST(CatalogueFilter, LargeCatalogueKeepsTheFoldersOfItsMatches)
{
    std::vector<SgaLayoutDir> dirs{{"", {}}};
    for (int d = 0; d < 300; ++d) {
        SgaLayoutDir dir{"folder" + std::to_string(d), {}};
        for (int f = 0; f < 50; ++f) {
            dir.files.push_back({.name = "file" + std::to_string(d * 50 + f) + ".dat"});
        }
        dirs.push_back(std::move(dir));
    }
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout(dirs))), LoadOutcome::Loaded);
    CatalogueFilter f;
    f.Index(w.frm.tree());
    EXPECT_EQ(f.Count(), 1u + 300 + 15000);
    const std::vector<std::string> kept = Kept(w, f.Keep("file1499?.dat"));
    EXPECT_EQ(kept,
              (std::vector<std::string>{"Data", "folder299", "file14990.dat", "file14991.dat",
                                        "file14992.dat", "file14993.dat", "file14994.dat", "file14995.dat",
                                        "file14996.dat", "file14997.dat", "file14998.dat", "file14999.dat"}));
}

TEST(EntryPreview, ContentInflatedInMemoryOrWhyNot)
{
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "note.txt", .content = "hello\r\nworld", .compress = true},
                                      {.name = "broken.bin", .content = "0123456789", .compress = true},
                                      {.name = "short.bin", .content = "abc"}}},
                                    {"dir", {}}});
    std::string damaged = ZlibCompress("0123456789");
    damaged[4] = static_cast<char>(damaged[4] ^ 0x55);
    recipe.files[1].storedBytes = damaged;
    recipe.files[2].storedSize = 1 << 20; // claims more than the archive holds
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);

    const EntryPreview note = PreviewEntry(w.frm, w.frm.tree().IndexOfKey("n-1\\f0"));
    EXPECT_EQ(note.problem, "");
    EXPECT_EQ(note.name, "note.txt");
    EXPECT_EQ(note.content.AsText(), "hello\r\nworld");

    const EntryPreview broken = PreviewEntry(w.frm, w.frm.tree().IndexOfKey("n-1\\f1"));
    EXPECT_NE(broken.problem.find("zlib status -3, data error"), std::string::npos) << broken.problem;
    EXPECT_TRUE(broken.content.empty());
    EXPECT_NE(PreviewEntry(w.frm, w.frm.tree().IndexOfKey("n-1\\f2")).problem.find("past the end"),
              std::string::npos);
    EXPECT_NE(PreviewEntry(w.frm, w.frm.tree().IndexOfKey("n0")).problem.find("folder"), std::string::npos);

    // Nothing was written next to the archive or in the output root.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::recursive_directory_iterator(w.dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(EntryPreview, TextTestAndHexDump)
{
    EXPECT_TRUE(LooksLikeText("plain\ttext\r\nwith \xE9 accents"));
    EXPECT_FALSE(LooksLikeText(std::string("a\0b", 3)));
    EXPECT_FALSE(LooksLikeText("\x01\x02\x03\x04"));
    EXPECT_EQ(HexDump("ABC\x01", 16), "00000000  41 42 43 01                                      ABC.\n");
    const std::string dump = HexDump(std::string(40, 'x'), 32);
    EXPECT_NE(dump.find("00000010 "), std::string::npos);
    EXPECT_NE(dump.find("... 8 more bytes not shown"), std::string::npos);
}

TEST(DragExtract, FoldersAndFilesOnceEachUnderTheirTreeNames)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedSga())), LoadOutcome::Loaded);
    const CatalogueTree& tree = w.frm.tree();
    const std::vector<int> nodes{tree.IndexOfKey("n0"), tree.IndexOfKey("n1\\f2"),
                                 tree.IndexOfKey("n-1\\f0")};
    const DragPlanSize size = MeasureDrag(w.frm, nodes);
    EXPECT_EQ(size.files, 3);
    EXPECT_EQ(size.bytes, 4004);

    const std::filesystem::path out = w.dir.path() / "drag";
    std::filesystem::create_directories(out);
    int calls = 0;
    const DragExtractReport report =
        ExtractForDrag(w.frm, nodes, out, [&](int, std::int64_t) { return ++calls > 0; });
    EXPECT_EQ(report.written, 3);
    EXPECT_TRUE(report.failures.empty());
    ASSERT_EQ(report.handed.size(), 2u); // the cave file went with its folder
    EXPECT_EQ(report.handed[0], out / "maps");
    EXPECT_EQ(report.handed[1], out / "readme.txt");
    EXPECT_EQ(ReadBytes((out / "maps" / "deep" / "cave.map").string()), "cave");
    EXPECT_EQ(ReadBytes((out / "readme.txt").string()), std::string(3000, 'r'));
    EXPECT_EQ(calls, 3);

    // Stopped after the first entry: nothing more is written and nothing is handed over.
    const std::filesystem::path again = w.dir.path() / "again";
    std::filesystem::create_directories(again);
    const DragExtractReport stopped =
        ExtractForDrag(w.frm, nodes, again, [](int, std::int64_t) { return false; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.written, 1);
}

// What a command acts on is what the filter shows; a filter that keeps
// nothing says so.
TEST(CatalogueFilter, CommandsActOnlyOnWhatTheFilterShows)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(MixedSga())), LoadOutcome::Loaded);
    CatalogueFilter f;
    f.Index(w.frm.tree());
    const int readme = w.frm.tree().IndexOfKey("n-1\\f0");
    const int town = w.frm.tree().IndexOfKey("n0\\f1");
    const std::vector<char> kept = f.Keep("town");
    EXPECT_EQ(ShownNodes({readme, town}, kept), std::vector<int>{town});
    EXPECT_EQ(ShownNodes({readme}, kept), std::vector<int>{});
    EXPECT_EQ(ShownNodes({readme, town}, {}), (std::vector<int>{readme, town})); // no filter
    EXPECT_FALSE(ShownByFilter(0, kept));

    EXPECT_EQ(FilterEmptyText(kept), "");
    EXPECT_EQ(FilterEmptyText({}), "");
    EXPECT_EQ(FilterEmptyText(f.Keep("nothing")), "No matches");
    EXPECT_EQ(FilterEmptyText(std::vector<char>(1, 0)), "No matches"); // an empty catalogue, filtered
}

// The widest text of a column over the whole catalogue, as the views show it:
// a face sizes the column once per load.
TEST(CatalogueDetails, WidestTextOfAColumn)
{
    TestWindow w;
    RbfSpec recipe;
    recipe.entries = {{.name = "x\\y.txt", .crc = -123456, .compr = 10, .uncompr = 40},
                      {.name = "x\\z.txt", .crc = 5, .compr = 1234567, .uncompr = -7},
                      {.name = "top.dat", .crc = 1, .compr = 1, .uncompr = 1}};
    ASSERT_EQ(w.Open(BuildRbf(recipe), "a.big"), LoadOutcome::Loaded);
    CatalogueDetails d;
    d.Build(w.frm);
    EXPECT_EQ(d.WidestText(DetailsColumn::Crc, ",", "."), "-12,3456");
    EXPECT_EQ(d.WidestText(DetailsColumn::Packed, ",", "."), "1.234.578"); // the root's total
    EXPECT_EQ(d.WidestText(DetailsColumn::Offset, ",", "."), "");
    EXPECT_EQ(d.WidestText(DetailsColumn::Name, ",", "."), "");

    ASSERT_EQ(w.Open(BuildSga(MixedSga())), LoadOutcome::Loaded);
    d.Build(w.frm);
    std::string longest;
    for (int node = 1; node <= static_cast<int>(w.frm.tree().Count()); ++node) {
        const std::string text = d.Text(node, DetailsColumn::Offset, ",", ".");
        longest = text.size() > longest.size() ? text : longest;
    }
    EXPECT_FALSE(longest.empty());
    EXPECT_EQ(d.WidestText(DetailsColumn::Offset, ",", "."), longest);
    EXPECT_EQ(d.WidestText(DetailsColumn::Size, ",", "."), "4.004"); // the root's total
}
