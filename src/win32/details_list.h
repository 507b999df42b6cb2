#pragma once

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

namespace archive::win32 {

// The details list: a virtual list view in report mode (LVS_OWNERDATA), so it
// holds only a row count and the nodes behind the rows; the window answers
// LVN_GETDISPINFO for the rows in view. Several rows can be selected.
class DetailsList {
  public:
    static constexpr int kColumns = 5; // Name, Size, Packed, Ratio, Offset or CRC

    HWND Create(HWND parent, int id, int left, int top, int width, int height);
    HWND hwnd() const { return hwnd_; }
    void SetImages(HIMAGELIST images);
    // The last column's title: "Offset" for SGA, "CRC" for RBF.
    void SetLastColumn(bool rbf);
    // The Name column's width, and the least width of the others.
    void SetColumnWidths(int name, int others);
    // The widest texts of the number columns (1 to 4; 0 unused): each column
    // is made at least as wide as its text in the list's font, plus `margin`.
    void SetWidestTexts(const std::array<std::wstring, kColumns>& texts, int margin);
    // What the list says while it has no row (the filter's "No matches");
    // empty: nothing. Painted where the rows would be.
    void SetEmptyText(std::wstring text);
    const std::wstring& EmptyText() const { return emptyText_; }
    // Shows the sort column's arrow (none for -1).
    void SetSortMark(int column, bool ascending);

    // The rows, by node index; `select` (a node) is selected and focused when listed.
    void SetRows(std::vector<int> nodes, int select = 0);
    const std::vector<int>& Rows() const { return rows_; }
    int NodeAt(int row) const;
    int RowOf(int node) const;
    // The selected rows' nodes in the list's order, and the focused one (0 for none).
    std::vector<int> SelectedNodes() const;
    int FocusedNode() const;
    void SelectAll();

  private:
    static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    void ApplyWidths();
    void PaintEmpty();

    HWND hwnd_ = nullptr;
    std::vector<int> rows_;
    int nameWidth_ = 0;
    int otherWidth_ = 0;
    std::array<int, kColumns> contentWidths_{}; // from the widest texts
    std::array<int, kColumns> applied_{};       // the widths set last
    std::wstring emptyText_;
};

} // namespace archive::win32
