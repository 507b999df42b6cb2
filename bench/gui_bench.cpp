// The window's speed, under the offscreen platform:
//   archive-gui-bench CATALOGUE.sga
//     time from the end of the load of a large catalogue to the tree being
//     shown, and appending 100,000 log lines until they are shown; each next
//     to a reference measured in the same run.
//   archive-gui-bench extract ARCHIVE.sga [RUNS]
//     the window's Save All, driven through its toolbar command, from the
//     click to "...Extract finished" in the log box, alternated with the
//     core doing the same extraction through the in-memory widgets; writes
//     below the working directory. Prints the medians and their ratio.
//   archive-gui-bench browse CATALOGUE.sga WORK-FOLDER
//     the browser: the catalogue shown with its details columns against the
//     load with no window, each filter keystroke until the tree is painted,
//     and the preview of a 30 MB compressed entry against reading and
//     inflating it alone (the archive is made in WORK-FOLDER and removed).
//   archive-gui-bench extract-window ARCHIVE.sga
//     one Save All in the window; prints "click-to-finished" and the time
//     from the click to "...Extract finished".
#include "commands/entry_preview.h"
#include "commands/open_flow.h"
#include "extract/extract.h"
#include "gui/main_window.h"
#include "platform/memory_reuse.h"
#include "platform/output_tree.h"
#include "support/archive_builders.h"
#include "support/memory_widgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QTextBlock>
#include <QTreeView>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace archive;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {
double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the process so far (every thread, user and system): on
// a busy machine it says more about the work than the wall clock.
double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int ShowCatalogue(const char* path)
{
    MainWindow window;
    window.show();
    QApplication::processEvents();

    auto start = Clock::now();
    if (OpenChosenFile(window.frm(), fs::absolute(path).string()) != LoadOutcome::Loaded) {
        return 1;
    }
    const double load = Since(start);
    start = Clock::now();
    window.FlushPending();
    QApplication::processEvents();
    (void)window.grab(); // paints the tree as the screen would
    const double shown = Since(start);
    std::printf("catalogue of %zu nodes: load %.3f s (reference), then shown in %.3f s\n",
                window.frm().tree().Count(), load, shown);

    // 100,000 log lines, gathered between event-loop turns as a load or extraction makes them.
    window.ClearLog();
    window.FlushPending();
    start = Clock::now();
    for (int i = 0; i < 100000; ++i) {
        window.frm().sText("Creating directory: folder\\number " + std::to_string(i));
        if (i % 1000 == 999) {
            QApplication::processEvents();
        }
    }
    window.FlushPending();
    (void)window.grab();
    const double appended = Since(start);
    const int blocks = static_cast<int>(window.logBox()->lineCount());
    // Reference: building the same text in memory.
    start = Clock::now();
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "Creating directory: folder\\number " + std::to_string(i) + "\r\n";
    }
    const double reference = Since(start);
    std::printf("100,000 log lines shown in %.3f s (%d lines in the box); the same text in memory %.3f s\n",
                appended, blocks - 1, reference);
    return 0;
}

int ExtractBoth(const char* path, int runs)
{
    const std::string archive = fs::absolute(path).string();
    MainWindow window;
    window.show();
    QApplication::processEvents();
    MemoryWidgets memory;
    FrmBig core(memory);
    core.Form_Load();
    if (OpenChosenFile(window.frm(), archive) != LoadOutcome::Loaded ||
        OpenChosenFile(core, archive) != LoadOutcome::Loaded) {
        std::fprintf(stderr, "%s does not load\n", path);
        return 1;
    }
    window.FlushPending();
    QApplication::processEvents();
    const fs::path base = fs::current_path();
    std::vector<double> windowTimes;
    std::vector<double> coreTimes;
    std::vector<double> windowCpu;
    std::vector<double> coreCpu;
    const auto runWindow = [&] {
        const auto start = Clock::now();
        const double cpu = ProcessorSeconds();
        window.ToolbarClick("SaveAll");
        const QString last = window.logBox()->line(window.logBox()->lineCount() - 2).toString();
        windowTimes.push_back(Since(start));
        windowCpu.push_back(ProcessorSeconds() - cpu);
        if (last != "...Extract finished") {
            std::fprintf(stderr, "the window's log ends with \"%s\"\n", last.toUtf8().constData());
            return false;
        }
        return true;
    };
    const auto runCore = [&] {
        const auto start = Clock::now();
        const double cpu = ProcessorSeconds();
        const ExtractReport report = ExtractAll(core);
        coreTimes.push_back(Since(start));
        coreCpu.push_back(ProcessorSeconds() - cpu);
        if (report.failed != 0) {
            std::fprintf(stderr, "%d files failed\n", report.failed);
            return false;
        }
        return true;
    };
    for (int run = 0; run < runs; ++run) {
        // Alternated, each into an empty folder, each first in every other
        // round: the one that runs right after the removal of the last
        // round's files would otherwise pay for the kernel's deferred freeing.
        fs::remove_all(base / "window");
        fs::remove_all(base / "core");
        fs::create_directories(base / "window");
        fs::create_directories(base / "core");
        window.frm().OutputBase = base / "window";
        core.OutputBase = base / "core";
        const bool ok = run % 2 == 0 ? runWindow() && runCore() : runCore() && runWindow();
        if (!ok) {
            return 1;
        }
    }
    fs::remove_all(base / "window");
    fs::remove_all(base / "core");
    const double w = Median(windowTimes);
    const double c = Median(coreTimes);
    const double wc = Median(windowCpu);
    const double cc = Median(coreCpu);
    std::printf(
        "window %.3f s, core with in-memory widgets %.3f s, ratio %.2f; processor time %.3f s and %.3f s, "
        "ratio %.2f\n",
        w, c, w / c, wc, cc, wc / cc);
    return 0;
}
// One Save All in a fresh window, for bench/run to time beside the companion.
int ExtractWindow(const char* path)
{
    const auto begin = Clock::now();
    double seconds = 0;
    {
        MainWindow window;
        window.show();
        QApplication::processEvents();
        std::printf("shown %.3f\n", Since(begin));
        if (OpenChosenFile(window.frm(), fs::absolute(path).string()) != LoadOutcome::Loaded) {
            return 1;
        }
        window.FlushPending();
        QApplication::processEvents();
        std::printf("opened %.3f\n", Since(begin));
        const auto start = Clock::now();
        window.ToolbarClick("SaveAll");
        seconds = Since(start);
        if (window.logBox()->line(window.logBox()->lineCount() - 2).toString() != "...Extract finished") {
            return 1;
        }
    }
    std::printf("closed %.3f\n", Since(begin));
    std::printf("click-to-finished %.3f\n", seconds);
    return 0;
}
} // namespace

int Browse(const char* catalogue, const char* work)
{
    MainWindow window;
    window.show();
    QApplication::processEvents();
    const std::string path = fs::absolute(catalogue).string();

    // Reference: the same load with no window at all. Five of each, each
    // first in turn, every load replacing the one before as a user's would.
    MemoryWidgets memory;
    FrmBig alone(memory);
    std::vector<double> bareTimes;
    std::vector<double> loadTimes;
    std::vector<double> shownTimes;
    for (int run = 0; run < 5; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = Clock::now();
            if ((turn + run) % 2 == 0) {
                if (OpenChosenFile(alone, path) != LoadOutcome::Loaded) {
                    return 1;
                }
                bareTimes.push_back(Since(start));
                continue;
            }
            if (OpenChosenFile(window.frm(), path) != LoadOutcome::Loaded) {
                return 1;
            }
            loadTimes.push_back(Since(start));
            const auto shownFrom = Clock::now();
            window.FlushPending();
            QApplication::processEvents();
            (void)window.grab();
            shownTimes.push_back(Since(shownFrom));
        }
    }
    const double bare = Median(bareTimes);
    const double load = Median(loadTimes);
    const double shown = Median(shownTimes);
    std::printf(
        "catalogue of %zu nodes with details columns, median of 5 in turns: load alone %.3f s "
        "(reference), in the window %.3f s (ratio %.2f), then shown in %.3f s: ready %.3f s after the "
        "load alone\n",
        window.frm().tree().Count(), bare, load, load / bare, shown, load - bare + shown);
    auto start = Clock::now();

    // Typing into the filter box, one keystroke at a time, each until the tree is painted; the
    // first keystroke keeps every file (all names hold "_"), the worst case.
    const QString typed = "_1234";
    std::vector<double> keystrokes;
    for (int i = 1; i <= typed.size() * 2; ++i) {
        const int length = i <= typed.size() ? i : static_cast<int>(typed.size()) * 2 - i; // type, then erase
        start = Clock::now();
        window.filterBox()->setText(typed.left(length));
        QApplication::processEvents();
        (void)window.grab();
        keystrokes.push_back(Since(start));
    }
    std::printf(
        "filter, %zu keystrokes typing and erasing \"%s\": median %.3f s, slowest %.3f s (the first %.3f "
        "s)\n",
        keystrokes.size(), qPrintable(typed), Median(keystrokes),
        *std::max_element(keystrokes.begin(), keystrokes.end()), keystrokes[0]);

    // A 30 MB entry, compressed: previewed in the window against reading and inflating it alone.
    std::mt19937 random(5);
    std::string content(30 << 20, '\0');
    for (char& c : content) {
        c = "abcdefgh \n"[random() % 10];
    }
    const std::string big = (fs::absolute(work) / "preview-30mb.sga").string();
    testing::WriteBytes(big, testing::BuildSga(testing::SgaFromLayout(
                                 {{"", {{.name = "big.txt", .content = content, .compress = true}}}})));
    content.clear();
    std::vector<double> inflate;
    std::vector<double> preview;
    for (int run = 0; run < 5; ++run) {
        OpenChosenFile(alone, big);
        start = Clock::now();
        const EntryPreview read = PreviewEntry(alone, 2);
        inflate.push_back(Since(start));
        if (!read.problem.empty()) {
            std::fprintf(stderr, "%s\n", read.problem.c_str());
            return 1;
        }
        window.OpenFile(QString::fromStdString(big));
        start = Clock::now();
        window.PreviewNode(2);
        QApplication::processEvents();
        (void)window.previewWindow()->grab();
        preview.push_back(Since(start));
    }
    std::printf("preview of a 30 MB entry (%lld bytes stored): shown in %.3f s; reading and inflating it "
                "alone %.3f s (reference); median of 5\n",
                static_cast<long long>(alone.Sga.SgaFiles[0].StoredSize), Median(preview), Median(inflate));
    fs::remove(big);
    return 0;
}

int main(int argc, char** argv)
{
    archive::ReuseFreedMemory();   // as the window's own main does
    archive::AllowManyOpenFiles(); // likewise
    QApplication application(argc, argv);
    if (argc == 2) {
        return ShowCatalogue(argv[1]);
    }
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "extract") {
        return ExtractBoth(argv[2], argc == 4 ? std::max(1, std::stoi(argv[3])) : 5);
    }
    if (argc == 4 && std::string(argv[1]) == "browse") {
        return Browse(argv[2], argv[3]);
    }
    if (argc == 3 && std::string(argv[1]) == "extract-window") {
        return ExtractWindow(argv[2]);
    }
    std::fprintf(
        stderr,
        "usage: archive-gui-bench CATALOGUE.sga | browse CATALOGUE.sga WORK-FOLDER | extract ARCHIVE.sga "
        "[RUNS] | extract-window ARCHIVE.sga\n");
    return 1;
}
