#include "win32/details_list.h"

#include <algorithm>
#include <array>

namespace archive::win32 {

HWND DetailsList::Create(HWND parent, int id, int left, int top, int width, int height)
{
    hwnd_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"Files",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS |
                            LVS_SHAREIMAGELISTS,
                        left, top, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    const std::array<const wchar_t*, kColumns> titles = {L"Name", L"Size", L"Packed", L"Ratio", L"Offset"};
    for (int column = 0; column < kColumns; ++column) {
        LVCOLUMNW data{};
        data.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
        data.fmt = column == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        data.cx = column == 0 ? 200 : 80;
        data.pszText = const_cast<wchar_t*>(titles[static_cast<std::size_t>(column)]);
        data.iSubItem = column;
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&data));
    }
    SetWindowSubclass(hwnd_, &DetailsList::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
    return hwnd_;
}

LRESULT CALLBACK DetailsList::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR self)
{
    auto* list = reinterpret_cast<DetailsList*>(self);
    switch (message) {
    case WM_PAINT:
        if (list->rows_.empty() && !list->emptyText_.empty()) {
            list->PaintEmpty();
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &DetailsList::ListProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// An empty list draws only its background; with a text to say, it says it
// below the header, where the rows would be.
void DetailsList::PaintEmpty()
{
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(hwnd_, &paint);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const auto header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    RECT headerRect{};
    if (header && IsWindowVisible(header)) {
        GetWindowRect(header, &headerRect);
        client.top += headerRect.bottom - headerRect.top;
    }
    const auto background = static_cast<COLORREF>(SendMessageW(hwnd_, LVM_GETBKCOLOR, 0, 0));
    const HBRUSH brush = CreateSolidBrush(background == CLR_NONE ? GetSysColor(COLOR_WINDOW) : background);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT text = client;
    InflateRect(&text, -8, -8);
    DrawTextW(dc, emptyText_.c_str(), static_cast<int>(emptyText_.size()), &text,
              DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    if (old) {
        SelectObject(dc, old);
    }
    EndPaint(hwnd_, &paint);
}

void DetailsList::SetEmptyText(std::wstring text)
{
    if (text != emptyText_) {
        emptyText_ = std::move(text);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

void DetailsList::SetImages(HIMAGELIST images)
{
    SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

void DetailsList::SetLastColumn(bool rbf)
{
    LVCOLUMNW data{};
    data.mask = LVCF_TEXT;
    data.pszText = const_cast<wchar_t*>(rbf ? L"CRC" : L"Offset");
    SendMessageW(hwnd_, LVM_SETCOLUMNW, kColumns - 1, reinterpret_cast<LPARAM>(&data));
}

void DetailsList::SetColumnWidths(int name, int others)
{
    nameWidth_ = name;
    otherWidth_ = others;
    ApplyWidths();
}

void DetailsList::SetWidestTexts(const std::array<std::wstring, kColumns>& texts, int margin)
{
    const HDC dc = GetDC(hwnd_);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    for (int column = 1; column < kColumns; ++column) {
        const std::wstring& text = texts[static_cast<std::size_t>(column)];
        SIZE size{};
        if (!text.empty()) {
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        }
        contentWidths_[static_cast<std::size_t>(column)] =
            text.empty() ? 0 : static_cast<int>(size.cx) + margin;
    }
    if (old) {
        SelectObject(dc, old);
    }
    ReleaseDC(hwnd_, dc);
    ApplyWidths();
}

void DetailsList::ApplyWidths()
{
    // A width set anew lays out the whole list again: only when it changes.
    for (int column = 0; column < kColumns; ++column) {
        const auto at = static_cast<std::size_t>(column);
        const int width = column == 0 ? nameWidth_ : std::max(otherWidth_, contentWidths_[at]);
        if (width != applied_[at]) {
            applied_[at] = width;
            SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
        }
    }
}

void DetailsList::SetSortMark(int column, bool ascending)
{
    const auto header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    for (int at = 0; at < kColumns; ++at) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (at == column) {
            item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        }
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
    }
}

void DetailsList::SetRows(std::vector<int> nodes, int select)
{
    rows_ = std::move(nodes);
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    SendMessageW(hwnd_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    if (const int row = RowOf(select); row >= 0) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
        SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

int DetailsList::NodeAt(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? rows_[static_cast<std::size_t>(row)]
                                                                    : 0;
}

int DetailsList::RowOf(int node) const
{
    if (node == 0) {
        return -1;
    }
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row] == node) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

std::vector<int> DetailsList::SelectedNodes() const
{
    std::vector<int> nodes;
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0) {
            break;
        }
        nodes.push_back(NodeAt(row));
    }
    return nodes;
}

int DetailsList::FocusedNode() const
{
    return NodeAt(
        static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
}

void DetailsList::SelectAll()
{
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
}

} // namespace archive::win32
