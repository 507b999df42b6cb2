// Renders the window and the About box to PNG files, as a user would see them:
//   archive-tool-screenshots OUTDIR SAMPLES
#include "gui/main_window.h"
#include "gui/scripted_dialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressDialog>
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
    window.aboutDialog()->close();

    // The filter: a selected file it hides, the selection back once cleared, and no match.
    script.answers.push_back((work / "sample.sga").string());
    window.ToolbarClick("OpenSGA");
    const CatalogueTree& tree = window.frm().tree();
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        if (tree.Node(node).text == "readme.txt") {
            window.treeView()->setCurrentIndex(window.proxy()->IndexOfNode(node));
        }
    }
    window.filterBox()->setText("town");
    window.ToolbarClick("SaveSelected");
    Save(&window, out + "/6-filter-hides-the-selection.png");
    window.filterBox()->clear();
    Save(&window, out + "/7-filter-cleared.png");
    window.filterBox()->setText("no such name");
    Save(&window, out + "/8-no-matches.png");
    window.filterBox()->clear();

    // Extract To's progress, in the unit of its total.
    window.destinationChooser = [&work](const QString&) {
        return QString::fromStdString((work / "to").string());
    };
    bool saved = false;
    window.jobProgressHook = [&](const JobProgress& now) {
        if (!saved && now.files > 0 && window.jobDialog() != nullptr) {
            window.jobDialog()->show();
            Save(window.jobDialog(), out + "/9-extract-to-progress.png");
            saved = true;
        }
    };
    window.treeView()->clearSelection(); // the whole archive
    window.ExtractTo();
    std::filesystem::remove_all(work);
    return messages == 0 ? 0 : 1;
}
