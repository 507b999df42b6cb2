#pragma once

// What the Windows window's tests share: a hidden window of their own with
// the sample archives, and ways to read its controls back.
#include "gui/scripted_dialog.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"
#include "win32/about_box.h"
#include "win32/main_window.h"
#include "win32/open_dialog.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace archive::win32::testing {

using namespace archive::testing;
namespace fs = std::filesystem;

// No registry here: System Info has nothing to start.
class NoRegistry : public RegistryAndLauncher {
  public:
    bool OpenKey(std::int32_t, const std::string&, std::uint32_t, std::uintptr_t&) override { return false; }
    bool QueryValue(std::uintptr_t, const std::string&, std::size_t, std::uint32_t&, std::string&) override
    {
        return false;
    }
    void CloseKey(std::uintptr_t) override {}
    bool FileExists(const std::string&) override { return false; }
    bool StartProgram(const std::string&) override { return false; }
};

inline std::wstring Text(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::wstring ItemText(HWND tree, HTREEITEM item)
{
    wchar_t buffer[512] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = buffer;
    data.cchTextMax = 512;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return buffer;
}

// The texts of an item's children as the tree view holds them.
inline std::vector<std::wstring> Children(HWND tree, HTREEITEM item)
{
    std::vector<std::wstring> texts;
    auto child = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    for (; child; child = reinterpret_cast<HTREEITEM>(
                      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
        texts.push_back(ItemText(tree, child));
    }
    return texts;
}

inline HTREEITEM Root(HWND tree)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

inline std::wstring StatusText(HWND status)
{
    wchar_t buffer[1024] = {};
    SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

// The texts of a column of the details list, row by row, as a user sees them.
inline std::vector<std::wstring> ListColumn(HWND list, int column)
{
    std::vector<std::wstring> texts;
    const auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        wchar_t buffer[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        texts.push_back(buffer);
    }
    return texts;
}

// A drop of one file on a window, as Explorer makes it.
inline void DropFile(HWND window, const std::wstring& path)
{
    const std::size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    std::copy(path.begin(), path.end(), names);
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0); // DragFinish frees it
}

// A window of its own, hidden, with sample archives and an output folder.
struct Fixture : ::testing::Test {
    TempDir dir;
    ScriptedDialog* dialog = nullptr;
    MainWindow window{[this] {
                          auto scripted = std::make_unique<ScriptedDialog>();
                          dialog = scripted.get();
                          return scripted;
                      }(),
                      std::make_unique<NoRegistry>()};
    std::vector<std::wstring> messages;

    void SetUp() override
    {
        WriteBytes(dir.File("sample.sga"), ShippedSampleSga());
        WriteBytes(dir.File("sample-sv1.big"), ShippedSampleRbf());
        ASSERT_TRUE(window.Create(SW_HIDE));
        window.frm().OutputBase = dir.path();
        window.messageSink = [this](const std::wstring& text) { messages.push_back(text); };
    }

    int NodeByText(const std::string& text)
    {
        const CatalogueTree& tree = window.frm().tree();
        for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
            if (tree.Node(node).text == text) {
                return node;
            }
        }
        return 0;
    }
    void SelectInTree(int node)
    {
        SendMessageW(window.treeView(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(window.ItemOfNode(node)));
    }
    // A click on a header of the details list.
    void ClickColumn(int column)
    {
        NMLISTVIEW click{};
        click.hdr.hwndFrom = window.detailsList();
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window.detailsList()));
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(window.hwnd(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    }
    // Selects the list's rows of these names (and no other), the first focused.
    void SelectRows(const std::vector<std::wstring>& names)
    {
        const std::vector<std::wstring> shown = ListColumn(window.detailsList(), 0);
        bool first = true;
        for (std::size_t row = 0; row < shown.size(); ++row) {
            const bool wanted = std::find(names.begin(), names.end(), shown[row]) != names.end();
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | (wanted && first ? LVIS_FOCUSED : 0);
            state.state = wanted ? state.stateMask : 0;
            first = first && !wanted;
            SendMessageW(window.detailsList(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        }
    }
    // A key as the message loop delivers it to a control, accelerators and dialog keys first.
    void Key(HWND control, WPARAM key, bool controlDown = false)
    {
        BYTE state[256] = {};
        if (controlDown) {
            state[VK_CONTROL] = 0x80;
        }
        SetKeyboardState(state);
        MSG message{control, WM_KEYDOWN, key, 0, 0, {0, 0}};
        if (!window.PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        BYTE none[256] = {};
        SetKeyboardState(none);
    }
    void Command(int id) { SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Post(UINT message, int id = 0) { PostMessageW(window.hwnd(), message, MAKEWPARAM(id, 0), 0); }
    bool ButtonEnabled(int position)
    {
        return SendMessageW(window.toolBar(), TB_ISBUTTONENABLED, kButtonBase + position, 0) != 0;
    }
    void OpenThroughButton(int position, const std::string& name)
    {
        dialog->answers.push_back(dir.File(name));
        Command(kButtonBase + position);
    }
};

} // namespace archive::win32::testing
