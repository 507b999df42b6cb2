// Renders the window and the About box to PNG files, as a user would see them:
//   archive-tool-screenshots OUTDIR SAMPLES
#include "gui/main_window.h"
#include "gui/scripted_dialog.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <filesystem>
#include <iostream>

using namespace archive;

namespace {
void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

void Save(QWidget* widget, const QString& path)
{
    Settle();
    widget->grab().save(path);
    std::cout << path.toStdString() << "\n";
}
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: archive-tool-screenshots OUTDIR SAMPLES\n";
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    // The window writes ".\data" beside the archive it opened: it works on copies
    // of the samples, in a folder of its own that goes at the end.
    const std::filesystem::path work = std::filesystem::temp_directory_path() / "archive-tool-screenshots";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    for (const char* name : {"sample.sga", "sample-sv1.big"}) {
        std::filesystem::copy_file(std::filesystem::path(argv[2]) / name, work / name);
    }
    QDir().mkpath(out);
    auto dialog = std::make_unique<testing::ScriptedDialog>();
    testing::ScriptedDialog& script = *dialog;
    MainWindow window(std::move(dialog));
    window.frm().OutputBase = work;
    // A message box is modal: the pictures would wait for a click that never comes.
    int messages = 0;
    window.messageSink = [&messages](const QString& text) {
        std::cerr << "message: " << text.toStdString() << "\n";
        ++messages;
    };
    window.show();
    Save(&window, out + "/1-start.png");

    script.answers.push_back((work / "sample.sga").string());
    window.ToolbarClick("OpenSGA");
    Save(&window, out + "/2-sga-loaded.png");

    window.ToolbarClick("SaveAll");
    Save(&window, out + "/3-after-extract-all.png");

    script.answers.push_back((work / "sample-sv1.big").string());
    window.ToolbarClick("OpenSV1");
    Save(&window, out + "/4-rbf-loaded.png");

    window.mnuHelpAbout_Click();
    Save(window.aboutDialog(), out + "/5-about.png");
    std::filesystem::remove_all(work);
    return messages == 0 ? 0 : 1;
}
