// The Windows preview window and drag and drop, under Wine: the window is
// shown an entry the core read and its child controls are read back; the
// data object of a drag is asked for its files as Explorer asks.
#include "commands/command_state.h"
#include "platform/text_encoding.h"
#include "support/test_window.h"
#include "win32/drag_source.h"
#include "win32/drop_target.h"
#include "win32/preview_image.h"
#include "win32/preview_window.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <zlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>

using namespace archive;
using namespace archive::testing;
using namespace archive::win32;
namespace fs = std::filesystem;

namespace {

std::wstring Text(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring Digits(std::wstring_view text)
{
    std::wstring digits;
    for (const wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            digits += c;
        }
    }
    return digits;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Runs the thread's messages until `done` or a second has passed.
template <typename Done> bool PumpUntil(Done done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    MSG message;
    while (!done() && std::chrono::steady_clock::now() < end) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(1);
    }
    return done();
}

void PutBig32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// A PNG of `width` by `height` RGBA pixels, rows of the given bytes.
std::string Png(std::uint32_t width, std::uint32_t height, const std::string& rgba)
{
    const auto chunk = [](std::string& out, const char* type, const std::string& data) {
        PutBig32(out, static_cast<std::uint32_t>(data.size()));
        const std::string typed = type + data;
        out += typed;
        PutBig32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                       static_cast<uInt>(typed.size()))));
    };
    std::string header;
    PutBig32(header, width);
    PutBig32(header, height);
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
    std::string raw;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw += '\0';
        raw += rgba.substr(y * width * 4, width * 4);
    }
    std::string packed(compressBound(static_cast<uLong>(raw.size())), '\0');
    uLongf size = static_cast<uLongf>(packed.size());
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
             static_cast<uLong>(raw.size()));
    packed.resize(size);
    std::string png = "\x89PNG\r\n\x1a\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

// A 24-bit TGA header for a true-colour image; `descriptor` 0x20 puts the first row on top.
std::string TgaHeader(int type, int width, int height, int bits, int descriptor)
{
    std::string header(18, '\0');
    header[2] = static_cast<char>(type);
    header[12] = static_cast<char>(width);
    header[14] = static_cast<char>(height);
    header[16] = static_cast<char>(bits);
    header[17] = static_cast<char>(descriptor);
    return header;
}

std::array<int, 4> PixelAt(const PreviewImage& image, int x, int y)
{
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) *
        4;
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2], image.pixels[at + 3]};
}

// An SGA archive with an entry of each kind, loaded into an in-memory window.
struct Loaded : ::testing::Test {
    TestWindow window;
    std::string binary = std::string("\x01\x02\x00\x03", 4) + std::string(40, '\xff');

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        const std::string red("\xff\x00\x00\xff", 4);
        const std::string clear = std::string(4, '\0');
        window.Open(BuildSga(SgaFromLayout(
            {{"",
              {{.name = "readme.txt", .content = "first line\nsecond\r\nthird", .compress = true},
               {.name = "data.bin", .content = binary}}},
             {"art",
              {{.name = "red.png", .content = Png(2, 1, red + clear)},
               {.name = "flag.tga",
                .content = TgaHeader(2, 2, 1, 24, 0x20) + std::string("\x00\x00\xff\x00\xff\x00", 6)},
               {.name = "plain.tga", .content = "not an image at all, just words"}}},
             {"empty", {}}})));
        ASSERT_TRUE(window.frm.SgaCatalogueShown());
    }
    void TearDown() override { OleUninitialize(); }

    int Node(const std::string& text) const
    {
        const CatalogueTree& tree = window.frm.tree();
        for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
            if (tree.Node(node).text == text) {
                return node;
            }
        }
        return 0;
    }
};

using Preview = Loaded;

TEST_F(Preview, ShowsTextAsTextWithItsLineEndsAndAnImageAsAnImage)
{
    PreviewWindow preview;
    preview.Show(nullptr, PreviewEntry(window.frm, Node("readme.txt")));
    ASSERT_NE(preview.hwnd(), nullptr);
    EXPECT_EQ(preview.shown(), PreviewWindow::Shown::Text);
    EXPECT_EQ(ClassOf(preview.content()), L"ArchiveToolLog"); // the line view of the log box
    EXPECT_TRUE(IsWindowVisible(preview.content()));
    EXPECT_EQ(Text(preview.content()), L"first line\r\nsecond\r\nthird"); // inflated, one kind of line end
    EXPECT_EQ(Text(preview.summary()), L"readme.txt: text, 24 bytes");
    EXPECT_EQ(Text(preview.hwnd()), L"Preview - readme.txt");

    // The same window shows the next entry: a PNG by its content, its alpha over the view's colour.
    const HWND first = preview.hwnd();
    preview.Show(nullptr, PreviewEntry(window.frm, Node("red.png")));
    EXPECT_EQ(preview.hwnd(), first);
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Image);
    EXPECT_EQ(ClassOf(preview.content()), PreviewWindow::kImageViewClass);
    EXPECT_TRUE(IsWindowVisible(preview.content()));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(preview.hwnd(), 2))); // the text view is put away
    EXPECT_EQ(preview.image().width, 2);
    EXPECT_EQ(preview.image().height, 1);
    EXPECT_EQ(PixelAt(preview.image(), 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(preview.image(), 1, 0)[3], 0);
    EXPECT_EQ(Text(preview.summary()).substr(0, 30), L"red.png: image, 2 x 1 pixels, ");

    // A TGA, which has no signature, by its name.
    preview.Show(nullptr, PreviewEntry(window.frm, Node("flag.tga")));
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Image);
    EXPECT_EQ(PixelAt(preview.image(), 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(preview.image(), 1, 0), (std::array<int, 4>{0, 255, 0, 255}));

    // Named as an image but holding words: text.
    preview.Show(nullptr, PreviewEntry(window.frm, Node("plain.tga")));
    EXPECT_EQ(preview.shown(), PreviewWindow::Shown::Text);
    EXPECT_EQ(Text(preview.content()), L"not an image at all, just words");
}

TEST_F(Preview, ShowsOtherBytesAsHexAndAFolderAsWhyNot)
{
    PreviewWindow preview;
    preview.Show(nullptr, PreviewEntry(window.frm, Node("data.bin")));
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Hex);
    EXPECT_EQ(ClassOf(preview.content()), L"ArchiveToolLog"); // the line view of the log box
    std::wstring expected;
    for (const char c : HexDump(binary, kPreviewHexLimit)) {
        expected += c == '\n' ? std::wstring(L"\r\n") : std::wstring(1, static_cast<wchar_t>(c));
    }
    EXPECT_EQ(Text(preview.content()), expected);
    EXPECT_EQ(Text(preview.content()).substr(0, 22), L"00000000  01 02 00 03 ");
    EXPECT_EQ(Text(preview.summary()), L"data.bin: 44 bytes");

    preview.Show(nullptr, PreviewEntry(window.frm, Node("empty")));
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Problem);
    EXPECT_EQ(ClassOf(preview.content()), L"Static");
    EXPECT_TRUE(IsWindowVisible(preview.content()));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(preview.hwnd(), 2))); // the text view is put away
    EXPECT_EQ(Text(preview.content()), L"A folder has no content of its own to show.");
}

TEST_F(Preview, EscapeHidesItTheOwnersEndDestroysItAndARunningCommandKeepsItOut)
{
    const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    PreviewWindow preview;
    ASSERT_TRUE(preview.ShowNode(owner, window.frm, Node("readme.txt")));
    EXPECT_EQ(window.frm.Running, RunningCommand::None);
    EXPECT_EQ(GetWindow(preview.hwnd(), GW_OWNER), owner);
    ASSERT_TRUE(IsWindowVisible(preview.hwnd()));
    SendMessageW(preview.content(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(preview.hwnd()); }));
    EXPECT_TRUE(IsWindow(preview.hwnd()));

    DestroyWindow(owner); // the owned preview goes with it; the object knows
    EXPECT_EQ(preview.hwnd(), nullptr);
    preview.Show(nullptr, PreviewEntry(window.frm, Node("readme.txt"))); // and makes a new one
    EXPECT_NE(preview.hwnd(), nullptr);

    {
        const RunningScope loading(window.frm, RunningCommand::Load); // the tables may be half read
        EXPECT_FALSE(preview.ShowNode(nullptr, window.frm, Node("data.bin")));
    }
    EXPECT_EQ(preview.shown(), PreviewWindow::Shown::Text);
}

// A long entry is read from a timer: ShowNode returns at once and says so,
// the owner's messages run meanwhile, closing the preview or choosing another
// entry drops the read, and at its end the summary gives the entry's own size.
TEST(PreviewRead, ALongEntryIsReadBetweenMessagesAndStopsWhenClosed)
{
    const std::size_t textSize = std::size_t{3} << 20;
    const std::size_t blobSize = std::size_t{8} << 20;
    TestWindow window;
    window.Open(
        BuildSga(SgaFromLayout({{"",
                                 {{.name = "long.txt", .content = std::string(textSize, 't')},
                                  {.name = "blob.png", .content = std::string(blobSize, '\x01')}}}})));
    const int text = window.frm.tree().IndexOfKey("n-1\\f0");
    const int blob = window.frm.tree().IndexOfKey("n-1\\f1");
    PreviewWindow preview;
    int ended = 0;
    preview.readingEnded = [&ended] { ++ended; };

    ASSERT_TRUE(preview.ShowNode(nullptr, window.frm, blob));
    ASSERT_TRUE(preview.reading());
    EXPECT_EQ(preview.shown(), PreviewWindow::Shown::Reading);
    EXPECT_EQ(Text(preview.summary()), L"blob.png: reading\u2026");
    EXPECT_EQ(window.frm.Running, RunningCommand::Preview);
    EXPECT_FALSE(RunningScope(window.frm, RunningCommand::Load).Started()); // nothing reloads under it

    // Closed mid-way: the read stops and the running state with it.
    ASSERT_TRUE(preview.ShowNode(nullptr, window.frm, blob));
    SendMessageW(preview.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(preview.reading());
    EXPECT_EQ(window.frm.Running, RunningCommand::None);
    EXPECT_EQ(preview.shown(), PreviewWindow::Shown::Problem);
    const int endedByClose = ended;
    EXPECT_GE(endedByClose, 1);

    // Another entry chosen mid-way replaces the read; the text is cut to what the view shows.
    ASSERT_TRUE(preview.ShowNode(nullptr, window.frm, blob));
    ASSERT_TRUE(preview.ShowNode(nullptr, window.frm, text));
    EXPECT_TRUE(PumpUntil([&] { return !preview.reading(); }));
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Text);
    EXPECT_EQ(Digits(Text(preview.summary())), std::to_wstring(textSize)); // the user's thousands separator
    EXPECT_TRUE(Text(preview.summary()).ends_with(L" bytes, the first MiB shown"));
    EXPECT_EQ(window.frm.Running, RunningCommand::None);

    // Read to its end: the start as hex, and the count of the rest of the entry.
    ASSERT_TRUE(preview.ShowNode(nullptr, window.frm, blob));
    EXPECT_TRUE(PumpUntil([&] { return !preview.reading(); }));
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Hex);
    EXPECT_EQ(Digits(Text(preview.summary())), std::to_wstring(blobSize) + L"64");
    EXPECT_TRUE(Text(preview.summary()).ends_with(L" bytes, the first 64 KiB shown"));
    const std::wstring dump = Text(preview.content());
    const std::wstring rest =
        L"... " + std::to_wstring(blobSize - kPreviewHexLimit) + L" more bytes not shown";
    EXPECT_NE(dump.find(rest), std::wstring::npos);
    EXPECT_EQ(window.frm.Running, RunningCommand::None);
}

TEST_F(Preview, ShowsTheFirstMebibyteOfLongText)
{
    PreviewWindow preview;
    EntryPreview long_text;
    long_text.name = "long.txt";
    const std::string line(63, 'x');
    std::string text;
    while (text.size() < 3 * kPreviewTextLimit) {
        text += line + "\n";
    }
    long_text.content = ByteArray::FromString(text);
    const auto start = std::chrono::steady_clock::now();
    preview.Show(nullptr, long_text);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(preview.shown(), PreviewWindow::Shown::Text);
    EXPECT_NE(Text(preview.summary()).find(L", the first MiB shown"), std::wstring::npos);
    // Each LF became CR LF; nothing past the first MiB is there.
    EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthW(preview.content())),
              kPreviewTextLimit + kPreviewTextLimit / 64);
    std::printf("[ shown    ] 1 MiB of text in %lld ms\n", static_cast<long long>(took.count()));
}

TEST(PreviewImage, ReadsTgaRunsColourMapsAndEitherRowOrderButNothingShort)
{
    // Bottom-up (no 0x20): the first stored row is the bottom one.
    const std::string twoRows = TgaHeader(2, 1, 2, 24, 0) + std::string("\xff\x00\x00\x00\x00\xff", 6);
    PreviewImage image = DecodeTga(twoRows);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(PixelAt(image, 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(image, 0, 1), (std::array<int, 4>{255, 0, 0, 255}));

    // Run-length coded: a run of three, then one literal pixel with its alpha.
    const std::string runs =
        TgaHeader(10, 4, 1, 32, 0x28) + std::string("\x82\x01\x02\x03\xff\x00\x09\x08\x07\x40", 10);
    image = DecodeTga(runs);
    ASSERT_EQ(image.width, 4);
    EXPECT_EQ(PixelAt(image, 2, 0), (std::array<int, 4>{1, 2, 3, 255}));
    EXPECT_EQ(PixelAt(image, 3, 0), (std::array<int, 4>{9, 8, 7, 0x40}));

    // Colour-mapped: two map entries, pixels index them.
    std::string mapped = TgaHeader(1, 2, 1, 8, 0x20);
    mapped[1] = 1;  // has a map
    mapped[5] = 2;  // of two entries
    mapped[7] = 24; // of 24 bits
    mapped += std::string("\x10\x20\x30\x40\x50\x60", 6) + std::string("\x01\x00", 2);
    image = DecodeTga(mapped);
    ASSERT_EQ(image.width, 2);
    EXPECT_EQ(PixelAt(image, 0, 0), (std::array<int, 4>{0x40, 0x50, 0x60, 255}));
    EXPECT_EQ(PixelAt(image, 1, 0), (std::array<int, 4>{0x10, 0x20, 0x30, 255}));
    mapped[17] = 0x30; // now stored right to left
    image = DecodeTga(mapped);
    EXPECT_EQ(PixelAt(image, 0, 0), (std::array<int, 4>{0x10, 0x20, 0x30, 255}));

    // Short of pixels, a run past the data, an index past the map, a size past the limit: nothing.
    EXPECT_TRUE(DecodeTga(twoRows.substr(0, twoRows.size() - 1)).Empty());
    EXPECT_TRUE(DecodeTga(runs.substr(0, runs.size() - 4)).Empty());
    std::string badIndex = mapped;
    badIndex.back() = 2;
    EXPECT_TRUE(DecodeTga(badIndex).Empty());
    EXPECT_TRUE(DecodeTga(TgaHeader(10, 255, 255, 24, 0).replace(13, 1, "\xff").replace(15, 1, "\xff") +
                          std::string(100, '\x7f'))
                    .Empty()); // 65535 x 65535 claimed by a hundred bytes
    EXPECT_TRUE(DecodeTga(std::string(17, '\0')).Empty());
}

using DragOut = Loaded;

std::vector<fs::path> FilesOf(IDataObject* data)
{
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    std::vector<fs::path> files;
    if (data->GetData(&format, &medium) != S_OK) {
        return files;
    }
    const auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    for (UINT i = 0, count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < count; ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(drop, i, name, MAX_PATH);
        files.emplace_back(name);
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return files;
}

std::string Contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(DragOut, TheDataObjectNamesTheFilesTheCoreExtracted)
{
    std::vector<fs::path> made;
    {
        DragOutFolders folders;
        std::vector<JobProgress> told;
        JobControl control;
        control.progress = [&](const JobProgress& now) {
            told.push_back(now);
            EXPECT_EQ(window.frm.Running, RunningCommand::DragOut); // an open must wait
        };
        const std::vector<fs::path> files = ExtractForDragOut(
            window.frm, {Node("art"), Node("readme.txt"), Node("red.png")}, folders, control);
        ASSERT_EQ(files.size(), 2u); // red.png lies inside art: written once, with it
        EXPECT_EQ(window.frm.Running, RunningCommand::None);
        ASSERT_EQ(folders.folders().size(), 1u);
        made = folders.folders();
        EXPECT_EQ(files[0], folders.folders()[0] / "art");
        EXPECT_EQ(Contents(files[0] / "plain.tga"), "not an image at all, just words");
        EXPECT_EQ(Contents(files[1]), "first line\nsecond\r\nthird"); // inflated
        ASSERT_EQ(told.size(), 4u);
        EXPECT_EQ(told.back().files, 4);
        EXPECT_EQ(told.back().totalFiles, 4);
        EXPECT_EQ(told.back().bytes, told.back().totalBytes);

        IDataObject* data = MakeFileDataObject(files);
        EXPECT_EQ(FilesOf(data), files);
        // Offered as Explorer asks, and listed among the object's formats.
        FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        EXPECT_EQ(data->QueryGetData(&hdrop), S_OK);
        hdrop.tymed = TYMED_ISTREAM;
        EXPECT_EQ(data->QueryGetData(&hdrop), DV_E_TYMED);
        IEnumFORMATETC* formats = nullptr;
        ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
        FORMATETC first{};
        ASSERT_EQ(formats->Next(1, &first, nullptr), S_OK);
        EXPECT_EQ(first.cfFormat, CF_HDROP);
        formats->Release();
        data->Release();
        EXPECT_TRUE(fs::exists(made[0]));
    }
    EXPECT_FALSE(fs::exists(made[0])); // the window's end takes its drag folders away
}

TEST_F(DragOut, CancelledOrRefusedHandsNothingOver)
{
    DragOutFolders folders;
    JobControl stop;
    stop.cancelled = [] { return true; };
    EXPECT_TRUE(ExtractForDragOut(window.frm, {Node("art")}, folders, stop).empty());
    ASSERT_EQ(folders.folders().size(), 1u);
    EXPECT_FALSE(fs::exists(folders.folders()[0])); // what was written before the cancel is gone
    EXPECT_EQ(StartDragOut(nullptr, window.frm, {Node("art")}, folders, stop), DragOutResult::Cancelled);

    // Exit or the close box during the extraction stops it too.
    window.frm.PendingClose = FrmBig::CloseRequest::CloseBox;
    EXPECT_TRUE(ExtractForDragOut(window.frm, {Node("art")}, folders, {}).empty());
    window.frm.PendingClose = FrmBig::CloseRequest::None;

    {
        const RunningScope job(window.frm, RunningCommand::Job); // another command runs
        EXPECT_EQ(StartDragOut(nullptr, window.frm, {Node("readme.txt")}, folders), DragOutResult::Refused);
        EXPECT_TRUE(ExtractForDragOut(window.frm, {Node("readme.txt")}, folders, {}).empty());
    }

    window.Open(BuildRbf(RbfSpec{}), "test.big"); // no extraction from RBF archives
    EXPECT_EQ(StartDragOut(nullptr, window.frm, {1}, folders), DragOutResult::Refused);
}

TEST_F(DragOut, ADropOfOneFileOpensItOnceTheDropHasReturned)
{
    const HWND target = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    std::vector<fs::path> opened;
    bool welcome = true;
    {
        FileDrop drop(
            target, [&](const fs::path& path) { opened.push_back(path); }, [&] { return welcome; });
        EXPECT_TRUE(drop.Registered());
        const fs::path archive = PathFromUtf8(window.dir.File("test.sga"));
        const auto effectOf = [&](IDataObject* data) {
            DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
            drop.target()->DragEnter(data, MK_LBUTTON, POINTL{}, &effect);
            drop.target()->DragLeave();
            return effect;
        };

        IDataObject* one = MakeFileDataObject({archive}, false);
        IDataObject* two = MakeFileDataObject({archive, archive}, false);
        IDataObject* ours = MakeFileDataObject({archive});
        EXPECT_EQ(effectOf(one), static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(effectOf(two), static_cast<DWORD>(DROPEFFECT_NONE));
        EXPECT_EQ(effectOf(ours), static_cast<DWORD>(DROPEFFECT_NONE)); // our own drag, come back
        welcome = false;
        EXPECT_EQ(effectOf(one), static_cast<DWORD>(DROPEFFECT_NONE)); // a command runs
        welcome = true;

        DWORD effect = DROPEFFECT_COPY;
        drop.target()->DragEnter(one, MK_LBUTTON, POINTL{}, &effect);
        ASSERT_EQ(drop.target()->Drop(one, 0, POINTL{}, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_TRUE(opened.empty()); // not inside the drop
        EXPECT_TRUE(PumpUntil([&] { return !opened.empty(); }));
        EXPECT_EQ(opened, std::vector<fs::path>{archive});
        for (IDataObject* data : {one, two, ours}) {
            data->Release();
        }
    }
    DestroyWindow(target);
}

TEST_F(DragOut, AWholeDragWithNoButtonHeldEndsAtOnceWithItsFilesKept)
{
    DragOutFolders folders;
    // No mouse button is down: the drag ends at its first look, over no target.
    EXPECT_EQ(StartDragOut(nullptr, window.frm, {Node("readme.txt")}, folders), DragOutResult::NotDropped);
    ASSERT_EQ(folders.folders().size(), 1u);
    EXPECT_EQ(Contents(folders.folders()[0] / "readme.txt"), "first line\nsecond\r\nthird");
    EXPECT_EQ(window.frm.Running, RunningCommand::None);
}

} // namespace
