#include "win32/main_window.h"

#include "commands/command_table.h"
#include "commands/exit_command.h"
#include "commands/extract_to.h"
#include "version/version_text.h"
#include "win32/about_box.h"
#include "win32/dialogs.h"
#include "win32/open_dialog.h"
#include "win32/resource_ids.h"
#include "win32/text.h"

#include <ole2.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace archive::win32 {

namespace {

constexpr const wchar_t* kClassName = L"ArchiveToolMain";
constexpr UINT_PTR kFlushTimer = 1;

} // namespace

MainWindow::MainWindow(std::unique_ptr<OpenFileDialog> dialog, std::unique_ptr<RegistryAndLauncher> registry)
    : dialog_(dialog ? std::move(dialog) : std::make_unique<Win32OpenFileDialog>(hwnd_)),
      registry_(registry ? std::move(registry) : MakeSystemRegistry())
{
    messageSink = [this](const std::wstring& text) {
        const std::wstring caption = DisplayWide(kApplicationTitle);
        MessageBoxW(hwnd_, text.c_str(), caption.c_str(), MB_OK);
    };
    destinationChooser = [this](const std::filesystem::path& start) {
        return ChooseFolder(hwnd_, L"Extract To", start);
    };
    folderOpener = [](const std::filesystem::path& folder) { OpenInExplorer(folder); };
    existingChooser = [this](const ExistingFile& file) {
        return AskAboutExisting(job_ ? job_->hwnd() : hwnd_, file);
    };
    tree_.imageOf = [this](int node) { return ImageOf(node); };
    // A preview's read is a running command until it is shown or dropped.
    previewer = [this](int node) {
        preview_.ShowNode(hwnd_, frm_, node);
        UpdateCommands();
    };
    preview_.readingEnded = [this] {
        UpdateCommands();
        CloseIfAsked();
    };
}

MainWindow::~MainWindow()
{
    about_.reset();
    fileDrop_.reset(); // before the window it is registered for
    if (hwnd_ && IsWindow(hwnd_)) {
        // Torn down from outside (tests): no quit message, no handler on a half-destroyed object.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        KillTimer(hwnd_, kFlushTimer);
        DestroyWindow(hwnd_);
    }
    if (font_) {
        DeleteObject(font_);
    }
    for (HICON icon : {bigIcon_, smallIcon_}) {
        if (icon) {
            DestroyIcon(icon);
        }
    }
    if (oleInitialized_) {
        OleUninitialize();
    }
}

bool MainWindow::Create(int show)
{
    // For the accessibility service, the folder picker and dragging files out.
    oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES |
                                      ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
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
    const HMENU menu = menus_.Build();
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;
    hwnd_ = CreateWindowExW(exStyle, kClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, menu, instance, this);
    if (!hwnd_) {
        return false;
    }
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    scale_.dpi = WindowDpi(hwnd_);
    CreateControls();
    if (oleInitialized_) {
        fileDrop_ = std::make_unique<FileDrop>(
            hwnd_, [this](const std::filesystem::path& path) { OpenFile(path); }, [this] { return !Busy(); });
    }

    frm_.Form_Load();
    SetWindowTextW(hwnd_, DisplayWide(frm_.Title()).c_str());
    PlaceAtStart(style, exStyle);
    UpdateCommands();
    FlushPending();
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
    if (show != SW_HIDE) {
        // Without a window manager nothing has the keyboard until a window is activated.
        SetForegroundWindow(hwnd_);
        SetFocus(tree_.hwnd()); // first in the tab order
    }
    return true;
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
    if (const HWND job = jobDialog(); job && (message.hwnd == job || IsChild(job, message.hwnd))) {
        return IsDialogMessageW(job, &message);
    }
    const bool forMain = !closed_ && hwnd_ && (message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd));
    if (forMain && TranslateAcceleratorW(hwnd_, menus_.accelerators(), &message)) {
        return true;
    }
    if (forMain && message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        message.hwnd == list_.hwnd()) {
        Activate(list_.FocusedNode()); // before the dialog keys make it the default button's
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

AboutBox* MainWindow::aboutBoxObject() const
{
    return about_ && about_->hwnd() ? about_.get() : nullptr;
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
        if (toolbar_.hwnd()) {
            SendMessageW(toolbar_.hwnd(), TB_AUTOSIZE, 0, 0);
            SendMessageW(status_, WM_SIZE, wParam, lParam);
            Layout();
        }
        return 0;
    case WM_GETMINMAXINFO:
        OnMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETCURSOR:
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (OnSplitterMouse(message, lParam)) {
            return message == WM_SETCURSOR ? TRUE : 0;
        }
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE && reinterpret_cast<HWND>(lParam) == filter_.hwnd()) {
            ApplyFilter();
            return 0;
        }
        if (lParam == 0 || reinterpret_cast<HWND>(lParam) == toolbar_.hwnd()) {
            OnCommand(LOWORD(wParam)); // menus, accelerators and the toolbar
        }
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == list_.hwnd()) {
            ShowContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        }
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kFlushTimer) {
            FlushPending();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        SetFocus(tree_.hwnd());
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        closed_ = true;
        fileDrop_.reset();
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

bool MainWindow::Busy() const
{
    return CommandRunning(frm_) || faceRunning_ != RunningCommand::None;
}

CommandContext MainWindow::Context() const
{
    CommandContext context = ContextOf(frm_);
    if (context.running == RunningCommand::None) {
        context.running = faceRunning_;
    }
    return context;
}

void MainWindow::OnCommand(int id)
{
    // While a command lets messages run, nothing may change what it reads
    // (the shared command state says what). Exit and the close box go through
    // their own rule: they stop it, then close.
    if (CommandId command{}; CommandOf(id, command) && !StateOf(command, Context()).enabled) {
        if (Busy()) {
            MessageBeep(MB_ICONWARNING);
        }
        return;
    }
    switch (id) {
    case kCmdOpen:
        archive::mnuFileOpen_Click(frm_, *dialog_, dialogState_);
        FlushPending();
        break;
    case kCmdExit:
        preview_.Cancel(); // a preview's read is dropped, not waited for
        if (archive::mnuFileExit_Click(frm_)) {
            DestroyWindow(hwnd_);
        }
        return;
    case kCmdDebugToFile:
        frm_.mnuOptionsDebugToFile_Click();
        menus_.Check(kCmdDebugToFile, frm_.DebugToFile);
        break;
    case kCmdAbout:
        ShowAbout();
        break;
    case kCmdExtractTo:
        ExtractTo();
        break;
    case kCmdTestArchive:
        TestArchive();
        break;
    case kCmdOpenOutput:
        OpenOutputFolder();
        break;
    case kCmdFilter:
        filter_.Focus();
        break;
    case kCmdPreview:
        Preview();
        break;
    case kCmdDetails:
        ShowDetails(!detailsShown_);
        break;
    case kCmdCatalogueOrder:
        order_.Reset();
        list_.SetSortMark(-1, true);
        ShowFolderOf(listedFolder_);
        break;
    default:
        if (id > kButtonBase && id <= kButtonBase + Toolbar::kButtons) {
            ToolbarClick(id - kButtonBase);
        }
        break;
    }
    CloseIfAsked();
}

void MainWindow::CloseIfAsked()
{
    if (TakePendingClose(frm_)) {
        DestroyWindow(hwnd_); // Exit or the close box came while the command ran
    }
}

void MainWindow::OnClose()
{
    preview_.Cancel(); // a preview's read is dropped, not waited for
    if (Form_QueryUnload(frm_)) {
        DestroyWindow(hwnd_);
    }
}

LRESULT MainWindow::OnNotify(const NMHDR& header)
{
    if (header.hwndFrom == tree_.hwnd()) {
        return OnTreeNotify(header);
    }
    if (header.hwndFrom == list_.hwnd()) {
        return OnListNotify(header);
    }
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        const auto position = static_cast<int>(header.idFrom) - kButtonBase;
        if (position >= 1 && position <= Toolbar::kButtons) {
            info.lpszText = const_cast<wchar_t*>(toolbar_.Tooltip(position));
        }
    }
    return 0;
}

void MainWindow::ToolbarClick(int position)
{
    const std::string key = Toolbar::Key(position);
    if (key.empty()) {
        return;
    }
    const bool extracts = key == "SaveAll" || key == "SaveSelected";
    if (extracts) {
        // ExtractAll lets messages run: nothing may change what it reads.
        faceRunning_ = RunningCommand::Extraction;
        UpdateCommands();
        pending_.CommandStarts();
    }
    // Save Selected takes every selected row of the list (a file each); without one, the core's selected
    // node.
    ToolbarButtonClick(frm_, *dialog_, dialogState_, key,
                       key == "SaveSelected" ? list_.SelectedNodes() : std::vector<int>{}, kept_);
    faceRunning_ = RunningCommand::None;
    UpdateCommands();
    FlushPending();
}

void MainWindow::UpdateCommands()
{
    const CommandContext context = Context();
    for (const CommandSpec& tableRow : CommandTable()) {
        const CommandState state = StateOf(tableRow.id, context);
        bool enabled = state.enabled;
        if (tableRow.id == CommandId::Preview) {
            const int focused = list_.FocusedNode();
            enabled = enabled && focused != 0 && !details_.IsFolder(focused);
        }
        menus_.Enable(IdentifierOf(tableRow.id), enabled);
        if (tableRow.toolbarPosition != 0) {
            toolbar_.Set(tableRow.toolbarPosition, enabled, HostWide(state.reason));
        }
    }
    menus_.Check(kCmdDebugToFile, frm_.DebugToFile);
    menus_.Check(kCmdDetails, detailsShown_);
}

void MainWindow::SizeNumberColumns()
{
    std::array<std::wstring, DetailsList::kColumns> widest;
    for (int column = 1; column < DetailsList::kColumns; ++column) {
        widest[static_cast<std::size_t>(column)] =
            DisplayWide(details_.WidestText(static_cast<DetailsColumn>(column), frm_.DecimalSeparator, ","));
    }
    // The last column is the offset or the CRC: the details have only one of them for a catalogue
    // (and the format the window shows is set only once the load has ended).
    const std::wstring crc = DisplayWide(details_.WidestText(DetailsColumn::Crc, frm_.DecimalSeparator, ","));
    if (crc.size() > widest[4].size()) {
        widest[4] = crc;
    }
    list_.SetWidestTexts(widest, scale_.Scaled(16));
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
        logView_.Append(changes.log);
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

void MainWindow::SetButtonEnabled(int, bool)
{
    UpdateCommands(); // the shared command state decides, from what the loader left
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
    if (pending_.TurnDue(now)) {
        Pump();
    }
}

void MainWindow::Pump()
{
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

void MainWindow::SetTreeAppearance(int, int, int indentation)
{
    // Lines and +/- buttons are the tree view's own styles; 80 twips is too
    // narrow for the buttons, so the style's indentation is the least we use.
    tree_.SetIndent(std::max(scale_.Pixels(static_cast<float>(indentation)), scale_.Scaled(16)));
}

} // namespace archive::win32
