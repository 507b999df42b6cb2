#include "win32/main_window.h"

#include "commands/exit_command.h"
#include "commands/extract_to.h"
#include "platform/text_encoding.h"
#include "version/version_text.h"
#include "win32/about_box.h"
#include "win32/open_dialog.h"
#include "win32/resource_ids.h"
#include "window/layout.h"
#include "window/view_batch.h"

#include <algorithm>
#include <cmath>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace archive::win32 {

namespace {

constexpr const wchar_t* kClassName = L"ArchiveToolMain";
constexpr COLORREF kLightGrey = RGB(192, 192, 192);
constexpr UINT_PTR kFlushTimer = 1;

enum ControlId : int { kIdToolbar = 10, kIdTree, kIdLog, kIdProgress, kIdStatus };

// A toolbar button's key, tooltip and image, left to right; an empty key is the separator.
struct ButtonSpec {
    const char* key;
    const wchar_t* tooltip;
    int image;
};
constexpr std::array<ButtonSpec, 6> kButtons = {{{"OpenSV1", L"Open SV1 BIG File", 1},
                                                 {"OpenBIG", L"Open SV2 BIG File", 2},
                                                 {"OpenSGA", L"Open MF SGA File", 3},
                                                 {"", L"", 0},
                                                 {"SaveSelected", L"Save Selected File", 4},
                                                 {"SaveAll", L"Save All Files in Archive", 5}}};
// The image list's icons, in the order of its keys "Open", "OpenSV1", "OpenBIG",
// "OpenSGA", "SaveSelected", "SaveAll" (the first is not used by a button).
constexpr std::array<int, 6> kImageIcons = {IDI_APP,     IDI_OPENSV1,      IDI_OPENBIG,
                                            IDI_OPENSGA, IDI_SAVESELECTED, IDI_SAVEALL};

// Archive text for a control: Windows-1252 to UTF-16, a NUL shown as a blank
// so that it cannot cut the rest of the text off.
std::wstring DisplayWide(std::string_view bytes)
{
    std::wstring wide = Windows1252ToWide(bytes);
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    return wide;
}

// Host text (UTF-8: paths as the host names them, messages that may hold one) for a control.
std::wstring HostWide(std::string_view utf8)
{
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    return wide;
}

int Width(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

int Height(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

void Place(HWND window, int left, int top, int width, int height)
{
    SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

UINT WindowDpi(HWND window)
{
    // Windows 10 answers per window; older systems have one DPI for the whole screen.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    if (const HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
        if (const FARPROC found = GetProcAddress(user32, "GetDpiForWindow")) {
            const auto getDpi =
                reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(found));
            if (const UINT dpi = getDpi(window)) {
                return dpi;
            }
        }
    }
    const HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

HFONT MakeMessageFont(UINT dpi, int weight, double points, const wchar_t* face)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    const HDC screen = GetDC(nullptr);
    const int systemDpi = std::max(GetDeviceCaps(screen, LOGPIXELSY), 1);
    ReleaseDC(nullptr, screen);
    font.lfHeight = points > 0 ? -static_cast<LONG>(std::lround(points * dpi / 72.0))
                               : MulDiv(font.lfHeight, static_cast<int>(dpi), systemDpi);
    font.lfWidth = 0;
    font.lfWeight = weight;
    if (face) {
        lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    }
    return CreateFontIndirectW(&font);
}

MainWindow::MainWindow(std::unique_ptr<OpenFileDialog> dialog, std::unique_ptr<RegistryAndLauncher> registry)
    : dialog_(dialog ? std::move(dialog) : std::make_unique<Win32OpenFileDialog>(hwnd_)),
      registry_(registry ? std::move(registry) : MakeSystemRegistry())
{
    messageSink = [this](const std::wstring& text) {
        const std::wstring caption = DisplayWide(kApplicationTitle);
        MessageBoxW(hwnd_, text.c_str(), caption.c_str(), MB_OK);
    };
}

MainWindow::~MainWindow()
{
    about_.reset();
    if (hwnd_ && IsWindow(hwnd_)) {
        // Torn down from outside (tests): no quit message, no handler on a half-destroyed object.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        KillTimer(hwnd_, kFlushTimer);
        DestroyWindow(hwnd_);
    }
    if (accelerators_) {
        DestroyAcceleratorTable(accelerators_);
    }
    if (images_) {
        ImageList_Destroy(images_);
    }
    if (font_) {
        DeleteObject(font_);
    }
    for (HICON icon : {bigIcon_, smallIcon_}) {
        if (icon) {
            DestroyIcon(icon);
        }
    }
}

int MainWindow::Pixels(float twips) const
{
    return static_cast<int>(std::lround(twips * static_cast<float>(dpi_) / 1440.0f));
}

float MainWindow::Twips(int pixels) const
{
    return static_cast<float>(pixels) * 1440.0f / static_cast<float>(dpi_);
}

bool MainWindow::Create(int show)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    const int bigSize = GetSystemMetrics(SM_CXICON) * 3 / 2; // 48 pixels at 96 dots per inch
    bigIcon_ =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, bigSize, bigSize, 0));
    smallIcon_ =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, kClassName, &existing)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &MainWindow::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = bigIcon_;
        windowClass.hIconSm = smallIcon_;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassExW(&windowClass)) {
            return false;
        }
    }
    BuildMenus();
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    hwnd_ = CreateWindowExW(exStyle, kClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, menu_, instance, this);
    if (!hwnd_) {
        return false;
    }
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    dpi_ = WindowDpi(hwnd_);
    CreateControls();

    frm_.Form_Load();
    SetWindowTextW(hwnd_, DisplayWide(frm_.Title()).c_str());

    // A client area of 633 by 487 pixels (at 96 dots per inch) below the menu bar, centred.
    RECT frame = {0, 0, Pixels(9495), Pixels(7305)};
    AdjustWindowRectEx(&frame, style, TRUE, exStyle);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    FlushPending();
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
    if (show != SW_HIDE) {
        // Without a window manager nothing has the keyboard until a window is activated.
        SetForegroundWindow(hwnd_);
        SetFocus(tree_); // first in the tab order
    }
    return true;
}

void MainWindow::BuildMenus()
{
    menu_ = CreateMenu();
    const HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kCmdOpen, L"&Open\tCtrl+O");
    AppendMenuW(file, MF_STRING, kCmdExit, L"E&xit");
    const HMENU options = CreatePopupMenu();
    AppendMenuW(options, MF_STRING | MF_UNCHECKED, kCmdDebugToFile, L"&Debug to File");
    const HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, kCmdAbout, L"&About");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"&Options");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");

    ACCEL open = {FVIRTKEY | FCONTROL, 'O', kCmdOpen};
    accelerators_ = CreateAcceleratorTableW(&open, 1);
}

void MainWindow::CreateControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto id = [](int control) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(control)); };
    // Created in tab order (tree 0, status bar 1, log box 2, progress bar 3, toolbar 4), at
    // the places they have before the first layout.
    tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_LINESATROOT |
                                TVS_HASBUTTONS | TVS_SHOWSELALWAYS,
                            Pixels(120), Pixels(840), Pixels(3855), Pixels(5895), hwnd_, id(kIdTree),
                            instance, nullptr);
    status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                              hwnd_, id(kIdStatus), instance, nullptr);
    SendMessageW(status_, SB_SIMPLE, TRUE, 0);
    log_ = logView_.Create(hwnd_, kIdLog, Pixels(4080), Pixels(840), Pixels(5295), Pixels(5895));
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, Pixels(6840), Pixels(9495),
                                Pixels(255), hwnd_, id(kIdProgress), instance, nullptr);
    SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    BuildToolbar();
    SetFonts();
}

void MainWindow::BuildToolbar()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    toolbar_ = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0,
        0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdToolbar)), instance, nullptr);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    // Six 32 by 32 images whose light grey (192, 192, 192) is transparent.
    images_ = ImageList_Create(32, 32, ILC_COLOR24 | ILC_MASK, 6, 0);
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBRUSH grey = CreateSolidBrush(kLightGrey);
    for (const int icon : kImageIcons) {
        const auto image =
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON, 32, 32, 0));
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
        const HGDIOBJ old = SelectObject(dc, bitmap);
        const RECT all = {0, 0, 32, 32};
        FillRect(dc, &all, grey);
        DrawIconEx(dc, 0, 0, image, 32, 32, 0, nullptr, DI_NORMAL);
        SelectObject(dc, old);
        ImageList_AddMasked(images_, bitmap, kLightGrey);
        DeleteObject(bitmap);
        DestroyIcon(image);
    }
    DeleteObject(grey);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));

    std::array<TBBUTTON, kButtons.size()> buttons{};
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        TBBUTTON& button = buttons[i];
        button.idCommand = kButtonBase + position;
        if (*kButtons[i].key == '\0') {
            button.fsStyle = BTNS_SEP;
            continue;
        }
        button.iBitmap = kButtons[i].image;
        button.fsStyle = BTNS_BUTTON;
        buttonEnabled_[static_cast<std::size_t>(position)] = position <= 3;
        button.fsState = position <= 3 ? TBSTATE_ENABLED : 0;
        button.iString = -1;
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void MainWindow::SetFonts()
{
    const HFONT old = font_;
    font_ = MakeMessageFont(dpi_);
    for (HWND control : {tree_, log_, status_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old) {
        DeleteObject(old);
    }
}

int MainWindow::Run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

bool MainWindow::PreTranslate(MSG& message)
{
    const bool forMain = !closed_ && hwnd_ && (message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd));
    if (forMain && TranslateAcceleratorW(hwnd_, accelerators_, &message)) {
        return true;
    }
    if (const HWND about = aboutBox(); about && IsDialogMessageW(about, &message)) {
        return true;
    }
    return forMain && IsDialogMessageW(hwnd_, &message);
}

HWND MainWindow::aboutBox() const
{
    return about_ ? about_->hwnd() : nullptr;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (toolbar_) {
            SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
            SendMessageW(status_, WM_SIZE, 0, 0);
            Layout();
        }
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        SetFonts();
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
        if (wParam == kFlushTimer) {
            FlushPending();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        SetFocus(tree_);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        closed_ = true;
        KillTimer(hwnd_, kFlushTimer);
        if (!aboutBox()) {
            PostQuitMessage(0); // an open About box keeps the program until it closes
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(int id)
{
    // While Save All lets messages run, nothing may change what it reads. Exit
    // and the close box go through their own rule: they stop it, then close.
    const bool changesWhatExtractionReads =
        id == kCmdOpen || id == kCmdDebugToFile || (id > kButtonBase && id <= kButtonBase + 6);
    if (frm_.Extracting && changesWhatExtractionReads) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    switch (id) {
    case kCmdOpen:
        archive::mnuFileOpen_Click(frm_, *dialog_, dialogState_);
        FollowArchiveFolder();
        FlushPending();
        break;
    case kCmdExit:
        if (archive::mnuFileExit_Click(frm_)) {
            DestroyWindow(hwnd_);
        }
        return;
    case kCmdDebugToFile:
        frm_.mnuOptionsDebugToFile_Click();
        CheckMenuItem(menu_, kCmdDebugToFile, MF_BYCOMMAND | (frm_.DebugToFile ? MF_CHECKED : MF_UNCHECKED));
        break;
    case kCmdAbout:
        ShowAbout();
        break;
    default:
        if (id > kButtonBase && id <= kButtonBase + 6) {
            ToolbarClick(id - kButtonBase);
        }
        break;
    }
    if (TakePendingClose(frm_)) {
        DestroyWindow(hwnd_); // Exit or the close box came while the command ran
    }
}

void MainWindow::OnClose()
{
    if (Form_QueryUnload(frm_)) {
        DestroyWindow(hwnd_);
    }
}

LRESULT MainWindow::OnNotify(const NMHDR& header)
{
    if (header.hwndFrom == tree_) {
        const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
        if (header.code == TVN_ITEMEXPANDINGW && change.action == TVE_EXPAND) {
            InsertChildren(static_cast<int>(change.itemNew.lParam));
        } else if (header.code == TVN_SELCHANGEDW && !updatingTree_) {
            frm_.tree().Select(change.itemNew.hItem ? static_cast<int>(change.itemNew.lParam) : 0);
        }
        return 0;
    }
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        const auto position = static_cast<int>(header.idFrom) - kButtonBase;
        if (position >= 1 && position <= 6) {
            info.lpszText = const_cast<wchar_t*>(kButtons[static_cast<std::size_t>(position - 1)].tooltip);
        }
    }
    return 0;
}

void MainWindow::ToolbarClick(int position)
{
    const std::string key = kButtons[static_cast<std::size_t>(position - 1)].key;
    if (key.empty()) {
        return;
    }
    const bool extractAll = key == "SaveAll";
    if (extractAll) {
        SetCommandsEnabled(false); // ExtractAll lets messages run: nothing may change what it reads
        pending_.CommandStarts();
    }
    ToolbarButtonClick(frm_, *dialog_, dialogState_, key);
    if (extractAll) {
        SetCommandsEnabled(true);
    }
    FollowArchiveFolder();
    FlushPending();
}

// The toolbar commands write ".\data" beside the archive, as in the other
// window, not wherever the program was started from (for a program in
// Program Files, a folder the user may not write to).
void MainWindow::FollowArchiveFolder()
{
    if (const std::filesystem::path folder = ArchiveFolder(frm_); !folder.empty()) {
        frm_.OutputBase = folder;
    }
}

void MainWindow::SetCommandsEnabled(bool enabled)
{
    for (const int item : {kCmdOpen, kCmdDebugToFile}) {
        EnableMenuItem(menu_, static_cast<UINT>(item), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    for (const int position : {1, 2, 3, 5, 6}) {
        SendMessageW(toolbar_, TB_ENABLEBUTTON, static_cast<WPARAM>(kButtonBase + position),
                     MAKELPARAM(enabled && buttonEnabled_[static_cast<std::size_t>(position)], 0));
    }
}

void MainWindow::ShowAbout()
{
    if (const HWND about = aboutBox()) {
        ShowWindow(about, SW_SHOWNORMAL);
        SetForegroundWindow(about);
        return;
    }
    about_ = std::make_unique<AboutBox>(*registry_, [this] {
        if (closed_) {
            PostQuitMessage(0); // the main window went first: the About box was the last window
        }
    });
    about_->Create();
}

AboutBox* MainWindow::aboutBoxObject() const
{
    return about_ && about_->hwnd() ? about_.get() : nullptr;
}

void MainWindow::Layout()
{
    if (!tree_) {
        return;
    }
    const FormLayout layout =
        FormResizeLayout(Twips(Width(hwnd_)), Twips(Height(hwnd_)), Twips(Width(tree_)));
    Place(progress_, 0, layout.progressTop ? Pixels(*layout.progressTop) : Pixels(6840),
          layout.progressWidth ? Pixels(*layout.progressWidth) : Width(progress_), Pixels(255));
    Place(tree_, Pixels(120), Pixels(840), layout.treeWidth ? Pixels(*layout.treeWidth) : Width(tree_),
          layout.treeHeight ? Pixels(*layout.treeHeight) : Height(tree_));
    // The log box starts where the tree ends, as the tree now reports its width.
    Place(log_, Width(tree_) + Pixels(150), Pixels(840),
          layout.logWidth ? Pixels(*layout.logWidth) : Width(log_),
          layout.logHeight ? Pixels(*layout.logHeight) : Height(log_));
}

void MainWindow::ScheduleFlush()
{
    if (!flushScheduled_ && hwnd_ && !closed_) {
        flushScheduled_ =
            SetTimer(hwnd_, kFlushTimer, static_cast<UINT>(ViewBatch::kInterval.count()), nullptr) != 0;
    }
}

void MainWindow::FlushPending()
{
    if (flushScheduled_) {
        KillTimer(hwnd_, kFlushTimer);
        flushScheduled_ = false;
    }
    if (!log_ || !pending_.Pending()) {
        return;
    }
    const ViewBatch::Changes changes = pending_.Take(ViewBatch::Clock::now());
    if (changes.clearLog) {
        logView_.Clear();
    }
    if (!changes.log.empty()) {
        logView_.Append(std::wstring(changes.log.begin(), changes.log.end()));
    }
    if (changes.status) {
        const std::wstring status =
            changes.statusIsHostText ? HostWide(*changes.status) : DisplayWide(*changes.status);
        SendMessageW(status_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(status.c_str()));
    }
    if (changes.progress) {
        const int minimum = static_cast<int>(changes.progress->minimum);
        const int maximum = std::max(minimum, static_cast<int>(changes.progress->maximum));
        SendMessageW(progress_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
        SendMessageW(
            progress_, PBM_SETPOS,
            static_cast<WPARAM>(std::clamp(static_cast<int>(changes.progress->value), minimum, maximum)), 0);
    }
}

void MainWindow::ClearLog()
{
    pending_.ClearLog();
    ScheduleFlush();
}

void MainWindow::AppendLog(std::string_view text, LogKind)
{
    pending_.AppendLog(text);
    ScheduleFlush();
}

void MainWindow::SetProgressMinimum(float value)
{
    pending_.SetProgressMinimum(value);
    ScheduleFlush();
}

void MainWindow::SetProgressMaximum(float value)
{
    pending_.SetProgressMaximum(value);
    ScheduleFlush();
}

void MainWindow::SetProgressValue(float value)
{
    pending_.SetProgressValue(value);
    ScheduleFlush();
}

void MainWindow::SetStatusText(std::string_view text)
{
    pending_.SetStatus(text);
    ScheduleFlush();
}

void MainWindow::SetStatusHostText(std::string_view utf8)
{
    pending_.SetHostStatus(utf8);
    ScheduleFlush();
}

void MainWindow::SetButtonEnabled(int position, bool enabled)
{
    if (position < 1 || position > 6 || position == 4) {
        return;
    }
    buttonEnabled_[static_cast<std::size_t>(position)] = enabled;
    SendMessageW(toolbar_, TB_ENABLEBUTTON, static_cast<WPARAM>(kButtonBase + position),
                 MAKELPARAM(enabled && !frm_.Extracting, 0));
}

void MainWindow::ShowMessage(std::string_view utf8)
{
    FlushPending();
    messageSink(HostWide(utf8));
}

void MainWindow::DoEvents()
{
    // The command asks after every folder; what waits is shown on the clock,
    // and the messages run when the last turn is a millisecond old.
    const ViewBatch::Clock::time_point now = ViewBatch::Clock::now();
    if (pending_.Due(now)) {
        FlushPending();
    }
    if (!pending_.TurnDue(now)) {
        return;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for the message loop to see
            break;
        }
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void MainWindow::TreeAboutToChange()
{
    // The items refer to nodes by index: they go before the nodes do.
    updatingTree_ = true;
    SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    items_.clear();
    childrenInserted_.clear();
}

void MainWindow::TreeChanged()
{
    updatingTree_ = true;
    SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    const CatalogueTree& tree = frm_.tree();
    items_.assign(tree.Count() + 1, nullptr);
    childrenInserted_.assign(tree.Count() + 1, 0);
    for (const int node : tree.TopLevel()) {
        InsertNode(node, TVI_ROOT);
    }
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        if (tree.Node(node).expanded) {
            ShowNode(node);
            InsertChildren(node);
            SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND,
                         reinterpret_cast<LPARAM>(items_[static_cast<std::size_t>(node)]));
        }
    }
    if (const int selected = tree.SelectedIndex(); selected != 0) {
        SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ShowNode(selected)));
    }
    updatingTree_ = false;
    SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree_, nullptr, TRUE);
}

HTREEITEM MainWindow::ItemOfNode(int node) const
{
    return node >= 1 && static_cast<std::size_t>(node) < items_.size()
               ? items_[static_cast<std::size_t>(node)]
               : nullptr;
}

HTREEITEM MainWindow::ShowNode(int node)
{
    const auto at = static_cast<std::size_t>(node);
    if (!items_[at]) {
        // A node's item exists once its parent's children are inserted.
        const int parent = frm_.tree().Node(node).parent;
        if (parent != 0) {
            ShowNode(parent);
            InsertChildren(parent);
        }
    }
    return items_[at];
}

void MainWindow::InsertChildren(int node)
{
    const auto at = static_cast<std::size_t>(node);
    if (at == 0 || at >= childrenInserted_.size() || childrenInserted_[at] || !items_[at]) {
        return;
    }
    childrenInserted_[at] = 1;
    for (const int child : frm_.tree().Node(node).children) {
        InsertNode(child, items_[at]);
    }
}

HTREEITEM MainWindow::InsertNode(int node, HTREEITEM parent)
{
    const CatalogueNode& data = frm_.tree().Node(node);
    std::wstring text = DisplayWide(data.text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = text.data();
    insert.item.cChildren = data.children.empty() ? 0 : 1; // a + box before the children are inserted
    insert.item.lParam = node;
    const auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    items_[static_cast<std::size_t>(node)] = item;
    return item;
}

void MainWindow::SetTreeAppearance(int, int, int indentation)
{
    // Lines and +/- buttons are the tree view's own styles; 80 twips is too
    // narrow for the buttons, so the style's indentation is the least we use.
    SendMessageW(tree_, TVM_SETINDENT,
                 static_cast<WPARAM>(std::max(Pixels(static_cast<float>(indentation)), 16)), 0);
}

} // namespace archive::win32
