// The Windows window's speed, under Wine (bench/run runs it):
//   archive-win32-bench ui CATALOGUE.sga   the catalogue shown after its load, and
//                                          100,000 log lines shown; each beside a
//                                          reference measured in the same run
//   archive-win32-bench extract ARCHIVE    opens ARCHIVE and runs Save All into the
//                                          working folder, as a user would; timed
//                                          from outside against the companion, and
//                                          from the click (click-to-finished)
//   archive-win32-bench extract-to ARCHIVE opens ARCHIVE and runs Extract To on the
//                                          tree's selection (the whole archive) into
//                                          the working folder's "extract-to", under
//                                          its progress dialog; the folder picker
//                                          answers at once; timed the same ways
#include "commands/open_flow.h"
#include "platform/text_encoding.h"
#include "support/memory_widgets.h"
#include "win32/main_window.h"
#include "win32/menu_bar.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace archive;
using namespace archive::win32;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The window, noting when a load has built the whole catalogue and hands it over.
class TimedWindow : public MainWindow {
  public:
    Clock::time_point loadEnd;
    void TreeChanged() override
    {
        loadEnd = Clock::now();
        MainWindow::TreeChanged();
    }
};

// Paints what waits to be painted (what a change made invalid, as the
// screen would), and runs the messages that come before a timer's: the user
// sees the window then.
void Paint(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_TIMER + 1, 0xFFFF, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Runs the messages, timers too, until the tree's later items are in and painted.
void Complete(const MainWindow& window)
{
    MSG message;
    while (window.TreeFilling()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    Paint(window.hwnd());
}

int Ui(const std::string& catalogue)
{
    const std::string path = PathToUtf8(std::filesystem::absolute(catalogue));
    // Reference: the same load with the window in memory.
    MemoryWidgets memory;
    FrmBig bare(memory);
    bare.Form_Load();
    auto start = Clock::now();
    if (OpenChosenFile(bare, path) != LoadOutcome::Loaded) {
        std::fprintf(stderr, "cannot load %s in memory\n", path.c_str());
        return 1;
    }
    const double load = Since(start);

    TimedWindow window;
    if (!window.Create(SW_SHOWNORMAL)) {
        std::fprintf(stderr, "cannot create the window (error %lu)\n", GetLastError());
        return 1;
    }
    Paint(window.hwnd());
    start = Clock::now();
    if (OpenChosenFile(window.frm(), path) != LoadOutcome::Loaded) {
        std::fprintf(stderr, "cannot load %s in the window\n", path.c_str());
        return 1;
    }
    window.FlushPending();
    Paint(window.hwnd());
    const double loadAndShow = Since(start);
    const double shown = Since(window.loadEnd);
    Complete(window);
    std::printf(
        "catalogue of %zu nodes: load %.3f s in memory (the reference); in the window %.3f s, of which "
        "%.3f s from the load's end until shown (the tree's first items and the details list), %.3f s until "
        "the tree has every item of the folders shown open\n",
        window.frm().tree().Count(), load, loadAndShow, shown, Since(window.loadEnd));

    // The details list is part of what the load's end shows: the root's rows.
    std::printf("the details list shows %d rows of the selected folder; the tree %d items\n",
                static_cast<int>(SendMessageW(window.detailsList(), LVM_GETITEMCOUNT, 0, 0)),
                static_cast<int>(SendMessageW(window.treeView(), TVM_GETCOUNT, 0, 0)));

    // Filter keystrokes, each until the tree and the list are painted again
    // (and until the tree has the rest of its items): typing a name, then
    // clearing the box.
    for (const wchar_t* typed : {L"f", L"fi", L"fil", L"file1", L"*7?", L""}) {
        start = Clock::now();
        SetWindowTextW(window.filterBox(), typed);
        Paint(window.hwnd());
        const double keystroke = Since(start);
        Complete(window);
        std::printf("filter keystroke to \"%ls\": %.3f s (%.3f s until the tree is complete), %d rows in the "
                    "list, %d items in the tree\n",
                    typed, keystroke, Since(start),
                    static_cast<int>(SendMessageW(window.detailsList(), LVM_GETITEMCOUNT, 0, 0)),
                    static_cast<int>(SendMessageW(window.treeView(), TVM_GETCOUNT, 0, 0)));
    }

    // 100,000 log lines, with messages let run every 1,000 as a long command does.
    window.ClearLog();
    window.FlushPending();
    start = Clock::now();
    for (int i = 0; i < 100000; ++i) {
        window.frm().sText("Creating directory: folder\\number " + std::to_string(i));
        if (i % 1000 == 999) {
            window.DoEvents();
        }
    }
    window.FlushPending();
    Paint(window.hwnd());
    const double appended = Since(start);
    const auto lines = SendMessageW(window.logBox(), EM_GETLINECOUNT, 0, 0);
    start = Clock::now();
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "Creating directory: folder\\number " + std::to_string(i) + "\r\n";
    }
    const double reference = Since(start);
    std::printf("100,000 log lines shown in %.3f s (%ld lines in the box); the same text in memory %.3f s\n",
                appended, static_cast<long>(lines - 1), reference);
    return 0;
}

// Save All (the toolbar's button), or Extract To (the menu's command, with
// the folder picker answering at once) into the working folder.
int Extract(const std::string& archivePath, bool extractTo)
{
    double open = 0;
    double command = 0;
    auto start = Clock::now();
    {
        MainWindow window;
        if (!window.Create(SW_SHOWNORMAL)) {
            return 1;
        }
        if (OpenChosenFile(window.frm(), PathToUtf8(std::filesystem::absolute(archivePath))) !=
            LoadOutcome::Loaded) {
            return 1;
        }
        window.FlushPending();
        open = Since(start);
        const std::filesystem::path destination = std::filesystem::absolute("extract-to");
        window.destinationChooser = [&](const std::filesystem::path&) { return destination; };
        start = Clock::now();
        SendMessageW(window.hwnd(), WM_COMMAND, extractTo ? kCmdExtractTo : kButtonBase + 6, 0);
        command = Since(start);
        start = Clock::now();
    }
    // Without a window manager (Xvfb), Wine waits up to 2 s for one as a shown window goes.
    std::printf("window shown and archive open %.3f s, %s %.3f s, window gone %.3f s\n", open,
                extractTo ? "Extract To" : "Save All", command, Since(start));
    std::printf("click-to-finished %.3f\n", command);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "ui") {
        return Ui(argv[2]);
    }
    if (argc == 3 && (std::string(argv[1]) == "extract" || std::string(argv[1]) == "extract-to")) {
        return Extract(argv[2], std::string(argv[1]) == "extract-to");
    }
    std::fprintf(stderr,
                 "usage: archive-win32-bench ui CATALOGUE.sga | extract ARCHIVE | extract-to ARCHIVE\n");
    return 1;
}
