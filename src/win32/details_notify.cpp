// The notifications of the tree and the details list: what a user's clicks and keys there mean.
#include "win32/main_window.h"

#include "win32/text.h"

#include <algorithm>

namespace archive::win32 {

LRESULT MainWindow::OnTreeNotify(const NMHDR& header)
{
    const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
    switch (header.code) {
    case TVN_GETDISPINFOW:
        tree_.OnGetDispInfo(const_cast<NMTVDISPINFOW&>(reinterpret_cast<const NMTVDISPINFOW&>(header)));
        break;
    case NM_CUSTOMDRAW:
        return tree_.OnCustomDraw(
            const_cast<NMTVCUSTOMDRAW&>(reinterpret_cast<const NMTVCUSTOMDRAW&>(header)));
    case TVN_ITEMEXPANDINGW:
        if (change.action == TVE_EXPAND) {
            tree_.OnExpanding(static_cast<int>(change.itemNew.lParam));
        }
        break;
    case TVN_ITEMEXPANDEDW:
        tree_.OnExpanded(static_cast<int>(change.itemNew.lParam), (change.action & TVE_EXPAND) != 0);
        break;
    case TVN_SELCHANGEDW:
        if (!tree_.Updating()) {
            const int node = change.itemNew.hItem ? static_cast<int>(change.itemNew.lParam) : 0;
            frm_.tree().Select(node);
            ShowFolderOf(node);
            UpdateCommands();
        }
        break;
    default:
        break;
    }
    return 0;
}

LRESULT MainWindow::OnListNotify(const NMHDR& header)
{
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
        const int node = list_.NodeAt(item.iItem);
        if (node == 0) {
            return 0;
        }
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const std::wstring text =
                item.iSubItem == 0 ? DisplayWide(frm_.tree().Node(node).text)
                                   : DisplayWide(details_.Text(
                                         node,
                                         item.iSubItem >= 4 && frm_.CatalogueFormat == ArchiveFormat::Rbf
                                             ? DetailsColumn::Crc
                                             : static_cast<DetailsColumn>(std::min(item.iSubItem, 4)),
                                         frm_.DecimalSeparator, ","));
            lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
        }
        if (item.mask & LVIF_IMAGE) {
            item.iImage = ImageOf(node);
        }
        return 0;
    }
    case LVN_ODFINDITEMW: {
        // Typing a name's first letters finds it, as in any list.
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) {
            return -1;
        }
        const std::wstring wanted = find.lvfi.psz;
        const auto count = static_cast<int>(list_.Rows().size());
        for (int i = 0; i < count; ++i) {
            const int row = (std::max(find.iStart, 0) + i) % std::max(count, 1);
            const std::wstring name = DisplayWide(frm_.tree().Node(list_.NodeAt(row)).text);
            if (name.size() >= wanted.size() &&
                CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(),
                               static_cast<int>(wanted.size()), wanted.c_str(),
                               static_cast<int>(wanted.size())) == CSTR_EQUAL) {
                return row;
            }
        }
        return -1;
    }
    case LVN_COLUMNCLICK: {
        const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
        order_.Click(click.iSubItem);
        list_.SetSortMark(order_.Column(), order_.Ascending());
        const std::vector<int> selected = list_.SelectedNodes();
        const int focused = list_.FocusedNode();
        std::vector<int> rows = list_.Rows();
        order_.Sort(rows, details_, frm_.CatalogueFormat == ArchiveFormat::Rbf);
        list_.SetRows(std::move(rows), focused);
        for (const int node : selected) {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            SendMessageW(list_.hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(list_.RowOf(node)),
                         reinterpret_cast<LPARAM>(&state));
        }
        return 0;
    }
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_FOCUSED) &&
            !(change.uOldState & LVIS_FOCUSED)) {
            // The focused row is the selected node of the core: Save Selected takes it.
            if (const int node = list_.NodeAt(change.iItem); node != 0) {
                frm_.tree().Select(node);
            }
            UpdateCommands();
        }
        return 0;
    }
    case NM_DBLCLK: {
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        Activate(list_.NodeAt(activate.iItem));
        return 0;
    }
    case LVN_BEGINDRAG:
        DragOut();
        return 0;
    case LVN_KEYDOWN: {
        const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
        if (key.wVKey == 'A' && GetKeyState(VK_CONTROL) < 0) {
            list_.SelectAll();
        } else if (key.wVKey == VK_SPACE) {
            OnCommand(kCmdPreview);
        } else if (key.wVKey == VK_BACK && listedFolder_ != 0) {
            const int parent = frm_.tree().Node(listedFolder_).parent;
            if (parent != 0) {
                tree_.SelectNode(parent); // up one folder
            }
        }
        return 0;
    }
    default:
        return 0;
    }
}

// Enter or a double click on a row: into a folder, as Explorer does, or the file's preview.
void MainWindow::Activate(int node)
{
    if (node != 0 && details_.IsFolder(node)) {
        tree_.SelectNode(node);
    } else if (node != 0) {
        OnCommand(kCmdPreview);
    }
}

void MainWindow::ShowContextMenu(POINT at)
{
    if (at.x == -1 && at.y == -1) { // the keyboard's menu key: at the focused row
        RECT row{LVIR_BOUNDS, 0, 0, 0};
        const int focused = static_cast<int>(
            SendMessageW(list_.hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (focused >= 0 && SendMessageW(list_.hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(focused),
                                         reinterpret_cast<LPARAM>(&row))) {
            at = {row.left + 8, row.bottom};
        } else {
            at = {8, 8};
        }
        ClientToScreen(list_.hwnd(), &at);
    }
    if (const int chosen = menus_.TrackContextMenu(hwnd_, at); chosen != 0) {
        OnCommand(chosen);
    }
}

void MainWindow::Preview()
{
    const int node = list_.FocusedNode();
    if (node == 0 || details_.IsFolder(node)) {
        return;
    }
    if (previewer) {
        previewer(node);
    }
}

} // namespace archive::win32
