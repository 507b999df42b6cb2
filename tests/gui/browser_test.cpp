// The window as an archive browser: details columns, the filter, preview,
// drops, the command line, and the smallest window.
#include "gui/main_window.h"
#include "gui/scripted_dialog.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"

#include <QBuffer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

using namespace archive;
using namespace archive::testing;

namespace {

struct Browser {
    ScriptedDialog* dialog;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
    TempDir dir;

    Browser()
    {
        auto scripted = std::make_unique<ScriptedDialog>();
        dialog = scripted.get();
        window = std::make_unique<MainWindow>(std::move(scripted));
        window->messageSink = [this](const QString& text) { messages << text; };
    }
    MainWindow* operator->() { return window.get(); }

    QString Write(const std::string& name, const std::string& bytes)
    {
        WriteBytes(dir.File(name), bytes);
        return QString::fromStdString(dir.File(name));
    }
    QModelIndex Index(const std::string& key)
    {
        return window->proxy()->IndexOfNode(window->frm().tree().IndexOfKey(key));
    }
    QString Cell(const std::string& key, DetailsColumn column)
    {
        return Index(key).siblingAtColumn(static_cast<int>(column)).data().toString();
    }
    // The names under a view index, top to bottom.
    QStringList Names(const QModelIndex& parent)
    {
        QStringList names;
        for (int row = 0; row < window->proxy()->rowCount(parent); ++row) {
            names << window->proxy()->index(row, 0, parent).data().toString();
        }
        return names;
    }
};

std::string Mixed()
{
    return BuildSga(SgaFromLayout(
        {{"",
          {{.name = "readme.txt", .content = "Read me\r\nfirst", .compress = true},
           {.name = "big.bin", .content = std::string(5000, 'z')}}},
         {"maps", {{.name = "town.map", .content = std::string(2000, 'm'), .compress = true}}}}));
}

// A 2 by 1 true-colour TGA: no signature, found by its extension alone.
std::string Tga()
{
    std::string tga(18, '\0');
    tga[2] = 2;  // uncompressed true colour
    tga[12] = 2; // width
    tga[14] = 1; // height
    tga[16] = 24;
    tga += std::string("\x00\x00\xff\x00\xff\x00", 6);        // red, green (BGR)
    tga += std::string(8, '\0') + "TRUEVISION-XFILE." + '\0'; // the footer Qt's reader asks for
    return tga;
}

std::string Png()
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

QRect InWindow(QWidget* widget, QWidget* window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

} // namespace

class BrowserTest : public QObject {
    Q_OBJECT
  private slots:
    void columnsTotalsSortingAndThePlainTree()
    {
        Browser b;
        b->OpenFile(b.Write("mixed.sga", Mixed()));
        QCOMPARE(b->proxy()->headerData(1, Qt::Horizontal).toString(), QString("Size"));
        QCOMPARE(b.Cell("n-1\\f1", DetailsColumn::Size), QLocale().toString(5000));
        QCOMPARE(b.Cell("n-1\\f1", DetailsColumn::Ratio), QString("100%"));
        QCOMPARE(b.Cell("n-1", DetailsColumn::Size), QLocale().toString(5000 + 2000 + 14));
        QVERIFY(!b.Cell("n-1\\f0", DetailsColumn::Offset).isEmpty());
        QVERIFY(!b->treeView()->isColumnHidden(static_cast<int>(DetailsColumn::Offset)));
        QVERIFY(b->treeView()->isColumnHidden(static_cast<int>(DetailsColumn::Crc)));
        QVERIFY(!b.Index("n0").data(Qt::DecorationRole).isNull());

        // Sorted by size, largest first, folders above files; then the catalogue's order again.
        const QModelIndex root = b.Index("n-1");
        QCOMPARE(b.Names(root), (QStringList{"maps", "readme.txt", "big.bin"}));
        b->treeView()->sortByColumn(static_cast<int>(DetailsColumn::Size), Qt::DescendingOrder);
        QCOMPARE(b.Names(b.Index("n-1")), (QStringList{"maps", "big.bin", "readme.txt"}));
        b->catalogueOrderAction()->trigger();
        QCOMPARE(b.Names(b.Index("n-1")), (QStringList{"maps", "readme.txt", "big.bin"}));

        // The plain tree: no header, no columns, no icons; and back.
        b->detailsAction()->trigger();
        QVERIFY(b->treeView()->isHeaderHidden());
        for (int column = 1; column < kDetailsColumns; ++column) {
            QVERIFY(b->treeView()->isColumnHidden(column));
        }
        QVERIFY(b.Index("n0").data(Qt::DecorationRole).isNull());
        b->detailsAction()->trigger();
        QVERIFY(!b->treeView()->isHeaderHidden());
        QVERIFY(!b->treeView()->isColumnHidden(static_cast<int>(DetailsColumn::Size)));

        // An RBF archive shows the CRC column instead of the offset.
        RbfSpec rbf;
        rbf.entries = {{.name = "x\\y.txt", .crc = 123456789, .compr = 3, .uncompr = 9}};
        b->OpenFile(b.Write("sv1.big", BuildRbf(rbf)));
        QCOMPARE(b.Cell("x\\y.txt", DetailsColumn::Crc),
                 QString("12345") + QLocale().decimalPoint() + "6789");
        QVERIFY(b->treeView()->isColumnHidden(static_cast<int>(DetailsColumn::Offset)));
        QVERIFY(!b->treeView()->isColumnHidden(static_cast<int>(DetailsColumn::Crc)));
    }

    void filterOnALargeCatalogueAndSelectionThroughIt()
    {
        std::vector<SgaLayoutDir> dirs{{"", {}}};
        for (int d = 0; d < 200; ++d) {
            SgaLayoutDir dir{"dir" + std::to_string(d), {}};
            for (int f = 0; f < 50; ++f) {
                dir.files.push_back({.name = "file" + std::to_string(d * 50 + f) + ".txt"});
            }
            dirs.push_back(std::move(dir));
        }
        Browser b;
        b->OpenFile(b.Write("large.sga", BuildSga(SgaFromLayout(dirs))));
        QCOMPARE(b->frm().tree().Count(), std::size_t{1 + 200 + 10000});
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        b->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(b.window.get()));

        QTest::keyClick(b.window.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), b->filterBox());
        QTest::keyClicks(b->filterBox(), "FILE999?.");
        const QModelIndex root = b->proxy()->index(0, 0);
        QCOMPARE(b.Names(root), QStringList{"dir199"});
        const QModelIndex folder = b->proxy()->index(0, 0, root);
        QCOMPARE(b->proxy()->rowCount(folder), 10);
        QVERIFY(b->treeView()->isExpanded(folder)); // matches are in sight

        // Selecting through the filter selects the catalogue's node.
        const QModelIndex shown = b->proxy()->index(3, 0, folder);
        b->treeView()->setCurrentIndex(shown);
        const int node = b->frm().tree().SelectedIndex();
        QCOMPARE(b->frm().tree().Node(node).text, std::string("file9993.txt"));
        QCOMPARE(b->frm().tree().Node(node).key, std::string("n199\\f9993"));
        QCOMPARE(b->NodeOfView(b->treeView()->currentIndex()), node);

        // Escape empties the box, the whole tree comes back and the selection stays.
        QTest::keyClick(b->filterBox(), Qt::Key_Escape);
        QVERIFY(b->filterBox()->text().isEmpty());
        QCOMPARE(b->proxy()->rowCount(b->proxy()->index(0, 0)), 200);
        QCOMPARE(b->NodeOfView(b->treeView()->currentIndex()), node);

        b->filterBox()->setText("no such name");
        QCOMPARE(b->proxy()->rowCount(), 0);
        b->filterBox()->setText(QString::fromUtf8("\xe4\xb8\x80")); // no Windows-1252 form
        QCOMPARE(b->proxy()->rowCount(), 0);
        // A new archive shows whole, whatever the box held.
        b->OpenFile(b.Write("mixed.sga", Mixed()));
        QVERIFY(b->filterBox()->text().isEmpty());
        QCOMPARE(b->proxy()->rowCount(b.Index("n-1")), 3);
    }

    void previewTextImageHexAndDamage()
    {
        SgaSpec recipe =
            SgaFromLayout({{"",
                            {{.name = "note.txt", .content = "caf\xe9\r\nline two", .compress = true},
                             {.name = "picture.png", .content = Png(), .compress = true},
                             {.name = "sprite.TGA", .content = Tga()},
                             {.name = "data.bin", .content = std::string("\x00\x01\x02xyz", 6)},
                             {.name = "broken.txt", .content = "will not inflate", .compress = true}}}});
        std::string damaged = ZlibCompress("will not inflate");
        damaged[5] = static_cast<char>(damaged[5] ^ 0x5a);
        recipe.files[4].storedBytes = damaged;
        Browser b;
        const QString path = b.Write("p.sga", BuildSga(recipe));
        b->OpenFile(path);

        b->PreviewNode(b->frm().tree().IndexOfKey("n-1\\f0"));
        PreviewWindow* preview = b->previewWindow();
        QVERIFY(preview != nullptr && preview->isVisible());
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Text);
        QCOMPARE(preview->textView()->toPlainText(), QString::fromUtf8("caf\xc3\xa9\nline two"));

        b->PreviewNode(b->frm().tree().IndexOfKey("n-1\\f1"));
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Image);
        QCOMPARE(preview->imageView()->pixmap().size(), QSize(3, 2));
        b->PreviewNode(b->frm().tree().IndexOfKey("n-1\\f2"));
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Image);
        QCOMPARE(preview->imageView()->pixmap().toImage().pixelColor(0, 0), QColor(Qt::red));

        b->PreviewNode(b->frm().tree().IndexOfKey("n-1\\f3"));
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Hex);
        QVERIFY(preview->textView()->toPlainText().startsWith("00000000  00 01 02 78 79 7a"));

        b->PreviewNode(b->frm().tree().IndexOfKey("n-1\\f4"));
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Problem);
        QVERIFY(preview->findChild<QLabel*>("lblPreviewProblem")->text().contains("zlib status -3"));

        // Space on a file in the tree previews it; nothing was written anywhere.
        preview->hide();
        b->treeView()->setCurrentIndex(b.Index("n-1\\f0"));
        QTest::keyClick(b->treeView(), Qt::Key_Space);
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Text);
        QCOMPARE(std::distance(std::filesystem::directory_iterator(b.dir.path()), {}), 1);
    }

    // A large entry is read a piece per event-loop turn: the window's events
    // run meanwhile, the preview says it is reading, closing it or choosing
    // another entry stops the read, and what shows gives the entry's own size.
    void previewOfALargeEntryLeavesTheWindowLive()
    {
        const std::int64_t textSize = std::int64_t{3} << 20;
        const std::int64_t blobSize = std::int64_t{8} << 20;
        Browser b;
        b->OpenFile(b.Write(
            "large.sga",
            BuildSga(SgaFromLayout({{"",
                                     {{.name = "long.txt", .content = std::string(textSize, 't')},
                                      {.name = "blob.png", .content = std::string(blobSize, '\x01')}}}}))));
        const int text = b->frm().tree().IndexOfKey("n-1\\f0");
        const int blob = b->frm().tree().IndexOfKey("n-1\\f1");

        b->PreviewNode(blob);
        PreviewWindow* preview = b->previewWindow();
        QVERIFY(preview->reading() && preview->isVisible());
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Reading);
        QVERIFY(preview->summary()->text().contains(QString::fromUtf8("reading\u2026")));
        QVERIFY(b->frm().Running == RunningCommand::Preview);
        QVERIFY(!b->openAction()->isEnabled());
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        QCoreApplication::processEvents();
        QVERIFY(ran);
        QVERIFY(preview->reading());

        // Closed mid-way: the read stops, and the window's commands come back.
        preview->close();
        QVERIFY(!preview->reading());
        QVERIFY(b->frm().Running == RunningCommand::None);
        QVERIFY(b->openAction()->isEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Problem);

        // Another entry chosen mid-way replaces the read; the text is cut to
        // what the view shows, and the summary gives the entry's size.
        b->PreviewNode(blob);
        QVERIFY(preview->reading());
        b->PreviewNode(text);
        while (preview->reading()) {
            QCoreApplication::processEvents();
        }
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Text);
        QVERIFY(preview->summary()->text().contains(QLocale().toString(static_cast<qlonglong>(textSize))));
        QVERIFY(preview->summary()->text().contains("the first MiB shown"));
        QVERIFY(b->frm().Running == RunningCommand::None);

        // Read to its end: a hex dump of the start, and the count of the rest.
        b->PreviewNode(blob);
        while (preview->reading()) {
            QCoreApplication::processEvents();
        }
        QCOMPARE(preview->shown(), PreviewWindow::Shown::Hex);
        QVERIFY(preview->summary()->text().contains(QLocale().toString(static_cast<qlonglong>(blobSize))));
        QVERIFY(preview->textView()->toPlainText().endsWith(
            QString("... %1 more bytes not shown\n")
                .arg(blobSize - static_cast<std::int64_t>(kPreviewHexLimit))));

        // The window closes at once, its preview's read with it.
        b->PreviewNode(blob);
        QVERIFY(preview->reading());
        QVERIFY(b.window->close());
        QVERIFY(!preview->reading());
        QVERIFY(b->frm().Running == RunningCommand::None);
    }

    void dropOpensOneArchiveAndCommandLineFile()
    {
        Browser b;
        const QString first = b.Write("first.sga", Mixed());
        RbfSpec rbf;
        rbf.entries = {{.name = "z.txt"}};
        const QString second = b.Write("second.big", BuildRbf(rbf));
        const auto drop = [&](const QList<QUrl>& urls) {
            QMimeData mime;
            mime.setUrls(urls);
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(b.window.get(), &enter);
            if (!enter.isAccepted()) {
                return false;
            }
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(b.window.get(), &dropped);
            QCoreApplication::processEvents();
            return true;
        };
        QVERIFY(drop({QUrl::fromLocalFile(first)}));
        QCOMPARE(QString::fromStdString(b->frm().ArchivePath), first);
        QCOMPARE(b->frm().tree().Node(1).text, std::string("Data"));
        QVERIFY(b->button(6)->isEnabled());
        QVERIFY(!drop({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)})); // one file at a time
        QVERIFY(!drop({QUrl("https://example.invalid/a.sga")}));
        QVERIFY(drop({QUrl::fromLocalFile(second)})); // replaces the first
        QCOMPARE(QString::fromStdString(b->frm().ArchivePath), second);
        QVERIFY(!b->button(6)->isEnabled());

        // A file named as on the command line: relative to the working folder, the
        // dialog then shows it; a bad one gets the message the dialog's open gives.
        const QString current = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(b.dir.path().string()));
        b->OpenFile("first.sga");
        QDir::setCurrent(current);
        QCOMPARE(QString::fromStdString(b->frm().ArchivePath), first);
        QCOMPARE(QString::fromStdString(b->dialogState().fileName), first);
        b->OpenFile(b.Write("text.sga", "just text"));
        b.dialog->answers.push_back(b.dir.File("text.sga"));
        b->mnuFileOpen_Click();
        QCOMPARE(b.messages.size(), 2);
        QCOMPARE(b.messages[0], b.messages[1]);
    }

    void programAnswersOnTheConsole()
    {
        QProcess program;
        program.start(ARCHIVE_TOOL_PROGRAM, {"--version"});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput().trimmed(), QByteArray("archive-tool 1.6.0"));
        program.start(ARCHIVE_TOOL_PROGRAM, {"--help"});
        QVERIFY(program.waitForFinished(20000));
        QVERIFY(program.readAllStandardOutput().contains("[FILE]"));
        program.start(ARCHIVE_TOOL_PROGRAM, {"a.sga", "b.sga"});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), 2);
    }

    // A cleared filter gives back the tree as the user left it, not as it was loaded.
    void clearedFilterKeepsTheUsersExpansion()
    {
        Browser b;
        b->OpenFile(b.Write("mixed.sga", Mixed()));
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        const QModelIndex maps = b.Index("n0");
        QCOMPARE(maps.data().toString(), QString("maps"));
        QVERIFY(!b->treeView()->isExpanded(maps));
        b->treeView()->expand(maps);
        b->filterBox()->setText("town");
        b->filterBox()->clear();
        QVERIFY(b->treeView()->isExpanded(b.Index("n0")));
        QVERIFY(b->treeView()->isExpanded(b.Index("n-1")));
        b->treeView()->collapse(b.Index("n0")); // and a folder the user closed stays closed
        b->filterBox()->setText("town");
        b->filterBox()->clear();
        QVERIFY(!b->treeView()->isExpanded(b.Index("n0")));
    }

    // What a command acts on is what the user sees: Save Selected does not save
    // a node the filter hides, and the selection shows again once it is cleared.
    // A filter that keeps nothing says so where the rows would be.
    void filteredSelectionAndNoMatches()
    {
        Browser b;
        QVERIFY(!b->openOutputAction()->isEnabled()); // no archive, nothing written: no folder of ours
        b->OpenFile(b.Write("mixed.sga", Mixed()));
        QVERIFY(b->openOutputAction()->isEnabled());
        const QString data = QString::fromStdString(b.dir.File("data"));
        b->treeView()->setCurrentIndex(b.Index("n-1\\f0")); // readme.txt
        const int readme = b->frm().tree().SelectedIndex();
        b->filterBox()->setText("town");
        QVERIFY(!b.Index("n-1\\f0").isValid());
        b->button(5)->trigger(); // Save Selected
        QVERIFY(!QFile::exists(data + "/readme.txt"));
        b->FlushPending();
        QCOMPARE(b->logBox()->line(b->logBox()->lineCount() - 2).toString(),
                 QString("No file is selected: choose a file in the tree first"));

        b->filterBox()->clear();
        QCOMPARE(b->NodeOfView(b->treeView()->currentIndex()), readme);
        QCOMPARE(b->SelectedNodes(), std::vector<int>{readme});
        b->button(5)->trigger();
        QVERIFY(QFile::exists(data + "/readme.txt"));

        // Extract To with nothing selected takes what the filter shows, not the whole archive.
        const QString chosen = QString::fromStdString(b.dir.File("chosen"));
        int asked = 0;
        b->destinationChooser = [&](const QString&) {
            ++asked;
            return chosen;
        };
        b->filterBox()->setText("town");
        b->treeView()->clearSelection();
        b->ExtractTo();
        QVERIFY(QFile::exists(chosen + "/maps/town.map"));
        QVERIFY(!QFile::exists(chosen + "/big.bin"));
        b->filterBox()->setText("no such name");
        b->ExtractTo();
        QCOMPARE(asked, 1); // nothing shown: nothing to ask for
        b->filterBox()->clear();

        auto* view = qobject_cast<CatalogueView*>(b->treeView());
        QVERIFY(view != nullptr);
        b->filterBox()->setText("no such name");
        QCOMPARE(view->emptyText(), QString("No matches"));
        b->filterBox()->setText("town");
        QVERIFY(view->emptyText().isEmpty());
        b->filterBox()->setText("no such name");
        b->OpenFile(b.Write("mixed.sga", Mixed())); // a new catalogue shows whole
        QVERIFY(view->emptyText().isEmpty());
    }

    // The number columns are as wide as their widest texts; the progress shows
    // bytes in the unit the total reads best in.
    void numberColumnsAndProgressUnits()
    {
        Browser b;
        RbfSpec rbf;
        rbf.entries = {{.name = "x\\y.txt", .crc = 123456789, .compr = 3, .uncompr = 9}};
        b->OpenFile(b.Write("sv1.big", BuildRbf(rbf)));
        const int crc = static_cast<int>(DetailsColumn::Crc);
        const QString text = b.Cell("x\\y.txt", DetailsColumn::Crc);
        QVERIFY(b->treeView()->columnWidth(crc) > b->treeView()->fontMetrics().horizontalAdvance(text));

        b->OpenFile(b.Write("mixed.sga", Mixed()));
        QStringList labels;
        b->jobProgressHook = [&](const JobProgress&) {
            if (b->jobDialog() != nullptr) {
                labels << b->jobDialog()->labelText();
            }
        };
        b->destinationChooser = [&b](const QString&) { return QString::fromStdString(b.dir.File("out")); };
        b->extractToAction()->trigger();
        QVERIFY(!labels.isEmpty());
        QVERIFY2(labels.last().contains(" of 7.0 KB"), qPrintable(labels.last()));
    }

    // The window's commands keep their keys while the filter box has the focus.
    void shortcutsWorkInTheFilterBox()
    {
        Browser b;
        b->OpenFile(b.Write("mixed.sga", Mixed()));
        QStringList asked;
        b->destinationChooser = [&asked](const QString& start) {
            asked << start;
            return QString();
        };
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        b->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(b.window.get()));
        b->filterBox()->setFocus();
        QTest::keyClicks(b->filterBox(), "read");
        QTest::keyClick(b->filterBox(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(asked.size(), 1); // Extract To asked for its folder
        QCOMPARE(b->filterBox()->text(), QString("read"));
    }

    // Every control has a name a screen reader says; a disabled command says why.
    void accessibleNamesAndReasons()
    {
        Browser b;
        QCOMPARE(b->treeView()->accessibleName(), QString("Archive contents"));
        QCOMPARE(b->logBox()->accessibleName(), QString("Log"));
        QCOMPARE(b->filterBox()->accessibleName(), QString("Filter"));
        QCOMPARE(b->progressBar()->accessibleName(), QString("Progress"));
        for (int position : {1, 2, 3, 5, 6}) {
            QWidget* button = b->toolBar()->widgetForAction(b->button(position));
            QCOMPARE(button->accessibleName(), b->button(position)->toolTip().section('\n', 0, 0));
        }
        RbfSpec rbf;
        rbf.entries = {{.name = "z.txt"}};
        b->OpenFile(b.Write("sv1.big", BuildRbf(rbf)));
        for (QAction* extract : {b->button(5), b->button(6), b->extractToAction(), b->testAction()}) {
            QVERIFY(!extract->isEnabled());
            QVERIFY2(extract->toolTip().contains("RBF"), qPrintable(extract->toolTip()));
            QVERIFY(extract->statusTip().contains("RBF"));
        }
        b->OpenFile(b.Write("mixed.sga", Mixed()));
        QVERIFY(b->button(6)->isEnabled());
        QCOMPARE(b->button(6)->toolTip(), QString("Save All Files in Archive"));
        QVERIFY(b->button(6)->statusTip().isEmpty());
    }

    // Names are read whole; the tree and the log box share the room through a
    // splitter whose first sizes are the layout rule's.
    void nameColumnAndSplitter()
    {
        const std::string longName = std::string(60, 'n') + ".txt";
        Browser b;
        b->OpenFile(
            b.Write("long.sga", BuildSga(SgaFromLayout({{"", {{.name = longName, .content = "x"}}}}))));
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        QCoreApplication::processEvents();
        const QFontMetrics metrics(b->treeView()->font());
        QVERIFY2(b->treeView()->columnWidth(0) > metrics.horizontalAdvance(QString::fromStdString(longName)),
                 qPrintable(QString::number(b->treeView()->columnWidth(0))));

        QSplitter* splitter = b->splitter();
        QCOMPARE(b->treeView()->parentWidget(), splitter);
        QCOMPARE(b->logBox()->parentWidget(), splitter);
        b->ApplyLayout(9615, 8140);
        QCOMPARE(splitter->sizes(), (QList<int>{254, 364}));
        splitter->setSizes({400, 218}); // as a drag of the handle leaves them
        emit splitter->splitterMoved(400, 1);
        b->ApplyLayout(9615, 8140);
        QCOMPARE(splitter->sizes().first(), 400); // the user's split stays
    }

    // At a scale factor of 2 (run with QT_SCALE_FACTOR=2) the first window fits the screen.
    void firstWindowFitsTheScreen()
    {
        Browser b;
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(b->frameGeometry().width() <= screen.width() &&
                     b->frameGeometry().height() <= screen.height(),
                 qPrintable(QString("%1x%2 on %3x%4")
                                .arg(b->frameGeometry().width())
                                .arg(b->frameGeometry().height())
                                .arg(screen.width())
                                .arg(screen.height())));
        QVERIFY(b->minimumWidth() <= screen.width() && b->minimumHeight() <= screen.height());
    }

    // Ctrl+O and a drop while a drag-out's extraction lets events run leave the
    // tree the drag walks alone; the drag hands over what it extracted.
    void noOpenDuringADragOut()
    {
        Browser b;
        const QString first = b.Write("first.sga", Mixed());
        const QString second = b.Write("second.sga", BuildSga(WorkedExampleSga()));
        b->OpenFile(first);
        const std::size_t nodes = b->frm().tree().Count();
        b.dialog->answers.push_back(second.toStdString());
        int calls = 0;
        b->dragProgressHook = [&](int) {
            ++calls;
            b->openAction()->trigger();
            b->OpenFile(second);
            QVERIFY(!b->openAction()->isEnabled());
        };
        const QStringList handed = b->ExtractForDragOut({b->frm().tree().IndexOfKey("n-1")});
        QVERIFY(calls > 0);
        QCOMPARE(handed.size(), 1);
        QCOMPARE(b->frm().tree().Count(), nodes);
        QCOMPARE(QString::fromStdString(b->frm().ArchivePath), first);
        QVERIFY(b->openAction()->isEnabled());
        b->dragProgressHook = nullptr;
        b->OpenFile(second);
        QCOMPARE(QString::fromStdString(b->frm().ArchivePath), second);
    }

    void smallestWindowOverlapsNothing()
    {
        Browser b;
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        b->resize(50, 50);
        QCoreApplication::processEvents();
        QCOMPARE(b->size(), b->minimumSize());
        QWidget* w = b.window.get();
        const QList<QWidget*> controls = {b->menuBar(), b->toolBar(),     b->treeView(),
                                          b->logBox(),  b->progressBar(), b->statusBar()};
        for (int i = 0; i < controls.size(); ++i) {
            QVERIFY(w->rect().contains(InWindow(controls[i], w)));
            for (int j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!InWindow(controls[i], w).intersects(InWindow(controls[j], w)),
                         qPrintable(controls[i]->objectName() + " overlaps " + controls[j]->objectName()));
            }
        }
        // The filter box and every button have room in the toolbar.
        QVERIFY(b->filterBox()->isVisible());
        const QRect filter = InWindow(b->filterBox(), w);
        QVERIFY(InWindow(b->toolBar(), w).contains(filter));
        for (int position : {1, 2, 3, 5, 6}) {
            QWidget* button = b->toolBar()->widgetForAction(b->button(position));
            QVERIFY(button->isVisible());
            QVERIFY(!InWindow(button, w).intersects(filter));
        }
        QVERIFY(b->treeView()->width() > 100 && b->treeView()->height() > 100);
    }
};

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
