// The window's speed, under the offscreen platform:
//   archive-gui-bench CATALOGUE.sga
// time from the end of the load of a large catalogue to the tree being shown,
// and appending 100,000 log lines until they are shown; each next to a
// reference measured in the same run.
#include "commands/open_flow.h"
#include "gui/main_window.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <filesystem>

using namespace archive;
using Clock = std::chrono::steady_clock;

namespace {
double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive-gui-bench CATALOGUE.sga\n");
        return 1;
    }
    MainWindow window;
    window.show();
    QApplication::processEvents();

    auto start = Clock::now();
    if (OpenChosenFile(window.frm(), std::filesystem::absolute(argv[1]).string()) != LoadOutcome::Loaded) {
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
    const int blocks = window.logBox()->document()->blockCount();
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
