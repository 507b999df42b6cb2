#include "gui/main_window.h"
#include "gui/scripted_dialog.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <deque>
#include <filesystem>

using namespace archive;
using namespace archive::testing;
namespace fs = std::filesystem;

namespace {

struct Window {
    ScriptedDialog* dialog;
    std::unique_ptr<MainWindow> window;
    QStringList chooserStarts;
    QStringList chooserAnswers; // an empty answer is a cancel
    QStringList opened;

    Window()
    {
        auto scripted = std::make_unique<ScriptedDialog>();
        dialog = scripted.get();
        window = std::make_unique<MainWindow>(std::move(scripted));
        window->messageSink = [](const QString&) {};
        window->destinationChooser = [this](const QString& start) {
            chooserStarts << start;
            return chooserAnswers.isEmpty() ? QString() : chooserAnswers.takeFirst();
        };
        window->folderOpener = [this](const QString& folder) { opened << folder; };
        // Files that are there are replaced unless a test asks otherwise: no modal question.
        window->existingChooser = [](const ExistingFile&) {
            return ExistingAnswer{ExistingChoice::Replace, true};
        };
    }
    MainWindow* operator->() { return window.get(); }
    QString Log() const { return window->logBox()->toPlainText(); }
    QString LastLine() const { return Log().trimmed().split('\n').last(); }
    void Open(const std::string& path)
    {
        dialog->answers = {path};
        window->mnuFileOpen_Click();
    }
    QModelIndex Index(const QStringList& names)
    {
        const QAbstractItemModel* model = window->treeView()->model();
        QModelIndex at = model->index(0, 0);
        for (const QString& name : names) {
            const QModelIndexList found =
                model->match(model->index(0, 0, at), Qt::DisplayRole, name, 1, Qt::MatchExactly);
            if (found.isEmpty()) {
                return {};
            }
            at = found.first();
        }
        return at;
    }
    void Click(const QModelIndex& index, Qt::KeyboardModifiers modifiers = {})
    {
        QTreeView* tree = window->treeView();
        tree->scrollTo(index);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, modifiers, tree->visualRect(index).center());
    }
};

std::string Archive(int filesPerFolder = 1)
{
    std::vector<SgaLayoutDir> layout = {{"", {{.name = "root.txt", .content = "root", .compress = true}}}};
    for (const char* folder : {"maps", "maps\\town", "ui"}) {
        SgaLayoutDir dir{folder, {}};
        for (int f = 0; f < filesPerFolder; ++f) {
            dir.files.push_back({.name = "f" + std::to_string(f) + ".txt",
                                 .content = std::string(3000, static_cast<char>('a' + f)),
                                 .compress = true});
        }
        layout.push_back(dir);
    }
    return BuildSga(SgaFromLayout(layout));
}

QString Host(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace

class ExtractToWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void menusAndContextMenu()
    {
        Window w;
        QMenu* file = w->menuBar()->actions()[0]->menu();
        QStringList texts;
        for (const QAction* action : file->actions()) {
            texts << action->text();
        }
        QCOMPARE(texts,
                 (QStringList{"&Open", "Extract &To…", "&Test Archive", "Open Output &Folder", "E&xit"}));
        QCOMPARE(w->extractToAction()->shortcut(), QKeySequence("Ctrl+E"));
        QCOMPARE(w->testAction()->shortcut(), QKeySequence("Ctrl+T"));
        QVERIFY(!w->extractToAction()->isEnabled()); // nothing loaded yet
        QVERIFY(!w->testAction()->isEnabled());
        QMenu menu;
        w->FillTreeContextMenu(menu);
        QCOMPARE(menu.actions().size(), 4); // Preview, a separator, then the two commands
        QCOMPARE(menu.actions()[0], w->previewAction());
        QCOMPARE(menu.actions().mid(2), (QList<QAction*>{w->extractToAction(), w->testAction()}));

        TempDir dir;
        RbfSpec rbf;
        rbf.entries = {{.name = "x\\y.txt"}};
        WriteBytes(dir.File("old.big"), BuildRbf(rbf));
        WriteBytes(dir.File("a.sga"), Archive());
        w.Open(dir.File("a.sga"));
        QVERIFY(w->extractToAction()->isEnabled());
        QVERIFY(w->testAction()->isEnabled());
        w.Open(dir.File("old.big"));
        QVERIFY(!w->extractToAction()->isEnabled());
        QVERIFY(!w->testAction()->isEnabled());
    }

    void extractToWritesTheSelectionWhereTheUserChose()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Archive());
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        w.Open(dir.File("a.sga"));
        w->treeView()->expandAll();

        // A folder, then Ctrl-click a file in it (selected twice) and a root file.
        w.Click(w.Index({"maps"}));
        w.Click(w.Index({"maps", "town", "f0.txt"}), Qt::ControlModifier);
        w.Click(w.Index({"root.txt"}), Qt::ControlModifier);
        QCOMPARE(w->SelectedNodes().size(), std::size_t{3});

        // A cancelled folder dialog does nothing.
        w->extractToAction()->trigger();
        QCOMPARE(w.chooserStarts, QStringList{Host(dir.path())});
        QVERIFY(!w->openFolderButton()->isVisible());

        const fs::path dest = dir.path() / "picked";
        w.chooserAnswers = {Host(dest)};
        w->extractToAction()->trigger();
        QCOMPARE(ReadBytes((dest / "maps/f0.txt").string()), std::string(3000, 'a'));
        QCOMPARE(ReadBytes((dest / "maps/town/f0.txt").string()), std::string(3000, 'a'));
        QCOMPARE(ReadBytes((dest / "root.txt").string()), std::string("root"));
        QVERIFY(!fs::exists(dest / "ui"));
        QCOMPARE(w.LastLine(), "Extracted 3 files (6004 bytes) to " + Host(dest));
        QVERIFY(w->openFolderButton()->isVisible());
        w->openFolderButton()->click();
        QCOMPARE(w.opened, QStringList{Host(dest)});
        QVERIFY(w->openAction()->isEnabled());

        // Ctrl+A selects every node; Shift-click a range.
        w->treeView()->setFocus();
        QTest::keyClick(w->treeView(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w->SelectedNodes().size(), w->frm().tree().Count());
        w.Click(w.Index({"maps"}));
        w.Click(w.Index({"maps", "town"}), Qt::ShiftModifier);
        QCOMPARE(w->SelectedNodes().size(), std::size_t{2}); // maps and town, next to each other in the view
    }

    void nothingSelectedIsTheWholeArchiveAndCancelStopsHalfWay()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Archive(4));
        Window w;
        w.Open(dir.File("a.sga"));
        w->treeView()->clearSelection();
        const fs::path dest = dir.path() / "all";
        w.chooserAnswers = {Host(dest)};
        bool dialogSeen = false;
        w->jobProgressHook = [&](const JobProgress& now) {
            if (QProgressDialog* dialog = w->jobDialog(); dialog && now.files == 5) {
                dialogSeen = dialog->isVisible();
                dialog->cancel();
            }
        };
        w->extractToAction()->trigger();
        QVERIFY(dialogSeen);
        QVERIFY(w.LastLine().startsWith("Extraction cancelled: 5 files ("));
        QVERIFY(w.LastLine().endsWith("; 8 files not reached"));
        int files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dest)) {
            if (entry.is_regular_file()) {
                ++files;
                QVERIFY(fs::file_size(entry.path()) == 4 || fs::file_size(entry.path()) == 3000);
            }
        }
        QCOMPARE(files, 5);
        QVERIFY(w->extractToAction()->isEnabled());
        QVERIFY(!w->frm().Extracting);

        w->jobProgressHook = nullptr;
        w.chooserAnswers = {Host(dest)};
        w->extractToAction()->trigger();
        QCOMPARE(w.LastLine(), "Extracted 13 files (36004 bytes) to " + Host(dest));

        // Exit in the middle: the job stops between two entries, then the window closes.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        w.chooserAnswers = {Host(dir.path() / "exit")};
        w->jobProgressHook = [&](const JobProgress& now) {
            if (now.files == 3) {
                w->exitAction()->trigger();
            }
        };
        w->extractToAction()->trigger();
        QVERIFY(w.LastLine().startsWith("Extraction cancelled: 3 files ("));
        QVERIFY(!w->isVisible());
    }

    // The close box during Extract To, Test Archive or a drag-out's
    // extraction: the command stops between two entries, says so, and the
    // window closes (with its preview) instead of hiding while work goes on.
    void closeBoxStopsEveryCommand()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Archive(4));
        for (const QString command : {"extract", "test", "drag"}) {
            Window w;
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
            w.Open(dir.File("a.sga"));
            w->PreviewNode(w->frm().tree().IndexOfKey("n-1\\f0"));
            QVERIFY(w->previewWindow() != nullptr && w->previewWindow()->isVisible());
            bool refused = false;
            const auto closeOnce = [&](int files) {
                if (files == 2 && !refused) {
                    refused = !w->close(); // the close box
                    QVERIFY(w->isVisible());
                }
            };
            w->jobProgressHook = [&](const JobProgress& now) { closeOnce(now.files); };
            w->dragProgressHook = closeOnce;
            if (command == "extract") {
                w.chooserAnswers = {Host(dir.path() / "out")};
                w->extractToAction()->trigger();
                QVERIFY2(w.LastLine().startsWith("Extraction cancelled: 2 files ("),
                         qPrintable(w.LastLine()));
            } else if (command == "test") {
                w->testAction()->trigger();
                QVERIFY2(w.LastLine().startsWith("Test cancelled: "), qPrintable(w.LastLine()));
            } else {
                QVERIFY(w->ExtractForDragOut({w->frm().tree().IndexOfKey("n-1")}).isEmpty());
                QCOMPARE(w.LastLine(), QString("Drag stopped: the window is closing"));
            }
            QVERIFY(refused);
            QVERIFY2(!w->isVisible(), qPrintable(command));
            QVERIFY(w->previewWindow() == nullptr || !w->previewWindow()->isVisible());
            QVERIFY(!CommandRunning(w->frm()));
        }
    }

    // Save All writes beside the archive however it was opened, and Open
    // Output Folder shows where the last command that wrote put its files.
    void outputBesideTheArchiveHoweverOpened()
    {
        TempDir dir;
        for (const char* folder : {"dialog", "command-line", "drop"}) {
            fs::create_directories(dir.path() / folder);
            WriteBytes(dir.File(std::string(folder) + "/a.sga"), Archive());
        }
        Window w;
        w.Open(dir.File("dialog/a.sga"));
        w->ToolbarClick("SaveAll");
        QVERIFY(fs::exists(dir.path() / "dialog/data/maps/town/f0.txt"));

        w->OpenFile(Host(dir.path() / "command-line/a.sga")); // as main() does with its argument
        QCOMPARE(w->statusLabel()->toolTip(),
                 "Save Selected and Save All write below " + Host(dir.path() / "command-line" / "data"));
        w->ToolbarClick("SaveAll");
        QVERIFY(fs::exists(dir.path() / "command-line/data/maps/town/f0.txt"));

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Host(dir.path() / "drop/a.sga"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &dropped);
        QTRY_COMPARE(w->frm().ArchivePath, dir.File("drop/a.sga"));
        w->ToolbarClick("SaveAll");
        QVERIFY(fs::exists(dir.path() / "drop/data/maps/town/f0.txt"));

        // Extract To, then Save All: the folder shown is Save All's.
        w.chooserAnswers = {Host(dir.path() / "picked")};
        w->extractToAction()->trigger();
        w->openOutputAction()->trigger();
        w->ToolbarClick("SaveAll");
        w->openOutputAction()->trigger();
        w->openFolderButton()->click();
        QCOMPARE(w.opened, (QStringList{Host(dir.path() / "picked"), Host(dir.path() / "drop" / "data"),
                                        Host(dir.path() / "drop" / "data")}));
    }

    // Extract To over files that are there asks, and the answers hold: Skip
    // leaves the file, Keep both writes beside it, "for all" asks no more.
    void extractToAsksBeforeReplacing()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Archive(2));
        Window w;
        w.Open(dir.File("a.sga"));
        w->treeView()->clearSelection();
        const fs::path dest = dir.path() / "out";
        w.chooserAnswers = {Host(dest)};
        w->extractToAction()->trigger();
        WriteBytes((dest / "root.txt").string(), "mine");
        WriteBytes((dest / "maps/f0.txt").string(), "mine too");
        QStringList asked;
        std::deque<ExistingAnswer> answers = {{ExistingChoice::Skip, false},
                                              {ExistingChoice::KeepBoth, true}};
        w->existingChooser = [&](const ExistingFile& file) {
            asked << QString::fromStdString(file.path);
            const ExistingAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        };
        w.chooserAnswers = {Host(dest)};
        w->extractToAction()->trigger();
        QCOMPARE(asked.size(), 2); // then "for all"
        QCOMPARE(ReadBytes((dest / "root.txt").string()), std::string("mine"));
        QCOMPARE(ReadBytes((dest / "maps/f0.txt").string()), std::string("mine too"));
        int files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dest)) {
            files += entry.is_regular_file() ? 1 : 0;
        }
        QCOMPARE(files, 7 + 6); // every entry once, and each kept beside the one there but the skipped
    }

    // Save Selected with several items selected saves each selected file.
    void saveSelectedSavesEverySelectedFile()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Archive(2));
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        w.Open(dir.File("a.sga"));
        w->treeView()->expandAll();
        w.Click(w.Index({"root.txt"}));
        w.Click(w.Index({"maps", "f1.txt"}), Qt::ControlModifier);
        w.Click(w.Index({"ui"}), Qt::ControlModifier); // a folder among them is left out
        w->ToolbarClick("SaveSelected");
        QCOMPARE(ReadBytes(dir.File("data/root.txt")), std::string("root"));
        QCOMPARE(ReadBytes(dir.File("data/maps/f1.txt")), std::string(3000, 'b'));
        QVERIFY(!fs::exists(dir.path() / "data" / "maps" / "f0.txt"));
        QVERIFY(!fs::exists(dir.path() / "data" / "ui" / "f0.txt"));
    }

    void testArchiveReportsInTheLog()
    {
        TempDir dir;
        const SgaSpec damaged =
            SgaFromLayout({{"",
                            {{.name = "broken.bin", .content = "x", .storedBytes = "not a zlib stream"},
                             {.name = "ok.txt", .content = "ok"}}}});
        WriteBytes(dir.File("d.sga"), BuildSga(damaged));
        Window w;
        w.Open(dir.File("d.sga"));
        w->testAction()->trigger();
        QVERIFY(w.Log().contains(
            "\nError: broken.bin failed to inflate: zlib status -3, data error: the stream is damaged\n"));
        QCOMPARE(w.LastLine(), QString("Tested 2 entries, 2 bytes: 1 failed"));
        QCOMPARE(fs::directory_iterator(dir.path())->path().filename().string(), std::string("d.sga"));
    }

    void toolbarOutputRootIsTheArchivesFolder()
    {
        TempDir dir;
        fs::create_directories(dir.path() / "games");
        WriteBytes(dir.File("games/a.sga"), Archive());
        Window w;
        w.Open(dir.File("games/a.sga"));
        w->FlushPending();
        QCOMPARE(w->frm().OutputBase, dir.path() / "games");
        QCOMPARE(w->statusLabel()->toolTip(),
                 "Save Selected and Save All write below " + Host(dir.path() / "games" / "data"));
        QCOMPARE(w->statusLabel()->text(), QString::fromStdString(dir.File("games/a.sga")));
        w->openOutputAction()->trigger(); // no output yet: the archive's folder
        w->ToolbarClick("SaveAll");
        QVERIFY(fs::exists(dir.path() / "games/data/maps/town/f0.txt"));
        w->openOutputAction()->trigger();
        QCOMPARE(w.opened, (QStringList{Host(dir.path() / "games"), Host(dir.path() / "games" / "data")}));
    }
};

QTEST_MAIN(ExtractToWindowTest)
#include "extract_to_window_test.moc"
