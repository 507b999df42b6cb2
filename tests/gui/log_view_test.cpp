#include "gui/log_view.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

using archive::LogView;

namespace {

struct ShownLog {
    ShownLog()
    {
        view.resize(300, 120);
        view.show();
    }
    // Where line `index` is drawn, `x` pixels into it.
    QPoint At(qsizetype index, int x) const
    {
        const QRect rect = view.characterRect(OffsetOfLine(index));
        return QPoint(rect.left() + x, rect.center().y());
    }
    qsizetype OffsetOfLine(qsizetype index) const
    {
        qsizetype offset = 0;
        for (qsizetype i = 0; i < index; ++i) {
            offset += view.line(i).size() + 1;
        }
        return offset;
    }
    LogView view;
};

} // namespace

class LogViewTest : public QObject {
    Q_OBJECT
  private slots:
    void linesArriveInPiecesAndTheEndIsShown()
    {
        ShownLog log;
        log.view.appendText(u"Identifier=_ARCHIVE\nVer");
        log.view.appendText(u"sion=2\n");
        QCOMPARE(log.view.lineCount(), 3);
        QCOMPARE(log.view.line(1).toString(), QString("Version=2"));
        QCOMPARE(log.view.line(2).toString(), QString());
        QString many;
        for (int i = 0; i < 1000; ++i) {
            many += QString("Creating directory: .\\data\\f%1\n").arg(i);
        }
        log.view.appendText(many);
        QCOMPARE(log.view.toPlainText(), "Identifier=_ARCHIVE\nVersion=2\n" + many);
        QCOMPARE(log.view.lineCount(), 1003);
        QCOMPARE(log.view.line(1001).toString(), QString("Creating directory: .\\data\\f999"));
        QScrollBar* bar = log.view.verticalScrollBar();
        QVERIFY(bar->maximum() > 900);
        QCOMPARE(bar->value(), bar->maximum());
        // Scrolled back to read, the view stays while lines come; at the end again, it follows.
        bar->setValue(10);
        log.view.appendText(u"more\n");
        QCOMPARE(bar->value(), 10);
        bar->setValue(bar->maximum());
        log.view.appendText(u"and more\n");
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(log.view.lineCount(), 1005);
        QCOMPARE(log.view.line(-1).toString(), QString());
        QCOMPARE(log.view.line(1005).toString(), QString());

        log.view.setSelection(3, 9);
        log.view.clear();
        QCOMPARE(log.view.toPlainText(), QString());
        QCOMPARE(log.view.lineCount(), 1);
        QCOMPARE(log.view.selectedText(), QString());
        QCOMPARE(log.view.verticalScrollBar()->maximum(), 0);
    }

    void longLinesCanBeScrolledTo()
    {
        ShownLog log;
        QCOMPARE(log.view.horizontalScrollBar()->maximum(), 0);
        // Many short lines, then one far wider than the box, scrolled out of view.
        QString text = QString("x").repeated(400) + "\n";
        for (int i = 0; i < 100; ++i) {
            text += "short\n";
        }
        log.view.appendText(text);
        QVERIFY(QTest::qWaitForWindowExposed(&log.view));
        QVERIFY(log.view.horizontalScrollBar()->maximum() > log.view.viewport()->width());
        const int maximum = log.view.horizontalScrollBar()->maximum();
        // A line only a little longer is measured when it comes into view.
        log.view.appendText(QString("W").repeated(420) + "\n");
        QTRY_VERIFY(log.view.horizontalScrollBar()->maximum() > maximum);
    }

    void selectingWithTheMouseAndKeysCopiesWhatIsSelected()
    {
        ShownLog log;
        log.view.appendText(u"first line\nCreating directory: .\\data\\maps\\x\nIdentifier=_ARCHIVE\n");
        QVERIFY(QTest::qWaitForWindowExposed(&log.view));
        log.view.verticalScrollBar()->setValue(0);
        QWidget* area = log.view.viewport();

        QTest::mouseClick(area, Qt::LeftButton, {}, log.At(0, 1));
        QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, log.At(2, 1));
        QCOMPARE(log.view.selectedText(), QString("first line\nCreating directory: .\\data\\maps\\x\n"));
        QTest::keyClick(&log.view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), log.view.selectedText());

        // A double click takes the path whole, backslashes and all.
        const QRect on = log.view.characterRect(log.OffsetOfLine(1) + 25);
        QTest::mouseDClick(area, Qt::LeftButton, {}, on.center());
        QCOMPARE(log.view.selectedText(), QString(".\\data\\maps\\x"));
        // A third click takes the line.
        QTest::mouseClick(area, Qt::LeftButton, {}, on.center());
        QCOMPARE(log.view.selectedText(), QString("Creating directory: .\\data\\maps\\x"));
        // A value is taken without its name.
        QTest::mouseDClick(area, Qt::LeftButton, {},
                           log.view.characterRect(log.OffsetOfLine(2) + 14).center());
        QCOMPARE(log.view.selectedText(), QString("_ARCHIVE"));

        QTest::keyClick(&log.view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(log.view.selectedText(), log.view.toPlainText());

        // Nothing selected: Copy leaves the clipboard alone.
        QApplication::clipboard()->setText("kept");
        log.view.setSelection(4, 4);
        log.view.copy();
        QCOMPARE(QApplication::clipboard()->text(), QString("kept"));
    }

    void aDragHeldBelowTheBoxKeepsScrolling()
    {
        ShownLog log;
        QString text;
        for (int i = 0; i < 200; ++i) {
            text += QString("line %1\n").arg(i);
        }
        log.view.appendText(text);
        QVERIFY(QTest::qWaitForWindowExposed(&log.view));
        log.view.verticalScrollBar()->setValue(0);
        QWidget* area = log.view.viewport();
        QTest::mousePress(area, Qt::LeftButton, {}, log.At(0, 1));
        QTest::mouseMove(area, QPoint(10, area->height() + 20));
        QTRY_VERIFY(log.view.verticalScrollBar()->value() >= 5); // with the pointer held still
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(10, area->height() + 20));
        QVERIFY(log.view.selectedText().startsWith("line 0\nline 1\n"));
        const int stopped = log.view.verticalScrollBar()->value();
        QTest::qWait(200);
        QCOMPARE(log.view.verticalScrollBar()->value(), stopped);
    }

    void assistiveToolsReadTheText()
    {
        ShownLog log;
        log.view.appendText(u"abc\ndef\n");
        log.view.setSelection(4, 7);
        QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(&log.view);
        QVERIFY(shown != nullptr);
        QCOMPARE(shown->role(), QAccessible::EditableText);
        QVERIFY(shown->state().readOnly);
        QVERIFY(shown->state().multiLine);
        QAccessibleTextInterface* text = shown->textInterface();
        QVERIFY(text != nullptr);
        QCOMPARE(text->characterCount(), 8);
        QCOMPARE(text->text(0, 8), QString("abc\ndef\n"));
        QCOMPARE(text->selectionCount(), 1);
        int start = -1;
        int end = -1;
        text->selection(0, &start, &end);
        QCOMPARE(start, 4);
        QCOMPARE(end, 7);
    }
};

QTEST_MAIN(LogViewTest)
#include "log_view_test.moc"
