// The Windows window as an archive browser, under Wine: the details list, the
// filter box, the jobs, and archives that come from outside, driven through
// the window's own messages.
#include "window_fixture.h"

#include "platform/text_encoding.h"
#include "win32/dialogs.h"
#include "win32/text.h"

#include <cstring>

using namespace archive;
using namespace archive::win32;
using namespace archive::win32::testing;

namespace {

using Texts = std::vector<std::wstring>;

int ImageOfItem(HWND tree, HTREEITEM item)
{
    TVITEMW data{};
    data.mask = TVIF_IMAGE;
    data.hItem = item;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return data.iImage;
}

bool Expanded(HWND tree, HTREEITEM item)
{
    return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

std::wstring ButtonName(HWND toolbar, int position)
{
    wchar_t buffer[256] = {};
    SendMessageW(toolbar, TB_GETBUTTONTEXTW, kButtonBase + position, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::wstring LastLine(const std::wstring& log)
{
    const std::size_t end = log.size() >= 2 ? log.size() - 2 : 0; // the last CR LF
    const std::size_t start = log.rfind(L"\r\n", end > 0 ? end - 1 : 0);
    return log.substr(start == std::wstring::npos ? 0 : start + 2,
                      end - (start == std::wstring::npos ? 0 : start + 2));
}

int FilesBelow(const fs::path& folder)
{
    int files = 0;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    return files;
}

} // namespace

TEST_F(Fixture, TheListShowsTheChosenFolderWithItsColumnsAndSortsByAHeaderClick)
{
    OpenThroughButton(3, "sample.sga");
    const HWND list = window.detailsList();
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"maps", L"art", L"sounds", L"readme.txt"}));
    EXPECT_EQ(ListColumn(list, 1),
              (Texts{L"6,502", L"512", L"", L"59"})); // an empty folder has no size to show
    const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 5);

    // By size, folders above files; a second click reverses it.
    ClickColumn(1);
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"sounds", L"art", L"maps", L"readme.txt"}));
    ClickColumn(1);
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"maps", L"art", L"sounds", L"readme.txt"}));
    ClickColumn(0);
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"art", L"maps", L"sounds", L"readme.txt"}));

    // A folder chosen in the tree lists its own; a file lists its folder's, itself selected.
    SelectInTree(NodeByText("maps"));
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"town", L"index.txt"})); // folders first, by name
    EXPECT_EQ(window.ListedNodes(), (std::vector<int>{NodeByText("town"), NodeByText("index.txt")}));
    SelectInTree(NodeByText("readme.txt"));
    EXPECT_EQ(ListColumn(list, 0).size(), 4u);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);

    // An empty folder looks like a folder in the tree, not like a file.
    const HWND tree = window.treeView();
    const int folderImage = ImageOfItem(tree, window.ItemOfNode(NodeByText("maps")));
    EXPECT_EQ(ImageOfItem(tree, window.ItemOfNode(NodeByText("sounds"))), folderImage);
    EXPECT_NE(ImageOfItem(tree, window.ItemOfNode(NodeByText("readme.txt"))), folderImage);

    // The last column is the offset for SGA, the CRC for RBF.
    wchar_t title[32] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = 32;
    SendMessageW(header, HDM_GETITEMW, 4, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(title, L"Offset");
    OpenThroughButton(1, "sample-sv1.big");
    SendMessageW(header, HDM_GETITEMW, 4, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(title, L"CRC");
}

TEST_F(Fixture, RowsAreChosenWithTheKeysAndOpenAsExplorersDo)
{
    OpenThroughButton(3, "sample.sga");
    std::vector<int> previewed;
    window.previewer = [&](int node) { previewed.push_back(node); };
    const HWND list = window.detailsList();

    SelectRows({L"readme.txt"});
    Key(list, VK_RETURN);
    Key(list, VK_SPACE);
    EXPECT_EQ(previewed, (std::vector<int>{NodeByText("readme.txt"), NodeByText("readme.txt")}));
    EXPECT_TRUE(window.CommandEnabled(kCmdPreview));

    // Ctrl+A selects every row; Enter on a folder goes into it, Backspace back up.
    Key(list, 'A', true);
    EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 4);
    SelectRows({L"maps"});
    EXPECT_FALSE(window.CommandEnabled(kCmdPreview));
    Key(list, VK_RETURN);
    EXPECT_EQ(ListColumn(list, 0), (Texts{L"town", L"index.txt"}));
    Key(list, VK_BACK);
    EXPECT_EQ(ListColumn(list, 0).size(), 4u);
    EXPECT_EQ(previewed.size(), 2u);
}

TEST_F(Fixture, TheFilterKeepsTheMatchesAndClearingItBringsBackWhatWasOpen)
{
    OpenThroughButton(3, "sample.sga");
    const HWND tree = window.treeView();
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND,
                 reinterpret_cast<LPARAM>(window.ItemOfNode(NodeByText("maps"))));

    SetWindowTextW(window.filterBox(), L"*.T?T");
    EXPECT_EQ(Children(tree, Root(tree)), (Texts{L"maps", L"readme.txt"}));
    EXPECT_EQ(Children(tree, window.ItemOfNode(NodeByText("maps"))), (Texts{L"index.txt"}));
    EXPECT_EQ(ListColumn(window.detailsList(), 0), (Texts{L"maps", L"readme.txt"}));

    SetWindowTextW(window.filterBox(), L"nothing holds this");
    EXPECT_EQ(Root(tree), nullptr);
    EXPECT_TRUE(ListColumn(window.detailsList(), 0).empty());

    // Escape clears it: the whole tree, "maps" open as the user left it, "art" closed.
    Key(window.filterBox(), VK_ESCAPE);
    EXPECT_EQ(Text(window.filterBox()), L"");
    EXPECT_EQ(Children(tree, Root(tree)), (Texts{L"maps", L"art", L"sounds", L"readme.txt"}));
    EXPECT_TRUE(Expanded(tree, window.ItemOfNode(NodeByText("maps"))));
    EXPECT_FALSE(Expanded(tree, window.ItemOfNode(NodeByText("art"))));
    EXPECT_EQ(ListColumn(window.detailsList(), 0).size(), 4u);

    // Ctrl+E still works while the filter box has the keyboard; Ctrl+F is the window's.
    int asked = 0;
    window.destinationChooser = [&](const fs::path&) {
        ++asked;
        return fs::path();
    };
    Key(window.filterBox(), 'E', true);
    EXPECT_EQ(asked, 1);
}

// While filtering, the tree keeps the node the user selected (the list's
// focused row moves the core's selection, not the tree's): selected while it
// is kept, else its nearest kept folder, and again once the filter is cleared;
// the list follows the tree.
TEST_F(Fixture, FilteringKeepsTheTreesSelection)
{
    OpenThroughButton(3, "sample.sga");
    const HWND tree = window.treeView();
    const auto selected = [&] {
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    };
    SelectInTree(NodeByText("maps"));
    SelectRows({L"town"}); // the core's selected node: Save Selected's
    ASSERT_EQ(window.frm().tree().SelectedIndex(), NodeByText("town"));

    SetWindowTextW(window.filterBox(), L"*.T?T");
    EXPECT_EQ(selected(), window.ItemOfNode(NodeByText("maps")));
    EXPECT_EQ(ListColumn(window.detailsList(), 0), (Texts{L"index.txt"}));
    EXPECT_EQ(window.frm().tree().SelectedIndex(), NodeByText("maps")); // "town" is not shown
    SetWindowTextW(window.filterBox(), L"*.T?T*");
    EXPECT_EQ(selected(), window.ItemOfNode(NodeByText("maps")));
    // With the keyboard elsewhere, the selection is drawn in a colour that can be seen on the window's.
    NMTVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {tree, static_cast<UINT_PTR>(GetDlgCtrlID(tree)), static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(SendMessageW(window.hwnd(), WM_NOTIFY, draw.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&draw)),
              CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.uItemState = CDIS_SELECTED;
    draw.clrTextBk = GetSysColor(COLOR_BTNFACE);
    SendMessageW(window.hwnd(), WM_NOTIFY, draw.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&draw));
    EXPECT_NE(draw.clrTextBk, GetSysColor(COLOR_BTNFACE));
    EXPECT_NE(draw.clrTextBk, GetSysColor(COLOR_WINDOW));

    // "art" holds no match: its folder above is selected, and "art" comes back with the filter's end.
    Key(window.filterBox(), VK_ESCAPE);
    EXPECT_EQ(selected(), window.ItemOfNode(NodeByText("maps")));
    SelectInTree(NodeByText("art"));
    SetWindowTextW(window.filterBox(), L"index");
    EXPECT_EQ(selected(), Root(tree));
    EXPECT_EQ(ListColumn(window.detailsList(), 0), (Texts{L"maps"}));
    Key(window.filterBox(), VK_ESCAPE);
    EXPECT_EQ(selected(), window.ItemOfNode(NodeByText("art")));
    EXPECT_EQ(ListColumn(window.detailsList(), 0), (Texts{L"logo.tga"}));

    // A file the list made the core's selection stays selected in the list while it matches.
    SelectInTree(NodeByText("maps"));
    SelectRows({L"index.txt"});
    SetWindowTextW(window.filterBox(), L"*.txt");
    EXPECT_EQ(selected(), window.ItemOfNode(NodeByText("maps")));
    const auto focused =
        SendMessageW(window.detailsList(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    EXPECT_EQ(ListColumn(window.detailsList(), 0).at(static_cast<std::size_t>(focused)), L"index.txt");
}

namespace {

// Lets the window's messages run until the tree has every item it waits for.
void LetTheTreeFill(const MainWindow& window)
{
    for (int turn = 0; turn < 200 && window.TreeFilling(); ++turn) {
        MSG message;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::string Numbered(int i)
{
    std::string name = std::to_string(i);
    return "folder" + std::string(4 - name.size(), '0') + name;
}

bool InView(HWND tree, HTREEITEM item)
{
    RECT rect{}; // holds the item on the way in
    std::memcpy(&rect, &item, sizeof item);
    return SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)) != 0;
}

} // namespace

// A folder of more children than the tree shows at first: the rest come on
// the next turn of the message loop, in the catalogue's order around one the
// user went to meanwhile, which stays selected and in view, filtered too.
TEST_F(Fixture, ALargeFolderGetsItsLaterItemsAfterPaintingInOrder)
{
    const int count = static_cast<int>(TreePane::kFirstChildren) + 250;
    std::vector<SgaLayoutDir> layout{{"", {{.name = "readme.txt", .content = "x"}}}};
    Texts all;
    for (int i = 0; i < count; ++i) {
        layout.push_back({Numbered(i), {}});
        all.push_back(HostWide(Numbered(i)));
    }
    all.push_back(L"readme.txt");
    WriteBytes(dir.File("many.sga"), BuildSga(SgaFromLayout(layout)));
    OpenThroughButton(3, "many.sga");
    const HWND tree = window.treeView();
    const HWND list = window.detailsList();
    const auto selected = [&] {
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    };
    EXPECT_TRUE(window.TreeFilling());
    EXPECT_EQ(Children(tree, Root(tree)).size(), TreePane::kFirstChildren);
    EXPECT_EQ(ListColumn(list, 0), all); // the list has every row at once

    // Into a folder the tree has not inserted yet, from the list.
    const int late = NodeByText(Numbered(count - 10));
    SelectRows({HostWide(Numbered(count - 10))});
    Key(list, VK_RETURN);
    ASSERT_NE(window.ItemOfNode(late), nullptr);
    EXPECT_EQ(selected(), window.ItemOfNode(late));
    LetTheTreeFill(window);
    EXPECT_FALSE(window.TreeFilling());
    EXPECT_EQ(Children(tree, Root(tree)), all);
    EXPECT_EQ(selected(), window.ItemOfNode(late));
    EXPECT_TRUE(InView(tree, selected()));

    // Filtered: still selected and in view, before and after the rest of the tree comes.
    SetWindowTextW(window.filterBox(), L"folder*");
    EXPECT_EQ(selected(), window.ItemOfNode(late));
    EXPECT_TRUE(InView(tree, selected()));
    LetTheTreeFill(window);
    EXPECT_EQ(Children(tree, Root(tree)).size(), static_cast<std::size_t>(count));
    EXPECT_EQ(selected(), window.ItemOfNode(late));
    EXPECT_TRUE(InView(tree, selected()));
    Key(window.filterBox(), VK_ESCAPE);
    LetTheTreeFill(window);
    EXPECT_EQ(selected(), window.ItemOfNode(late));
    EXPECT_TRUE(InView(tree, selected()));
}

// Extract To writes what is selected into the folder chosen, under a
// progress dialog that keeps every other command away; Open Output Folder
// then shows that folder, and after a Save All the archive's ".\data".
TEST_F(Fixture, ExtractToWritesTheSelectionWhereChosenAndOpenOutputFolderShowsIt)
{
    OpenThroughButton(3, "sample.sga");
    const fs::path chosen = dir.path() / "chosen";
    fs::path startedAt;
    window.destinationChooser = [&](const fs::path& start) {
        startedAt = start;
        return chosen;
    };
    std::vector<fs::path> opened;
    window.folderOpener = [&](const fs::path& folder) { opened.push_back(folder); };
    bool duringJob = false;
    window.jobProgressHook = [&](const JobProgress& now) {
        if (now.files == 1) {
            duringJob = window.jobDialog() != nullptr && !IsWindowEnabled(window.hwnd()) &&
                        !window.CommandEnabled(kCmdOpen) && !window.CommandEnabled(kCmdExtractTo) &&
                        !ButtonEnabled(1) && !ButtonEnabled(6);
        }
    };
    SelectRows({L"maps", L"readme.txt"});
    Key(window.detailsList(), 'E', true);
    EXPECT_TRUE(duringJob);
    EXPECT_EQ(window.jobDialog(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
    EXPECT_TRUE(window.CommandEnabled(kCmdOpen) && ButtonEnabled(6));
    EXPECT_EQ(fs::weakly_canonical(startedAt), fs::weakly_canonical(dir.path()));
    EXPECT_TRUE(fs::exists(chosen / "maps" / "town" / "plan.dat"));
    EXPECT_TRUE(fs::exists(chosen / "maps" / "index.txt"));
    EXPECT_TRUE(fs::exists(chosen / "readme.txt"));
    EXPECT_FALSE(fs::exists(chosen / "art"));
    EXPECT_NE(LastLine(Text(window.logBox())).find(fs::absolute(chosen).wstring()), std::wstring::npos)
        << LastLine(Text(window.logBox()));

    Command(kCmdOpenOutput);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(fs::weakly_canonical(opened[0]), fs::weakly_canonical(chosen));
    Command(kButtonBase + 6);
    Command(kCmdOpenOutput);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(fs::weakly_canonical(opened[1]), fs::weakly_canonical(dir.path() / "data"));

    // Test Archive (Ctrl+T) reads every entry and writes nothing.
    Key(window.treeView(), 'T', true);
    EXPECT_EQ(LastLine(Text(window.logBox())).rfind(L"Tested ", 0), 0u) << LastLine(Text(window.logBox()));
}

TEST_F(Fixture, CommandsAreEnabledForWhatIsLoadedAndSayWhyNot)
{
    EXPECT_TRUE(window.CommandEnabled(kCmdOpen));
    for (const int id : {int{kCmdExtractTo}, int{kCmdTestArchive}, kButtonBase + 6, int{kCmdPreview}}) {
        EXPECT_FALSE(window.CommandEnabled(id)) << id;
    }
    OpenThroughButton(3, "sample.sga");
    for (const int id : {int{kCmdExtractTo}, int{kCmdTestArchive}, kButtonBase + 5, kButtonBase + 6}) {
        EXPECT_TRUE(window.CommandEnabled(id)) << id;
    }
    EXPECT_EQ(ButtonName(window.toolBar(), 6), L"Save All Files in Archive");

    // An RBF archive can be browsed, not extracted: the grey buttons say so.
    OpenThroughButton(1, "sample-sv1.big");
    for (const int id : {int{kCmdExtractTo}, int{kCmdTestArchive}, kButtonBase + 5, kButtonBase + 6}) {
        EXPECT_FALSE(window.CommandEnabled(id)) << id;
    }
    EXPECT_NE(ButtonName(window.toolBar(), 6).find(L"RBF"), std::wstring::npos);
    EXPECT_NE(ButtonName(window.toolBar(), 5).find(L"RBF"), std::wstring::npos);
    int asked = 0;
    window.destinationChooser = [&](const fs::path&) {
        ++asked;
        return dir.path();
    };
    Key(window.treeView(), 'E', true);
    EXPECT_EQ(asked, 0);

    // Names for a screen reader: the buttons', and the controls' own.
    EXPECT_EQ(ButtonName(window.toolBar(), 1), L"Open SV1 BIG File");
    EXPECT_EQ(Text(GetWindow(window.filterBox(), GW_HWNDPREV)), L"&Filter:");
    EXPECT_EQ(Text(window.treeView()), L"Archive contents");
    EXPECT_EQ(Text(window.detailsList()), L"Files");
    EXPECT_EQ(Text(window.progressBar()), L"Progress");

    // The toolbar's images follow the DPI: 32 pixels at 96, 64 at 192.
    const auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(window.toolBar(), TB_GETIMAGELIST, 0, 0));
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(images, &width, &height);
    EXPECT_EQ(width, Toolbar::ImageSize(WindowDpi(window.hwnd())));
    EXPECT_EQ(Toolbar::ImageSize(192), 64);
}

// The close box and Exit during Extract To stop it between two entries and
// end the program: no hidden window writing on.
TEST_F(Fixture, ClosingDuringExtractToStopsItAndEndsTheProgram)
{
    for (const bool exit : {false, true}) {
        MainWindow other{std::make_unique<ScriptedDialog>(), std::make_unique<NoRegistry>()};
        ASSERT_TRUE(other.Create(SW_HIDE));
        other.OpenFile(dir.path() / "sample.sga");
        const fs::path chosen = dir.path() / (exit ? "exit" : "close");
        other.destinationChooser = [&](const fs::path&) { return chosen; };
        other.jobProgressHook = [&](const JobProgress& now) {
            if (now.files == 0) {
                PostMessageW(other.hwnd(), exit ? WM_COMMAND : WM_CLOSE, exit ? kCmdExit : 0, 0);
            }
        };
        SendMessageW(other.hwnd(), WM_COMMAND, kCmdExtractTo, 0);
        EXPECT_FALSE(IsWindow(other.hwnd())) << exit;
        EXPECT_EQ(FilesBelow(chosen), 0) << exit;
        EXPECT_EQ(other.frm().Zlib == nullptr, exit);
        MSG quit;
        EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << exit;
    }
}

TEST_F(Fixture, AnArchiveNamedOnTheCommandLineOrDroppedOnTheWindowOpens)
{
    const TempDir started;
    window.frm().OutputBase = started.path();
    window.OpenFile(dir.path() / "sample.sga");
    EXPECT_EQ(ItemText(window.treeView(), Root(window.treeView())), L"Data");
    EXPECT_EQ(fs::weakly_canonical(window.frm().OutputBase), fs::weakly_canonical(dir.path()));
    Command(kButtonBase + 6);
    EXPECT_TRUE(fs::exists(dir.path() / "data" / "readme.txt")); // beside the archive
    EXPECT_TRUE(fs::is_empty(started.path()));

    DropFile(window.hwnd(), (dir.path() / "sample-sv1.big").wstring());
    EXPECT_EQ(ItemText(window.treeView(), Root(window.treeView())), L"sample-sv1.big");
    EXPECT_EQ(window.frm().ArchivePath, PathToUtf8(dir.path() / "sample-sv1.big"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Fixture, CancelInTheProgressDialogStopsExtractToBetweenTwoEntries)
{
    OpenThroughButton(3, "sample.sga");
    const fs::path chosen = dir.path() / "chosen";
    window.destinationChooser = [&](const fs::path&) { return chosen; };
    std::wstring shown;
    window.jobProgressHook = [&](const JobProgress& now) {
        if (now.files == 1 && window.jobDialog()) {
            shown = JobDialog::ProgressText(now);
            SendMessageW(window.jobDialog(), WM_COMMAND, IDCANCEL, 0);
        }
    };
    Command(kCmdExtractTo);
    EXPECT_EQ(shown.rfind(L"1 of ", 0), 0u) << shown;
    EXPECT_NE(shown.find(L" files, "), std::wstring::npos);
    EXPECT_EQ(FilesBelow(chosen), 1);
    EXPECT_NE(LastLine(Text(window.logBox())).find(L"not reached"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(window.hwnd()));
    EXPECT_TRUE(window.CommandEnabled(kCmdExtractTo));
}

TEST_F(Fixture, EnterOnAFileShowsItsPreview)
{
    OpenThroughButton(3, "sample.sga");
    SelectRows({L"readme.txt"});
    Key(window.detailsList(), VK_RETURN);
    ASSERT_NE(window.previewWindow().hwnd(), nullptr);
    EXPECT_EQ(window.previewWindow().shown(), PreviewWindow::Shown::Text);
    EXPECT_EQ(window.frm().Running, RunningCommand::None);
    EXPECT_TRUE(window.CommandEnabled(kCmdOpen));
}

// Extract To over files already there asks about each, until an answer is for all.
TEST_F(Fixture, ExtractToAsksBeforeReplacingAFile)
{
    OpenThroughButton(3, "sample.sga");
    const fs::path chosen = dir.path() / "chosen";
    window.destinationChooser = [&](const fs::path&) { return chosen; };
    SelectRows({L"readme.txt"});
    Command(kCmdExtractTo);
    WriteBytes((chosen / "readme.txt").string(), "mine");
    std::vector<std::string> asked;
    window.existingChooser = [&](const ExistingFile& file) {
        asked.push_back(file.path);
        return ExistingAnswer{ExistingChoice::Skip, false};
    };
    SelectRows({L"readme.txt"});
    Command(kCmdExtractTo);
    EXPECT_EQ(asked, std::vector<std::string>{"readme.txt"});
    EXPECT_EQ(ReadBytes((chosen / "readme.txt").string()), "mine");
}

// What a command acts on is what the user sees: Save Selected does not save
// the tree's selected file while the filter hides it, and a filter that keeps
// nothing says so in the list.
TEST_F(Fixture, CommandsActOnlyOnWhatTheFilterShows)
{
    EXPECT_FALSE(window.CommandEnabled(kCmdOpenOutput)); // no archive, nothing written: no folder of ours
    OpenThroughButton(3, "sample.sga");
    EXPECT_TRUE(window.CommandEnabled(kCmdOpenOutput));
    const int readme = NodeByText("readme.txt");
    SelectInTree(readme);
    ASSERT_EQ(window.frm().tree().SelectedIndex(), readme);

    SetWindowTextW(window.filterBox(), L"index");
    EXPECT_EQ(window.ItemOfNode(readme), nullptr);
    Command(kButtonBase + 5); // Save Selected
    EXPECT_FALSE(fs::exists(dir.path() / "data" / "readme.txt"));
    EXPECT_EQ(LastLine(Text(window.logBox())), L"No file is selected: choose a file in the tree first");
    EXPECT_EQ(window.ListEmptyText(), L"");

    SetWindowTextW(window.filterBox(), L"nothing holds this");
    EXPECT_TRUE(window.ListedNodes().empty());
    EXPECT_EQ(window.ListEmptyText(), L"No matches");

    // Cleared, the selection shows again, and is what Save Selected saves.
    Key(window.filterBox(), VK_ESCAPE);
    EXPECT_EQ(window.ListEmptyText(), L"");
    EXPECT_EQ(SendMessageW(window.treeView(), TVM_GETNEXTITEM, TVGN_CARET, 0),
              reinterpret_cast<LRESULT>(window.ItemOfNode(readme)));
    Command(kButtonBase + 5);
    EXPECT_TRUE(fs::exists(dir.path() / "data" / "readme.txt"));
}

// The number columns are as wide as their widest texts; the progress counts
// bytes in the unit the total reads best in.
TEST_F(Fixture, NumberColumnsFitTheirTextsAndProgressUsesTheTotalsUnit)
{
    RbfSpec rbf;
    rbf.entries = {{.name = "x\\y.txt", .crc = -1234567890, .compr = 3, .uncompr = 9}};
    WriteBytes(dir.File("wide.big"), BuildRbf(rbf));
    OpenThroughButton(3, "sample.sga"); // an SGA catalogue first: its offsets are narrower
    OpenThroughButton(1, "wide.big");
    SelectInTree(NodeByText("x"));
    const HWND list = window.detailsList();
    const std::vector<std::wstring> crcs = ListColumn(list, 4);
    ASSERT_EQ(crcs.size(), 1u);
    const HDC dc = GetDC(list);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, crcs[0].c_str(), static_cast<int>(crcs[0].size()), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    EXPECT_GT(SendMessageW(list, LVM_GETCOLUMNWIDTH, 4, 0), size.cx + 8) << crcs[0];

    JobProgress now;
    now.files = 1;
    now.totalFiles = 3;
    now.bytes = 59;
    now.totalBytes = 7073;
    EXPECT_EQ(JobDialog::ProgressText(now).substr(0, 29), L"1 of 3 files, 0.1 of 7.1 KB\r\n");
}

// A resize draws the details list again whole, not only what the move
// uncovers (reported after a resize under Xvfb; Wine does this itself too).
TEST_F(Fixture, AResizeRepaintsTheDetailsList)
{
    OpenThroughButton(3, "sample.sga");
    ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(window.hwnd());
    const HWND list = window.detailsList();
    ValidateRect(list, nullptr);
    RECT frame{};
    GetWindowRect(window.hwnd(), &frame);
    SetWindowPos(window.hwnd(), nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top + 60,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    RECT client{};
    GetClientRect(list, &client);
    RECT dirty{};
    EXPECT_TRUE(GetUpdateRect(list, &dirty, FALSE));
    EXPECT_LE(dirty.left, client.left); // the whole client area waits for its paint
    EXPECT_LE(dirty.top, client.top);
    EXPECT_GE(dirty.right, client.right);
    EXPECT_GE(dirty.bottom, client.bottom);
    ShowWindow(window.hwnd(), SW_HIDE);
}
