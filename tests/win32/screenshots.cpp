// Puts the Windows window through the states worth looking at, one after the
// other, for scripts/screenshots to capture from the X server (Xvfb + Wine):
//   archive-tool-win32-screenshots.exe OUTDIR SAMPLES
// At each state it writes OUTDIR\NAME.ready holding the region to capture
// ("WIDTHxHEIGHT+LEFT+TOP") and waits, with its messages running, until
// OUTDIR\NAME.done exists.
#include "gui/scripted_dialog.h"
#include "platform/text_encoding.h"
#include "win32/main_window.h"
#include "win32/open_dialog.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

using namespace archive;
using namespace archive::win32;
namespace fs = std::filesystem;

namespace {

// The open dialog: scripted answers, or the real dialog when a test names none.
class ShotDialog : public OpenFileDialog {
  public:
    explicit ShotDialog(const HWND& owner) : real_(owner) {}
    testing::ScriptedDialog script;
    bool Show(DialogState& state) override
    {
        return script.answers.empty() ? real_.Show(state) : script.Show(state);
    }

  private:
    Win32OpenFileDialog real_;
};

struct Shots {
    fs::path out;
    HWND owner = nullptr;

    void Pump() const
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // Announces a state and lets messages run until it has been captured.
    void Take(const std::string& name, HWND window) const
    {
        for (int i = 0; i < 10; ++i) { // let painting settle
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        RECT rect{};
        GetWindowRect(window, &rect);
        {
            std::ofstream ready(out / (name + ".ready"));
            ready << rect.right - rect.left << "x" << rect.bottom - rect.top << "+" << rect.left << "+"
                  << rect.top << "\n";
        }
        const auto start = std::chrono::steady_clock::now();
        while (!fs::exists(out / (name + ".done")) &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            Pump();
        }
    }
};

// Runs inside the Open dialog's own message loop: captures the dialog, then cancels it.
void CALLBACK CaptureDialog(HWND owner, UINT, UINT_PTR timer, DWORD)
{
    const auto* shots = static_cast<const Shots*>(GetPropW(owner, L"ArchiveToolShots"));
    const HWND dialog = FindWindowW(L"#32770", nullptr);
    if (!shots || !dialog) {
        return;
    }
    KillTimer(owner, timer);
    shots->Take("12-open-dialog", dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::cerr << "usage: archive-tool-win32-screenshots OUTDIR SAMPLES\n";
        return 1;
    }
    Shots shots{fs::path(argv[1])};
    fs::create_directories(shots.out);
    // The samples are copied to a folder of their own: Save All writes beside the archive.
    const fs::path work = fs::temp_directory_path() / "archive-tool-screenshots";
    const fs::path samples = work / "samples";
    fs::remove_all(work);
    fs::create_directories(samples);
    for (const char* name : {"sample.sga", "sample-sv1.big"}) {
        fs::copy_file(fs::absolute(argv[2]) / name, samples / name);
    }

    HWND owner = nullptr;
    auto dialog = std::make_unique<ShotDialog>(owner);
    ShotDialog& script = *dialog;
    MainWindow window(std::move(dialog));
    if (!window.Create(SW_SHOWNORMAL)) {
        return 1;
    }
    owner = window.hwnd();
    window.frm().OutputBase = work;
    const auto command = [&](int id) { SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); };
    shots.Take("01-start", window.hwnd());

    script.script.answers.push_back(PathToUtf8(samples / "sample.sga"));
    command(kButtonBase + 3);
    shots.Take("02-sga-loaded", window.hwnd());

    command(kButtonBase + 6);
    shots.Take("03-after-extract-all", window.hwnd());

    // A folder chosen in the tree, two of its rows selected, sorted by size.
    const CatalogueTree& tree = window.frm().tree();
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        if (tree.Node(node).text == "maps") {
            SendMessageW(window.treeView(), TVM_SELECTITEM, TVGN_CARET,
                         reinterpret_cast<LPARAM>(window.ItemOfNode(node)));
        }
    }
    SetFocus(window.detailsList());
    LVITEMW all{};
    all.stateMask = LVIS_SELECTED;
    all.state = LVIS_SELECTED;
    SendMessageW(window.detailsList(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&all));
    NMLISTVIEW click{};
    click.hdr.hwndFrom = window.detailsList();
    click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window.detailsList()));
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 1;
    SendMessageW(window.hwnd(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    shots.Take("04-folder-sorted-by-size", window.hwnd());

    SetWindowTextW(window.filterBox(), L"*.t?t");
    shots.Take("05-filtered", window.hwnd());
    SetWindowTextW(window.filterBox(), L"");
    shots.Take("06-filter-cleared", window.hwnd());
    SetWindowTextW(window.filterBox(), L"no such name");
    shots.Take("06a-no-matches", window.hwnd());
    SetWindowTextW(window.filterBox(), L"");

    // Extract To, caught at its first progress report.
    const fs::path destination = work / "chosen";
    window.destinationChooser = [&](const fs::path&) { return destination; };
    bool caught = false;
    window.jobProgressHook = [&](const JobProgress& now) {
        if (!caught && window.jobDialog() && now.files > 0) {
            caught = true;
            shots.Take("07-extract-to-progress", window.hwnd());
        }
    };
    command(kCmdExtractTo);
    window.jobProgressHook = nullptr;
    shots.Take("08-after-extract-to", window.hwnd());

    script.script.answers.push_back(PathToUtf8(samples / "sample-sv1.big"));
    command(kButtonBase + 1);
    shots.Take("09-rbf-loaded", window.hwnd());

    ShowWindow(window.hwnd(), SW_MAXIMIZE);
    shots.Take("10-maximized", window.hwnd());
    ShowWindow(window.hwnd(), SW_RESTORE);

    command(kCmdAbout);
    shots.Take("11-about", window.aboutBox());
    SendMessageW(window.aboutBox(), WM_COMMAND, IDOK, 0);

    // The real dialog, as the SV2 button shows it.
    SetPropW(window.hwnd(), L"ArchiveToolShots", &shots);
    SetTimer(window.hwnd(), 77, 500, CaptureDialog);
    command(kButtonBase + 2);
    RemovePropW(window.hwnd(), L"ArchiveToolShots");
    fs::remove_all(work);
    return 0;
}
