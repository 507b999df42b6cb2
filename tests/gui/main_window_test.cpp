#include "gui/about_dialog.h"
#include "gui/main_window.h"
#include "gui/scripted_dialog.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <filesystem>
#include <map>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace archive;
using namespace archive::testing;

namespace {

// A registry with only the values a test puts in it; it records what was started.
class FakeRegistry : public RegistryAndLauncher {
  public:
    struct Value {
        std::uint32_t type;
        std::string data;
    };
    std::map<std::pair<std::string, std::string>, Value> values;
    std::set<std::string> files;
    std::vector<std::string> started;
    bool startWorks = true;

    bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                 std::uintptr_t& handle) override
    {
        if (root != kHkeyLocalMachine || access != 0x2003F) {
            return false;
        }
        for (const auto& [key, value] : values) {
            if (key.first == keyName) {
                openKeys.push_back(keyName);
                handle = openKeys.size();
                return true;
            }
        }
        return false;
    }
    bool QueryValue(std::uintptr_t handle, const std::string& valueName, std::size_t bufferSize,
                    std::uint32_t& type, std::string& data) override
    {
        const auto found = values.find({openKeys[handle - 1], valueName});
        if (found == values.end() || bufferSize != 1024) {
            return false;
        }
        type = found->second.type;
        data = found->second.data;
        return true;
    }
    void CloseKey(std::uintptr_t) override { ++closed; }
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    bool StartProgram(const std::string& path) override
    {
        started.push_back(path);
        return startWorks;
    }
    std::vector<std::string> openKeys;
    int closed = 0;
};

struct Window {
    ScriptedDialog* dialog;
    FakeRegistry* registry;
    std::unique_ptr<MainWindow> window;
    QStringList messages;

    Window()
    {
        auto scripted = std::make_unique<ScriptedDialog>();
        auto fake = std::make_unique<FakeRegistry>();
        dialog = scripted.get();
        registry = fake.get();
        window = std::make_unique<MainWindow>(std::move(scripted), std::move(fake));
        window->messageSink = [this](const QString& text) { messages << text; };
    }
    MainWindow* operator->() { return window.get(); }
    QString Log() const { return window->logBox()->toPlainText(); }
    QString Status() const { return window->statusLabel()->text(); }
};

std::string Sga()
{
    return BuildSga(
        SgaFromLayout({{"", {{.name = "a.txt", .content = "alpha"}}},
                       {"art", {{.name = "b.tga", .content = std::string(500, 'b'), .compress = true}}}}));
}

std::string Rbf()
{
    RbfSpec recipe;
    recipe.entries = {{.name = "x\\y.txt"}, {.name = "z.txt"}};
    return BuildRbf(recipe);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void startState()
    {
        Window w;
        QCOMPARE(w->windowTitle(), QString("Tavrin's SV1 / SV2 / MF Archive Tool v1.6.0"));
        const QList<QAction*> menus = w->menuBar()->actions();
        QCOMPARE(menus.size(), 4);
        QCOMPARE(menus[0]->text(), QString("&File"));
        QCOMPARE(menus[1]->text(), QString("&View"));
        QCOMPARE(menus[2]->text(), QString("&Options"));
        QCOMPARE(menus[3]->text(), QString("&Help"));
        QCOMPARE(w->openAction()->text(), QString("&Open"));
        QCOMPARE(w->openAction()->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(w->exitAction()->text(), QString("E&xit"));
        QVERIFY(w->debugAction()->isCheckable());
        QVERIFY(!w->debugAction()->isChecked());
        QCOMPARE(w->aboutAction()->text(), QString("&About"));

        const QStringList keys = {"OpenSV1", "OpenBIG", "OpenSGA", "", "SaveSelected", "SaveAll"};
        const QStringList tips = {"Open SV1 BIG File",  "Open SV2 BIG File",        "Open MF SGA File", "",
                                  "Save Selected File", "Save All Files in Archive"};
        const QList<QAction*> actions = w->toolBar()->actions();
        QCOMPARE(actions.size(), 7); // the six buttons, then the filter box
        QCOMPARE(w->toolBar()->widgetForAction(actions[6])->findChild<QLineEdit*>(), w->filterBox());
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(actions[i], w->button(i + 1));
            if (keys[i].isEmpty()) {
                QVERIFY(actions[i]->isSeparator());
                continue;
            }
            QCOMPARE(actions[i]->data().toString(), keys[i]);
            QCOMPARE(actions[i]->toolTip().section('\n', 0, 0), tips[i]);
            QCOMPARE(actions[i]->isEnabled(), i < 3);
            // A disabled button says why on a second line; a screen reader hears its name.
            QCOMPARE(actions[i]->toolTip().contains('\n'), i >= 3);
            QCOMPARE(w->toolBar()->widgetForAction(actions[i])->accessibleName(), tips[i]);
        }
        QCOMPARE(w->treeView()->model()->rowCount(), 0);
        QCOMPARE(w.Log(), QString());
        QCOMPARE(w.Status(), QString());
        QCOMPARE(w->progressBar()->value(), 0);
        QCOMPARE(w->logBox()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn); // lines do not wrap
        QVERIFY(w->frm().ArchivePath.empty());
    }

    void dialogSequences()
    {
        Window w;
        w.dialog->answers = {std::nullopt, std::nullopt};
        w->ToolbarClick("OpenBIG");
        w->mnuFileOpen_Click();
        QCOMPARE(w.dialog->shown.size(), std::size_t{2});
        QCOMPARE(w.dialog->shown[0].title, std::string("Open Solvane2 .BIG Archive"));
        QCOMPARE(w.dialog->shown[0].filter,
                 std::string("SV2 BIG Files (*.big / *.grm*)|*.big;*.grm*|All Files (*.*)|*.*"));
        QCOMPARE(w.dialog->shown[0].filterIndex, 1);
        QVERIFY(w.dialog->shown[0].hideReadOnly);
        QCOMPARE(w.dialog->shown[1].title, std::string("Open SV1 / SV2 / MF Archive File"));
        QCOMPARE(w.dialog->shown[1].filter, std::string(kGeneralFilter));
        QVERIFY(w->dialogState().title.empty());
        QVERIFY(w->dialogState().filter.empty());
    }

    void nameFiltersShowTheDescriptions()
    {
        const std::vector<std::string> filters = NameFiltersFromFilter(kGeneralFilter);
        QCOMPARE(filters.size(), std::size_t{4});
        QCOMPARE(filters[1], std::string("SV2 BIG Files (*.big / *.grm*) (*.big *.grm*)"));
        QCOMPARE(filters[3], std::string("All Files (*.*) (*.*)"));
    }

    void hostileTextAndSpecialFiles()
    {
        TempDir dir;
        SgaSpec recipe = SgaFromLayout({{"", {{.name = "a.txt", .content = "alpha"}}}});
        recipe.archiveType = "T\x1b[2J\n\r\t\x7f\x9d.";
        WriteBytes(dir.File("a.sga"), BuildSga(recipe));
        Window w;
        w.dialog->answers = {dir.File("a.sga")};
        w->ToolbarClick("OpenSGA");
        // Every control character of the archive's text is a visible symbol, never a line break.
        QVERIFY2(
            w.Log().contains(QString::fromUtf8("Archive Type=T\u241B[2J\u240A\u240D\u2409\u2421\uFFFD.\n")),
            qPrintable(w.Log()));

#ifndef _WIN32
        QCOMPARE(mkfifo(dir.File("fifo.sga").c_str(), 0600), 0);
        w.dialog->answers = {dir.File("fifo.sga")};
        w->ToolbarClick("OpenSGA"); // would wait forever for a writer if it opened the FIFO
        QVERIFY(!w.messages.isEmpty());
        QVERIFY(w.messages.last().endsWith("not a regular file (a FIFO)"));
#endif
    }

    void openSgaThenRbf()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Sga());
        WriteBytes(dir.File("b.big"), Rbf());
        Window w;
        w.dialog->answers = {dir.File("a.sga")};
        w->ToolbarClick("OpenSGA");
        QCOMPARE(w.dialog->shown[0].title, std::string("Open Morrowfen .SGA Archive"));
        QCOMPARE(w->treeView()->model()->rowCount(), 1);
        const QModelIndex root = w->treeView()->model()->index(0, 0);
        QCOMPARE(root.data().toString(), QString("Data"));
        QCOMPARE(w->treeView()->model()->rowCount(root), 2);
        QVERIFY(w->treeView()->isExpanded(root));
        QCOMPARE(w->treeView()->currentIndex(), root);
        QVERIFY(w.Log().startsWith("Identifier=_ARCHIVE\nVersion=2\n"));
        QCOMPARE(w.Status(), QString::fromStdString(dir.File("a.sga")));
        QVERIFY(w->button(5)->isEnabled());
        QVERIFY(w->button(6)->isEnabled());

        // A cancelled open changes nothing: the catalogue, log, status, buttons and path stay.
        const QString log = w.Log();
        w.dialog->answers = {std::nullopt};
        w->mnuFileOpen_Click();
        QCOMPARE(w->treeView()->model()->rowCount(root), 2);
        QCOMPARE(w.Log(), log);
        QCOMPARE(w.Status(), QString::fromStdString(dir.File("a.sga")));
        QVERIFY(w->button(5)->isEnabled());
        QCOMPARE(w->frm().ArchivePath, dir.File("a.sga"));

        w.dialog->answers = {dir.File("b.big")};
        w->ToolbarClick("OpenSV1");
        QCOMPARE(w->treeView()->model()->index(0, 0).data().toString(), QString("b.big"));
        QVERIFY(!w->button(5)->isEnabled());
        QVERIFY(!w->button(6)->isEnabled());
        QCOMPARE(w.Log(), QString("Identifier=RBF\nVersion=1.23\nRecords=2\nSort Flag=0\n\n"));

        // A name that does not exist: a message, and the catalogue stays.
        w.dialog->answers = {dir.File("missing.sga")};
        w->mnuFileOpen_Click();
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages[0].contains("missing.sga"));
        QCOMPARE(w->treeView()->model()->index(0, 0).data().toString(), QString("b.big"));
    }

    // After a rejected open the old catalogue cannot be applied to the new file's bytes.
    void rejectedOpenLeavesNothingToExtract()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Sga());
        WriteBytes(dir.File("notes.txt"), "thirty bytes of plain text...");
        Window w;
        w->frm().OutputBase = dir.path();
        w.dialog->answers = {dir.File("a.sga"), dir.File("notes.txt")};
        w->mnuFileOpen_Click();
        w->mnuFileOpen_Click();
        QCOMPARE(w.messages, QStringList{"Invalid Archive File"});
        QVERIFY(!w->button(5)->isEnabled());
        QVERIFY(!w->button(6)->isEnabled());
        QCOMPARE(w.Status(), QString());
        w->ToolbarClick("SaveAll"); // reached anyway
        w->ToolbarClick("SaveSelected");
        QCOMPARE(w.Log(), QString("Error: no SGA archive is loaded: open one first\n"
                                  "Error: no SGA archive is loaded: open one first\n"
                                  "0 files written, 1 failed\n"));
        QVERIFY(!std::filesystem::exists(dir.File("data")));
    }

    // The tree shows the name as archive text, the status bar as the host names it.
    void nonAsciiArchiveName()
    {
        TempDir dir;
        const QString name = QString::fromUtf8("café ünï 日本.big");
        const std::string path = dir.File(name.toUtf8().toStdString());
        WriteBytes(path, Rbf());
        Window w;
        w.dialog->answers = {path};
        w->ToolbarClick("OpenSV1");
        QCOMPARE(w->treeView()->model()->index(0, 0).data().toString(), QString::fromUtf8("café ünï ??.big"));
        QCOMPARE(w.Status(), QString::fromStdString(path));
        QVERIFY(w.Status().endsWith(name));
    }

    void extractCommandsAndDebugSwitch()
    {
        TempDir dir;
        WriteBytes(dir.File("a.sga"), Sga());
        Window w;
        w->frm().OutputBase = dir.path();
        w->debugAction()->trigger();
        QVERIFY(w->frm().DebugToFile);
        QVERIFY(w->debugAction()->isChecked());
        w.dialog->answers = {dir.File("a.sga")};
        w->mnuFileOpen_Click();
        QVERIFY(std::filesystem::exists(dir.File("a.sga.debug.txt")));

        const QModelIndex root = w->treeView()->model()->index(0, 0);
        const QModelIndex file = w->treeView()->model()->index(1, 0, root); // a.txt under the root
        QCOMPARE(file.data().toString(), QString("a.txt"));
        w->treeView()->setCurrentIndex(file);
        w->ToolbarClick("SaveSelected");
        QCOMPARE(ReadBytes(dir.File("data/a.txt")), std::string("alpha"));
        QVERIFY(w.Log().contains("Extracting: a.txt\n"));

        w->ToolbarClick("SaveAll");
        QCOMPARE(ReadBytes(dir.File("data/art/b.tga")), std::string(500, 'b'));
        QVERIFY(w.Log().endsWith("\nStarting file extract...\n...Extract finished\n"));
        QCOMPARE(w->progressBar()->maximum(), 1);
        QCOMPARE(w->progressBar()->value(), 1);
        QVERIFY(std::filesystem::exists(dir.File("a.sga.debug.extract.txt")));
        QVERIFY(w->openAction()->isEnabled()); // enabled again after the extraction

        w->debugAction()->trigger();
        QVERIFY(!w->frm().DebugToFile);
        QVERIFY(!w->debugAction()->isChecked());

        w->treeView()->setCurrentIndex({});
        w->frm().tree().Select(0);
        w->ToolbarClick("SaveSelected");
        QVERIFY(w.Log().endsWith("No file is selected: choose a file in the tree first\n"));
    }

    // Exit and the close box while Save All lets events run: the extraction
    // stops between two files and the window closes after it, never under it.
    void exitDuringSaveAll()
    {
        std::vector<SgaLayoutDir> layout = {{"", {}}};
        for (int i = 0; i < 12; ++i) {
            layout.push_back(
                {"d" + std::to_string(i),
                 {{.name = "f.bin", .content = std::string(20000, char('a' + i)), .compress = true}}});
        }
        TempDir dir;
        WriteBytes(dir.File("many.sga"), BuildSga(SgaFromLayout(layout)));
        for (const bool byExit : {true, false}) {
            Window w;
            w->show();
            w->frm().OutputBase = dir.path();
            w.dialog->answers = {dir.File("many.sga")};
            w->mnuFileOpen_Click();
            w->ToolbarClick("SaveAll"); // makes the folders: the next run lets events run per row only
            std::filesystem::remove_all(dir.File("data/d11/f.bin"));
            QTimer::singleShot(0, w.window.get(), [&w, byExit] {
                if (byExit) {
                    w->exitAction()->trigger();
                } else {
                    QVERIFY(!w->close()); // refused while the command runs
                }
                QVERIFY(w->isVisible());
            });
            w->ToolbarClick("SaveAll");
            QVERIFY(!w->isVisible());
            QVERIFY(w.Log().endsWith("\n...Extract stopped: the window is closing\n"));
            QVERIFY(!std::filesystem::exists(dir.File("data/d11/f.bin")));
            QCOMPARE(w->frm().Zlib == nullptr, byExit); // Exit released it, the close box did not
        }
    }

    // The folder pass logs a line per folder and lets events run after each:
    // the log box gets every line, in order, while being redrawn only on the
    // clock, and events posted before the click still run mid-command.
    void extractAllKeepsEveryFolderLine()
    {
        const TempDir dir = TempDir::InMemory();
        std::vector<SgaLayoutDir> layout = {{"", {{.name = "top.txt", .content = "top"}}}};
        QStringList expected;
        for (int d = 1; d <= 16001; ++d) {
            const std::string name = "f" + std::to_string(d);
            const int top = d - (d - 1) % 50; // every 50th folder at the top, the 49 after it inside it
            layout.push_back(
                {top == d ? name : layout[static_cast<std::size_t>(top)].path + "\\" + name, {}});
            expected << QString::fromStdString("Creating directory: " + layout.back().path);
        }
        layout[16001].files.push_back(
            {.name = "last.txt", .content = std::string(300, 'z'), .compress = true});
        WriteBytes(dir.File("many.sga"), BuildSga(SgaFromLayout(layout)));
        Window w;
        w->frm().OutputBase = dir.path();
        w.dialog->answers = {dir.File("many.sga")};
        w->mnuFileOpen_Click();
        QVERIFY(w->button(6)->isEnabled());

        int insertions = 0;
        connect(w->logBox(), &LogView::appended, this, [&insertions] { ++insertions; });
        bool ranDuringExtraction = false;
        QTimer::singleShot(0, this, [&] { ranDuringExtraction = w->frm().Extracting; });
        w->ToolbarClick("SaveAll");

        QVERIFY(ranDuringExtraction);
        QStringList folderLines;
        for (const QString& line : w.Log().split('\n')) {
            if (line.startsWith("Creating directory: ") && line != "Creating directory: .\\data") {
                folderLines << line;
            }
        }
        QCOMPARE(folderLines.size(), 16001);
        QCOMPARE(folderLines, expected);
        QVERIFY(w.Log().endsWith("\nStarting file extract...\n...Extract finished\n"));
        QVERIFY2(insertions < 1000, qPrintable(QString::number(insertions))); // not one per line
        QCOMPARE(w->progressBar()->maximum(), 16001);
        QCOMPARE(w->progressBar()->value(), 16001);
        QCOMPARE(w.Status(), QString::fromStdString(dir.File("many.sga")));
        QCOMPARE(ReadBytes(dir.File("data/f16001/last.txt")), std::string(300, 'z'));
    }

    // A CR LF or a lone LF in archive text (the TOC alias, the archive type)
    // never starts a line of the log box: it shows as a visible symbol.
    void archiveTextCannotForgeALogLine()
    {
        TempDir dir;
        SgaSpec recipe =
            SgaFromLayout({{"", {{.name = "a.txt", .content = "alpha"}}}}, "Data\r\nLoad failed: FORGED");
        recipe.archiveType = "type\nLoad failed: FORGED";
        WriteBytes(dir.File("forged.sga"), BuildSga(recipe));
        Window w;
        w.dialog->answers = {dir.File("forged.sga")};
        w->mnuFileOpen_Click();
        QVERIFY(w.Log().contains("FORGED"));
        for (const QString& line : w.Log().split('\n')) {
            QVERIFY2(!line.startsWith("Load failed"), qPrintable(line));
        }
        QVERIFY(w.Log().contains(QString::fromUtf8("Data\u240D\u240ALoad failed: FORGED")));
    }

    void layoutAfterResize()
    {
        Window w;
        w->ApplyLayout(9615, 8140);
        QCOMPARE(w->progressBar()->width(), 631); // 9465 twips
        QCOMPARE(w->progressBar()->y(), 456);     // 6840 twips
        QCOMPARE(w->treeView()->width(), 254);    // 3807.5 twips
        QCOMPARE(w->treeView()->height(), 389);   // 5840 twips
        QCOMPARE(w->logBox()->x(), 254 + 10);     // the tree's width + 150 twips
        QCOMPARE(w->logBox()->height(), 389);
        QCOMPARE(w->logBox()->width(), 364); // 5457.5 twips
        // A shrunken window keeps the tree's width and still places the log box.
        w->ApplyLayout(1500, 1000);
        QCOMPARE(w->treeView()->width(), 254);
        QCOMPARE(w->logBox()->x(), 264);
        QCOMPARE(w->logBox()->width(), 93);
    }

    void aboutBox()
    {
        Window w;
        w->mnuHelpAbout_Click();
        AboutDialog* about = w->aboutDialog();
        QVERIFY(about != nullptr);
        QCOMPARE(about->windowTitle(), QString("About Tavrin's SV1 / SV2 / MF Archive Tool"));
        QVERIFY(about->parent() == nullptr);
        QCOMPARE(about->size(), QSize(449, 242));
        QCOMPARE(about->versionLabel()->text(), QString("Version 1.6.0"));
        QVERIFY(about->titleBox()->font().bold());
        QCOMPARE(about->okButton()->text(), QString("OK"));
        QVERIFY(about->okButton()->isDefault());
        QCOMPARE(about->sysInfoButton()->text(), QString("&System Info..."));
        w->mnuHelpAbout_Click();
        QCOMPARE(w->aboutDialog(), about); // brought to the front, not made again

        QStringList messages;
        about->messageSink = [&](const QString& text) { messages << text; };
        about->sysInfoButton()->click(); // neither key
        QCOMPARE(messages, QStringList{"System Information Is Unavailable At This Time"});
        QVERIFY(about->isVisible());

        w.registry->values[{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"}] = {1, "C:\\Tools"};
        about->sysInfoButton()->click(); // the folder holds no MSINFO32.EXE
        QCOMPARE(messages.size(), 2);
        w.registry->files.insert("C:\\Tools\\MSINFO32.EXE");
        about->sysInfoButton()->click();
        QCOMPARE(w.registry->started, std::vector<std::string>{"C:\\Tools\\MSINFO32.EXE"});

        // The first location wins, and its path is started without a check.
        w.registry->values[{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH"}] = {1, "D:\\nowhere.exe"};
        about->sysInfoButton()->click();
        QCOMPARE(w.registry->started.back(), std::string("D:\\nowhere.exe"));
        w.registry->startWorks = false;
        about->sysInfoButton()->click();
        QCOMPARE(messages.size(), 3);

        // A value that is not text counts as missing.
        w.registry->startWorks = true;
        w.registry->values[{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH"}] = {4, "1234"};
        w.registry->values.erase({"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"});
        about->sysInfoButton()->click();
        QCOMPARE(messages.size(), 4);
        QCOMPARE(w.registry->closed, static_cast<int>(w.registry->openKeys.size()));

        about->okButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w->aboutDialog() == nullptr);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
