#include "commands/entry_preview.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace archive::testing;

namespace {

std::string Lines(std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "row " + std::to_string(i) + " of a long table\r\n";
    }
    text.resize(size);
    return text;
}

} // namespace

// A preview reads as far as its view shows, whatever the entry inflates to: the text
// view's MiB and one byte, or a whole image; what it has not read it does not judge.
TEST(PreviewFetch, ReadsWhatTheViewShowsAndNoMore)
{
    const std::string big = Lines(24u << 20);
    std::string cutLate = ZlibCompress(big);
    cutLate.resize(cutLate.size() - 100); // damaged far past what is shown
    const std::string picture = "\x89PNG" + std::string(3u << 20, 'p');
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "table.txt", .content = big, .compress = true},
                                      {.name = "cut.txt", .content = big, .storedBytes = cutLate},
                                      {.name = "picture.bin", .content = picture, .compress = true},
                                      {.name = "small.txt", .content = "hello", .compress = true}}}});
    recipe.files[1].expandedSize = static_cast<std::int32_t>(big.size());
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const CatalogueTree& tree = w.frm.tree();

    const EntryPreview table = PreviewEntry(w.frm, tree.IndexOfKey("n-1\\f0"));
    EXPECT_EQ(table.problem, "");
    EXPECT_TRUE(table.partial);
    EXPECT_EQ(table.size, static_cast<std::int64_t>(big.size()));
    EXPECT_EQ(std::string(table.content.AsText()), big.substr(0, kPreviewTextLimit + 1));

    const EntryPreview cut = PreviewEntry(w.frm, tree.IndexOfKey("n-1\\f1"));
    EXPECT_EQ(cut.problem, "");
    EXPECT_TRUE(cut.partial);

    // An image by its first bytes is read whole.
    const EntryPreview image = PreviewEntry(w.frm, tree.IndexOfKey("n-1\\f2"));
    EXPECT_FALSE(image.partial);
    EXPECT_EQ(image.content.size(), picture.size());

    const EntryPreview small = PreviewEntry(w.frm, tree.IndexOfKey("n-1\\f3"));
    EXPECT_FALSE(small.partial);
    EXPECT_EQ(small.size, 5);
    EXPECT_EQ(small.content.AsText(), "hello");
    EXPECT_EQ(PreviewLimit("x.TGA", ""), kPreviewImageLimit);
    EXPECT_EQ(PreviewLimit("x.dat", "BM6"), kPreviewImageLimit);
    EXPECT_EQ(PreviewLimit("x.dat", "text"), kPreviewTextLimit + 1);
}

// A face runs the fetch a piece at a time and may load another archive (or close the
// preview) in between: the fetch keeps nothing of the catalogue it came from.
TEST(PreviewFetch, RunsInStepsAndOutlivesTheCatalogue)
{
    const std::string text = Lines(3u << 20);
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout({{"", {{.name = "a.bin", .content = text}}}}))),
              LoadOutcome::Loaded);
    PreviewFetch fetch(w.frm, w.frm.tree().IndexOfKey("n-1\\f0"));
    EXPECT_TRUE(fetch.Step());
    EXPECT_GT(fetch.Done(), 0);
    EXPECT_EQ(fetch.Total(), static_cast<std::int64_t>(text.size()));
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout({{"", {{.name = "other", .content = "x"}}}})), "other.sga"),
              LoadOutcome::Loaded);
    int steps = 1;
    while (fetch.Step()) {
        ++steps;
    }
    EXPECT_LE(steps, 3);
    const EntryPreview preview = fetch.Take();
    EXPECT_EQ(preview.name, "a.bin");
    EXPECT_EQ(std::string(preview.content.AsText()), text.substr(0, kPreviewTextLimit + 1));

    // Dropped mid-way, it leaves nothing behind.
    auto early = std::make_unique<PreviewFetch>(w.frm, 1);
    early.reset();
}

TEST(LooksLikeText, DelIsAControlCharacter)
{
    EXPECT_FALSE(LooksLikeText(std::string(500, '\x7F')));
    EXPECT_TRUE(LooksLikeText("plain text\r\n\twith tabs"));
    EXPECT_FALSE(LooksLikeText(std::string("nul\0inside", 10)));
}
