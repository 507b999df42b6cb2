// The Windows window, run under Wine by scripts/windows-test: the real
// window, driven through its own messages and read back from its controls.
#include "window_fixture.h"

#include <cmath>
#include <filesystem>

using namespace archive;
using namespace archive::win32;
using namespace archive::win32::testing;

TEST_F(Fixture, StartsEmptyWithItsTitleAndLaysItselfOutByTheRule)
{
    EXPECT_EQ(Text(window.hwnd()), L"Tavrin's SV1 / SV2 / MF Archive Tool v1.6.0");
    EXPECT_TRUE(ButtonEnabled(1) && ButtonEnabled(2) && ButtonEnabled(3));
    EXPECT_FALSE(ButtonEnabled(5) || ButtonEnabled(6));
    EXPECT_EQ(SendMessageW(window.progressBar(), PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(Text(window.logBox()), L"");
    EXPECT_EQ(Root(window.treeView()), nullptr);

    // An outer size of about 9615 by 8140 twips: the tree about 3807.5 twips wide, the log box beside it.
    const UINT dpi = WindowDpi(window.hwnd());
    const auto pixels = [dpi](double twips) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); };
    const int width = pixels(9615);
    const int height = pixels(8140);
    const double w = width * 1440.0 / dpi; // the sizes in twips that the rule sees
    const double h = height * 1440.0 / dpi;
    SetWindowPos(window.hwnd(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
    RECT tree{}, log{}, progress{};
    const auto client = [&](HWND control, RECT& rect) {
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    };
    RECT list{};
    client(window.treeView(), tree);
    client(window.detailsList(), list);
    client(window.logBox(), log);
    client(window.progressBar(), progress);
    EXPECT_EQ(tree.right - tree.left, pixels(w / 2 - 1000));
    // The details list stands where the rule puts the log box; the tree and
    // the log box below share the rule's tree height, the splitter between them.
    EXPECT_EQ(list.left, (tree.right - tree.left) + pixels(150));
    EXPECT_EQ(list.right - list.left, pixels(w / 2 + 650));
    EXPECT_NEAR(log.bottom - tree.top, pixels(h - 2300), 1);
    EXPECT_GT(tree.bottom - tree.top, log.bottom - log.top);
    EXPECT_EQ(log.left, tree.left);
    EXPECT_EQ(log.right, list.right);
    EXPECT_EQ(progress.right - progress.left, pixels(w - 150));
    EXPECT_EQ(progress.top, pixels(h - 1300));
    // The status bar, and its size grip, span the client area.
    RECT status{}, area{};
    client(window.statusBar(), status);
    GetClientRect(window.hwnd(), &area);
    EXPECT_EQ(status.right, area.right);

    // Made as small as it goes, it stops at a size where every pane keeps a place.
    SetWindowPos(window.hwnd(), nullptr, 0, 0, 250, 150, SWP_NOZORDER | SWP_NOMOVE);
    RECT outer{};
    GetWindowRect(window.hwnd(), &outer);
    EXPECT_GE(outer.right - outer.left, 480);
    EXPECT_GE(outer.bottom - outer.top, 340);
    for (HWND pane : {window.treeView(), window.detailsList(), window.logBox(), window.filterBox()}) {
        RECT rect{};
        client(pane, rect);
        EXPECT_GT(rect.right - rect.left, 40);
        EXPECT_GT(rect.bottom - rect.top, 15);
    }
}

TEST_F(Fixture, EachSampleFillsTheTreeLogAndButtonsAndTheTreeGrowsAsItIsExpanded)
{
    OpenThroughButton(2, "sample.sga");
    ASSERT_EQ(dialog->shown.size(), 1u);
    EXPECT_EQ(dialog->shown[0].title, "Open Solvane2 .BIG Archive");
    EXPECT_EQ(dialog->shown[0].filterIndex, 1);
    const wchar_t fields[] = L"SV2 BIG Files (*.big / *.grm*)\0*.big;*.grm*\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(OpenDialogFilter(dialog->shown[0].filter), std::wstring(fields, std::size(fields)));
    EXPECT_EQ(Text(window.logBox()).rfind(L"Identifier=_ARCHIVE\r\nVersion=2\r\n", 0), 0u);
    EXPECT_EQ(StatusText(window.statusBar()), fs::path(dir.File("sample.sga")).wstring());
    EXPECT_TRUE(ButtonEnabled(5) && ButtonEnabled(6));

    const HWND tree = window.treeView();
    const HTREEITEM root = Root(tree);
    EXPECT_EQ(ItemText(tree, root), L"Data");
    EXPECT_EQ(Children(tree, root), (std::vector<std::wstring>{L"maps", L"art", L"sounds", L"readme.txt"}));
    // The root is selected, and the core knows it.
    EXPECT_EQ(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(root));
    EXPECT_EQ(window.frm().tree().SelectedIndex(), 1);
    // "maps" has a + box, but its children come only when it is first expanded.
    const int maps = NodeByText("maps");
    const HTREEITEM mapsItem = window.ItemOfNode(maps);
    ASSERT_NE(mapsItem, nullptr);
    EXPECT_TRUE(Children(tree, mapsItem).empty());
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(mapsItem));
    EXPECT_EQ(Children(tree, mapsItem), (std::vector<std::wstring>{L"town", L"index.txt"}));

    // The menu's Open: the general title, and the RBF sample disables the extract buttons.
    dialog->answers.push_back(dir.File("sample-sv1.big"));
    Command(kCmdOpen);
    EXPECT_EQ(dialog->shown.back().title, "Open SV1 / SV2 / MF Archive File");
    EXPECT_EQ(Text(window.logBox()).rfind(L"Identifier=RBF\r\n", 0), 0u) << Text(window.logBox());
    EXPECT_EQ(ItemText(tree, Root(tree)), L"sample-sv1.big");
    EXPECT_FALSE(ButtonEnabled(5) || ButtonEnabled(6));
    EXPECT_TRUE(messages.empty());
}

// Both write ".\data" beside the archive, wherever the program started.
TEST_F(Fixture, BothExtractCommandsWriteFilesAndSaveAllEndsWithTheBarFull)
{
    const TempDir started;
    window.frm().OutputBase = started.path();
    OpenThroughButton(3, "sample.sga");
    const HTREEITEM readme = window.ItemOfNode(NodeByText("readme.txt"));
    ASSERT_NE(readme, nullptr);
    SendMessageW(window.treeView(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(readme));
    Command(kButtonBase + 5);
    EXPECT_EQ(ReadBytes((dir.path() / "data" / "readme.txt").string()),
              "A sample archive made by the archive tool's own builders.\r\n");
    EXPECT_FALSE(fs::exists(dir.path() / "data" / "maps" / "town" / "plan.dat"));

    Command(kButtonBase + 6);
    EXPECT_TRUE(fs::exists(dir.path() / "data" / "maps" / "town" / "plan.dat"));
    EXPECT_EQ(fs::file_size(dir.path() / "data" / "art" / "logo.tga"), 512u);
    EXPECT_TRUE(fs::is_empty(started.path()));
    const LRESULT maximum = SendMessageW(window.progressBar(), PBM_GETRANGE, FALSE, 0);
    EXPECT_GT(maximum, 0);
    EXPECT_EQ(SendMessageW(window.progressBar(), PBM_GETPOS, 0, 0), maximum);
    const std::wstring log = Text(window.logBox());
    EXPECT_NE(log.find(L"Extracting: readme.txt\r\n"), std::wstring::npos);
    EXPECT_EQ(log.substr(log.size() - 21), L"...Extract finished\r\n");
    // What a screen reader asks for: the log's text, lines ended as in a text box.
    EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthW(window.logBox())), log.size());
}

TEST_F(Fixture, WhileSaveAllRunsNothingChangesWhatItReadsAndExitWaitsForIt)
{
    OpenThroughButton(2, "sample.sga");
    // Queued before Save All: they arrive while it lets messages run.
    Post(WM_CLOSE);
    Post(WM_COMMAND, kCmdExit);
    Post(WM_COMMAND, kCmdOpen);
    Post(WM_COMMAND, kButtonBase + 1);
    Post(WM_COMMAND, kButtonBase + 5);
    Post(WM_COMMAND, kButtonBase + 6);
    Post(WM_COMMAND, kCmdDebugToFile);
    Post(WM_COMMAND, kCmdAbout);
    Command(kButtonBase + 6);

    // The About box opened from the main window after the close box and Exit
    // had been chosen: the window was still there, and so was what Save All used.
    EXPECT_NE(window.aboutBox(), nullptr);
    EXPECT_EQ(dialog->shown.size(), 1u); // only the first open
    EXPECT_FALSE(window.frm().DebugToFile);
    const std::wstring log = Text(window.logBox());
    EXPECT_EQ(log.find(L"Extracting: "), std::wstring::npos); // Save Selected did not run
    EXPECT_EQ(log.find(L"Cannot extract directory"), std::wstring::npos);
    // Save All stopped between two steps, and then the window closed.
    EXPECT_FALSE(fs::exists(dir.path() / "data" / "maps" / "town" / "plan.dat"));
    EXPECT_FALSE(IsWindow(window.hwnd()));
    EXPECT_FALSE(window.frm().Zlib);

    // The About box outlives the main window: the program ends when it closes.
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    SendMessageW(window.aboutBox(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Fixture, TheAboutBoxShowsTheVersionAndCreditsAndSaysWhenSystemInfoIsMissing)
{
    Command(kCmdAbout);
    const HWND about = window.aboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(Text(about), L"About Tavrin's SV1 / SV2 / MF Archive Tool");
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(Text(child));
    }
    EXPECT_EQ(texts.at(0), L"OK"); // first in the tab order
    EXPECT_EQ(texts.at(1), L"&System Info...");
    EXPECT_EQ(texts.at(2), L"Version 1.6.0");
    EXPECT_NE(texts.at(3).find(L"\r\n\r\n"), std::wstring::npos);
    EXPECT_EQ(texts.at(5), L"Tavrin's SV1 / SV2 / MF Archive Tool");

    std::vector<std::wstring> aboutMessages;
    window.aboutBoxObject()->messageSink = [&](const std::wstring& text) { aboutMessages.push_back(text); };
    SendMessageW(about, WM_COMMAND, AboutBox::kSysInfo, 0);
    EXPECT_EQ(aboutMessages, std::vector<std::wstring>{L"System Information Is Unavailable At This Time"});
    EXPECT_TRUE(IsWindow(about));
    // Choosing About again brings the same box forward; OK closes it.
    Command(kCmdAbout);
    EXPECT_EQ(window.aboutBox(), about);
    SendMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_EQ(window.aboutBox(), nullptr);
}

// The log box keeps every line, follows the end as lines arrive, copies the
// lines chosen with the keyboard, and shows a control character from archive
// text as a symbol.
TEST_F(Fixture, TheLogBoxKeepsEveryLineFollowsTheEndAndCopiesTheChosenLines)
{
    for (int i = 0; i < 5000; ++i) {
        window.frm().sText("line " + std::to_string(i) + "\tend");
    }
    window.FlushPending();
    const HWND log = window.logBox();
    EXPECT_EQ(SendMessageW(log, EM_GETLINECOUNT, 0, 0), 5001); // the last line break begins an empty line
    const std::wstring text = Text(log);
    EXPECT_EQ(text.rfind(L"line 0\u2409end\r\nline 1\u2409end\r\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 15), L"line 4999\u2409end\r\n");

    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(log, SB_VERT, &bar));
    EXPECT_EQ(bar.nMax, 5000);
    EXPECT_EQ(bar.nPos + static_cast<int>(bar.nPage), 5001); // the last page is in view

    // Ctrl+End chooses the last line, Shift+Up adds the one before; WM_COPY copies both.
    const auto key = [log](WPARAM vk, std::initializer_list<BYTE> held) {
        BYTE state[256] = {};
        for (const BYTE down : held) {
            state[down] = 0x80;
        }
        SetKeyboardState(state);
        SendMessageW(log, WM_KEYDOWN, vk, 0);
        BYTE none[256] = {};
        SetKeyboardState(none);
    };
    key(VK_END, {VK_CONTROL});
    key(VK_UP, {VK_SHIFT});
    SendMessageW(log, WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(window.hwnd()));
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) {
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(copied, L"line 4999\u2409end\r\n");

    // A line feed inside archive text starts no line of its own.
    window.frm().sText("name\nLoad failed: FORGED");
    window.FlushPending();
    EXPECT_EQ(SendMessageW(log, EM_GETLINECOUNT, 0, 0), 5002);
    // Lines that come soon after others: the bar is drawn later, its numbers are set at once.
    ASSERT_TRUE(GetScrollInfo(log, SB_VERT, &bar));
    EXPECT_EQ(bar.nMax, 5001);
    EXPECT_EQ(bar.nPos + static_cast<int>(bar.nPage), 5002);
    const std::wstring forged = L"\r\nname\u240ALoad failed: FORGED\r\n";
    EXPECT_EQ(Text(log).substr(Text(log).size() - forged.size()), forged);

    window.ClearLog();
    window.FlushPending();
    EXPECT_EQ(Text(log), L"");
    EXPECT_EQ(SendMessageW(log, EM_GETLINECOUNT, 0, 0), 1);
}
