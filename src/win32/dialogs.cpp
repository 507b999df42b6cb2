#include "win32/dialogs.h"

#include "commands/extract_to.h"
#include "win32/dpi.h"
#include "win32/text.h"

#include <windows.h>
// windows.h must come first
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace archive::win32 {

namespace {

constexpr const wchar_t* kJobClass = L"ArchiveToolJob";
constexpr int kCancelId = IDCANCEL;

std::filesystem::path BrowseForFolder(HWND owner, const std::wstring& title)
{
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    const bool named = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    return named ? std::filesystem::path(path) : std::filesystem::path();
}

} // namespace

std::filesystem::path ChooseFolder(HWND owner, const std::wstring& title, const std::filesystem::path& start)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::filesystem::path chosen;
    bool answered = false;
    IFileOpenDialog* dialog = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                   reinterpret_cast<void**>(&dialog)))) {
        DWORD options = 0;
        dialog->GetOptions(&options);
        dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
        dialog->SetTitle(title.c_str());
        IShellItem* folder = nullptr;
        if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem,
                                                                    reinterpret_cast<void**>(&folder)))) {
            dialog->SetFolder(folder);
            folder->Release();
        }
        const HRESULT shown = dialog->Show(owner);
        answered = SUCCEEDED(shown) || shown == HRESULT_FROM_WIN32(ERROR_CANCELLED);
        IShellItem* result = nullptr;
        if (SUCCEEDED(shown) && SUCCEEDED(dialog->GetResult(&result))) {
            PWSTR path = nullptr;
            if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
                chosen = path;
                CoTaskMemFree(path);
            }
            result->Release();
        }
        dialog->Release();
    }
    if (!answered) {
        chosen = BrowseForFolder(owner, title); // systems without the folder-choosing file dialog
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return chosen;
}

ExistingAnswer AskAboutExisting(HWND owner, const ExistingFile& file)
{
    enum : int { kReplace = 100, kSkip, kKeepBoth };
    const std::wstring text = L"A file of this name is already there:\n" + file.target.wstring() +
                              L"\n\nReplace it with " + DisplayWide(file.path) + L" from the archive (" +
                              std::to_wstring(file.size) + L" bytes)?";
    const TASKDIALOG_BUTTON buttons[] = {
        {kReplace, L"&Replace"}, {kSkip, L"&Skip"}, {kKeepBoth, L"&Keep Both"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.pszWindowTitle = L"File Exists";
    config.pszContent = text.c_str();
    config.cButtons = 3;
    config.pButtons = buttons;
    config.nDefaultButton = kReplace;
    config.pszVerificationText = L"Do this for &all the other files";
    int chosen = kSkip;
    BOOL forAll = FALSE;
    if (FAILED(TaskDialogIndirect(&config, &chosen, nullptr, &forAll))) {
        chosen = kSkip; // no dialog: the file in the way stays
    }
    ExistingAnswer answer;
    answer.choice = chosen == kReplace    ? ExistingChoice::Replace
                    : chosen == kKeepBoth ? ExistingChoice::KeepBoth
                                          : ExistingChoice::Skip; // Escape and the close box skip
    answer.forAll = forAll != FALSE;
    return answer;
}

void OpenInExplorer(const std::filesystem::path& folder)
{
    ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

JobDialog::JobDialog(HWND owner, const std::wstring& title, UINT dpi) : owner_(owner)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, kJobClass, &existing)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &JobDialog::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kJobClass;
        RegisterClassExW(&windowClass);
    }
    const Scale scale{dpi};
    const int width = scale.Scaled(440);
    const int height = scale.Scaled(150);
    RECT frame = {0, 0, width, height};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    RECT parent{};
    GetWindowRect(owner, &parent);
    const int outerWidth = frame.right - frame.left;
    const int outerHeight = frame.bottom - frame.top;
    hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kJobClass, title.c_str(), style,
                            parent.left + (parent.right - parent.left - outerWidth) / 2,
                            parent.top + (parent.bottom - parent.top - outerHeight) / 2, outerWidth,
                            outerHeight, owner, nullptr, instance, this);
    const int margin = scale.Scaled(12);
    label_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, margin, margin,
                             width - 2 * margin, scale.Scaled(40), hwnd_, nullptr, instance, nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"Progress", WS_CHILD | WS_VISIBLE, margin,
                           margin + scale.Scaled(48), width - 2 * margin, scale.Scaled(18), hwnd_, nullptr,
                           instance, nullptr);
    SendMessageW(bar_, PBM_SETRANGE32, 0, 1000);
    cancel_ = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                              width - margin - scale.Scaled(88), height - margin - scale.Scaled(26),
                              scale.Scaled(88), scale.Scaled(26), hwnd_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelId)), instance, nullptr);
    font_ = MakeMessageFont(dpi);
    for (HWND control : {label_, cancel_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, IsWindowVisible(owner) ? SW_SHOWNORMAL : SW_HIDE);
    SetFocus(cancel_);
}

JobDialog::~JobDialog()
{
    // The owner first, so that it, not some other program, has the focus next.
    EnableWindow(owner_, TRUE);
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_) {
        DeleteObject(font_);
    }
}

std::wstring JobDialog::ProgressText(const JobProgress& now)
{
    return HostWide(JobProgressText(now)) + L"\r\n" + DisplayWide(now.current);
}

bool JobDialog::Update(const JobProgress& now)
{
    if (!pictures_.Due(now)) {
        return false;
    }
    SetWindowTextW(label_, ProgressText(now).c_str());
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(JobProgressPermille(now)), 0);
    return true;
}

LRESULT CALLBACK JobDialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<JobDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && ((message == WM_COMMAND && LOWORD(wParam) == kCancelId) || message == WM_CLOSE)) {
        self->cancelled_ = true;
        EnableWindow(self->cancel_, FALSE);
        SetWindowTextW(self->label_, L"Stopping after the entry in hand…");
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace archive::win32
