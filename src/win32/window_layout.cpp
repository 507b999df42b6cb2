// The main window's controls, their places, and the rules that size them.
#include "win32/main_window.h"

#include "commands/command_table.h"
#include "win32/accessible_names.h"
#include "win32/text.h"
#include "window/layout.h"

#include <windowsx.h>

#include <algorithm>

namespace archive::win32 {

namespace {

enum ControlId : int {
    kIdToolbar = 10,
    kIdTree,
    kIdLog,
    kIdProgress,
    kIdStatus,
    kIdList,
    kIdFilter,
    kIdFilterLabel
};

// The least client area in which every pane keeps a usable size (at 96 DPI).
constexpr int kMinimumClientWidth = 480;
constexpr int kMinimumClientHeight = 340;
// The filter row above the list, and the splitter bar between the panes and the log box.
constexpr int kFilterHeight = 23;
constexpr int kFilterLabelWidth = 40;
constexpr int kSplitterHeight = 6;

// Twips of the layout rule.
constexpr float kTreeLeft = 120;
constexpr float kPanesTop = 840;

} // namespace

void MainWindow::CreateControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto id = [](int control) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(control)); };
    const Scale& s = scale_;
    // Created in tab order (tree 0, status bar 1, log box 2, progress bar 3, toolbar 4, then the
    // filter box and the details list), at the places they have before the first layout.
    tree_.Create(hwnd_, kIdTree, s.Pixels(kTreeLeft), s.Pixels(kPanesTop), s.Pixels(3855), s.Pixels(5895));
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                              hwnd_, id(kIdStatus), instance, nullptr);
    SendMessageW(status_, SB_SIMPLE, TRUE, 0);
    log_ = logView_.Create(hwnd_, kIdLog, s.Pixels(4080), s.Pixels(840), s.Pixels(5295), s.Pixels(5895));
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, s.Pixels(6840),
                                s.Pixels(9495), s.Pixels(255), hwnd_, id(kIdProgress), instance, nullptr);
    SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    toolbar_.Create(hwnd_, kIdToolbar, kButtonBase, scale_.dpi);
    filter_.Create(hwnd_, kIdFilter, kIdFilterLabel);
    list_.Create(hwnd_, kIdList, s.Pixels(4080), s.Pixels(840), s.Pixels(5295), s.Pixels(3000));
    const std::pair<HWND, std::string_view> names[] = {{tree_.hwnd(), kTreeAccessibleName},
                                                       {list_.hwnd(), "Files"},
                                                       {log_, kLogAccessibleName},
                                                       {progress_, kProgressAccessibleName},
                                                       {status_, kStatusAccessibleName},
                                                       {filter_.hwnd(), kFilterAccessibleName},
                                                       {toolbar_.hwnd(), kToolbarAccessibleName}};
    for (const auto& [control, name] : names) {
        SetAccessibleName(control, HostWide(name).c_str());
    }
    // The window text too, where it is not the control's content.
    for (HWND control : {tree_.hwnd(), progress_}) {
        SetWindowTextW(
            control,
            HostWide(control == tree_.hwnd() ? kTreeAccessibleName : kProgressAccessibleName).c_str());
    }
    if (const HIMAGELIST images = icons_.Images()) {
        tree_.SetImages(images);
        list_.SetImages(images);
    }
    SetFonts();
}

void MainWindow::PlaceAtStart(DWORD style, DWORD exStyle)
{
    // A client area of 633 by 487 pixels (at 96 dots per inch) below the menu
    // bar, centred, and never taller or wider than the screen's work area.
    RECT frame = {0, 0, scale_.Pixels(9495), scale_.Pixels(7305)};
    AdjustWindowRectEx(&frame, style, TRUE, exStyle);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width =
        std::min(static_cast<int>(frame.right - frame.left), static_cast<int>(work.right - work.left));
    const int height =
        std::min(static_cast<int>(frame.bottom - frame.top), static_cast<int>(work.bottom - work.top));
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void MainWindow::SetFonts()
{
    const HFONT old = font_;
    font_ = MakeMessageFont(scale_.dpi);
    for (HWND control : {tree_.hwnd(), log_, status_, list_.hwnd(), filter_.hwnd(), filter_.label()}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old) {
        DeleteObject(old);
    }
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested)
{
    scale_.dpi = dpi;
    SetFonts();
    toolbar_.SetDpi(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SizeNameColumn(list_.Rows());
    SizeNumberColumns();
    Layout();
}

void MainWindow::OnMinMaxInfo(MINMAXINFO& info) const
{
    // Below this the layout rule's steps are refused and the panes lose their places.
    RECT frame = {0, 0, scale_.Scaled(kMinimumClientWidth), scale_.Scaled(kMinimumClientHeight)};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES);
    info.ptMinTrackSize.x = frame.right - frame.left;
    info.ptMinTrackSize.y = frame.bottom - frame.top;
}

// The rule of the Parts places the tree, the right-hand column (where the log
// box stood: the filter box and the details list) and the progress bar; the
// height the rule gives the tree is shared, by the splitter, between the
// upper panes and the log box below them, which spans both columns.
void MainWindow::Layout()
{
    if (!tree_.hwnd() || IsIconic(hwnd_)) {
        return;
    }
    const Scale& s = scale_;
    const FormLayout layout =
        FormResizeLayout(s.Twips(Width(hwnd_)), s.Twips(Height(hwnd_)), s.Twips(Width(tree_.hwnd())));
    Place(progress_, 0, layout.progressTop ? s.Pixels(*layout.progressTop) : s.Pixels(6840),
          layout.progressWidth ? s.Pixels(*layout.progressWidth) : Width(progress_), s.Pixels(255));

    const int top = s.Pixels(kPanesTop);
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT progress{};
    GetWindowRect(progress_, &progress);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&progress), 2);
    const int together =
        layout.treeHeight ? s.Pixels(*layout.treeHeight) : std::max(0, static_cast<int>(progress.top) - top);
    const int gap = s.Scaled(kSplitterHeight);
    const int upper =
        std::clamp(static_cast<int>(upperShare_ * (together - gap)), 0, std::max(0, together - gap));
    const int treeWidth = layout.treeWidth ? s.Pixels(*layout.treeWidth) : Width(tree_.hwnd());
    Place(tree_.hwnd(), s.Pixels(kTreeLeft), top, treeWidth, upper);
    // The column starts where the tree ends, as the tree now reports its width.
    const int columnLeft = Width(tree_.hwnd()) + s.Pixels(150);
    const int columnWidth = layout.logWidth ? s.Pixels(*layout.logWidth) : Width(list_.hwnd());
    const int filterHeight = s.Scaled(kFilterHeight);
    filter_.Place(columnLeft, top, columnWidth, filterHeight, s.Scaled(kFilterLabelWidth));
    const int listTop = top + filterHeight + s.Scaled(4);
    Place(list_.hwnd(), columnLeft, listTop, columnWidth, std::max(0, top + upper - listTop));
    // A list that is only moved gets its old pixels copied, not a paint: drawn
    // whole, with its header, after every placement.
    RedrawWindow(list_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    const int logLeft = s.Pixels(kTreeLeft);
    Place(log_, logLeft, top + upper + gap, std::max(0, columnLeft + columnWidth - logLeft),
          std::max(0, together - upper - gap));
}

RECT MainWindow::SplitterBar() const
{
    RECT tree{};
    GetWindowRect(tree_.hwnd(), &tree);
    RECT log{};
    GetWindowRect(log_, &log);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&tree), 2);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&log), 2);
    return RECT{log.left, tree.bottom, log.right, log.top};
}

bool MainWindow::OnSplitterMouse(UINT message, LPARAM lParam)
{
    if (message == WM_SETCURSOR) {
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(hwnd_, &at);
        const RECT bar = SplitterBar();
        if (dragging_ || PtInRect(&bar, at)) {
            SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
            return true;
        }
        return false;
    }
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_LBUTTONDOWN: {
        const RECT bar = SplitterBar();
        if (!PtInRect(&bar, at)) {
            return false;
        }
        dragging_ = true;
        SetCapture(hwnd_);
        return true;
    }
    case WM_MOUSEMOVE: {
        if (!dragging_) {
            return false;
        }
        RECT tree{};
        GetWindowRect(tree_.hwnd(), &tree);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&tree), 2);
        const RECT bar = SplitterBar();
        const int together = (bar.bottom - tree.top) + Height(log_) - scale_.Scaled(kSplitterHeight);
        if (together > 0) {
            upperShare_ = std::clamp(static_cast<double>(at.y - tree.top) / together, 0.1, 0.9);
            Layout();
        }
        return true;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (!dragging_) {
            return false;
        }
        dragging_ = false;
        if (message == WM_LBUTTONUP) {
            ReleaseCapture();
        }
        return true;
    default:
        return false;
    }
}

} // namespace archive::win32
