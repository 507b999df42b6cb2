#include "gui/main_window.h"
#include "platform/memory_reuse.h"
#include "platform/output_tree.h"
#include "version/version_text.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// The file named on the command line, if any. --help and --version answer on
// the console and end the program before any window (or display) is needed.
QStringList ParseCommandLine(int& argc, char** argv)
{
    const QCoreApplication console(argc, argv);
    QCoreApplication::setApplicationName("archive-tool");
    QCoreApplication::setApplicationVersion(QString::fromStdString(archive::VersionText()));
    QCommandLineParser parser;
    parser.setApplicationDescription("Browse and extract SGA and RBF game archives.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("FILE", "An archive to open at start.", "[FILE]");
    parser.process(console);
    if (parser.positionalArguments().size() > 1) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        std::exit(2);
    }
    return parser.positionalArguments();
}

} // namespace

int main(int argc, char** argv)
{
    archive::ReuseFreedMemory();
    const QStringList files = ParseCommandLine(argc, argv);
    archive::AllowManyOpenFiles();
    QApplication application(argc, argv);
    QApplication::setApplicationName("archive-tool");
    // The desktop entry's name as installed: Wayland shells find the window's icon and name by it.
    QGuiApplication::setDesktopFileName("org.archive_tool.archive_tool");
    archive::MainWindow window;
    window.show();
    // Without a window manager (Xvfb, kiosks) nothing has the keyboard until a window is activated.
    window.activateWindow();
    window.raise();
    if (!files.isEmpty()) {
        // Once the window is up, so a message about a bad file has the window behind it.
        QTimer::singleShot(0, &window, [&window, file = files.first()] { window.OpenFile(file); });
    }
    return QApplication::exec();
}
