#pragma once

#include "window/log_text.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace archive {

class LineLayout;

// The log box: read-only lines under both scroll bars, never wrapped, no size
// limit. Its text, lines, selection and following of the end are the core's
// LogText (the Windows window's log box draws the same model); this view lays
// out only the lines in view, so an append costs the new text alone. (A
// QPlainTextEdit made a document block of every line: 2-3 microseconds each,
// which was most of what the window added to a Save All of 16,000 folders.)
//
// Text is selected with the mouse (Shift extends, a double click takes a
// word, a third click the line) or with Select All, and copied with Ctrl+C or the context menu. The
// keys that scroll a text box scroll it. Assistive tools read it as read-only
// multi-line text.
class LogView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    // Adds text at the end, where "\n" ends a line, and shows the end.
    void appendText(QStringView text);
    void clear();

    QString toPlainText() const { return Text().toString(); }
    // Lines so far, counting the open one after the last line break.
    qsizetype lineCount() const { return static_cast<qsizetype>(log_.LineCount()); }
    QStringView line(qsizetype index) const;
    const LogText& model() const { return log_; }

    // Selection, as offsets into toPlainText(); empty when both are equal.
    qsizetype selectionStart() const { return static_cast<qsizetype>(log_.SelectionStart()); }
    qsizetype selectionEnd() const { return static_cast<qsizetype>(log_.SelectionEnd()); }
    QString selectedText() const;
    void setSelection(qsizetype anchor, qsizetype caret);
    void selectAll();
    void copy() const;

    // Where an offset is drawn and which offset is drawn at a point, both in
    // the viewport's coordinates; and scrolling so that an offset is in view.
    QRect characterRect(qsizetype offset) const;
    qsizetype offsetAt(QPoint point) const;
    void ensureVisible(qsizetype offset);

  signals:
    // Once per appendText: the box does one piece of work per batch of lines.
    void appended();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    const LineLayout& Layout(qsizetype index) const;
    qsizetype LineOf(qsizetype offset) const;
    qsizetype LineEnd(qsizetype index) const;
    int LineHeight() const;
    int VisibleLines() const;
    void Measure(qsizetype firstLine);
    void UpdateScrollBars();
    void SelectTo(QPoint point, bool extend);
    QStringView Text() const
    {
        return QStringView(log_.Text().data(), static_cast<qsizetype>(log_.Text().size()));
    }
    qsizetype Start(qsizetype index) const
    {
        return static_cast<qsizetype>(log_.LineStart(static_cast<std::size_t>(index)));
    }

    LogText log_;
    int widest_ = 0;                // pixels: the widest line measured
    qsizetype longestMeasured_ = 0; // characters in the longest line measured on append
    bool selecting_ = false;
    QPoint dragAt_;          // where a selecting drag is, in the viewport
    QBasicTimer dragScroll_; // scrolls while a drag is held past an edge
    QElapsedTimer lastDoubleClick_;
    QPoint doubleClickAt_;
    // Lines laid out lately, by index: a long line is shaped once, not at every paint.
    mutable std::map<qsizetype, std::unique_ptr<LineLayout>> layouts_;
};

} // namespace archive
