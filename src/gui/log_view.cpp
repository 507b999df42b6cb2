#include "gui/log_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace archive {

namespace {
constexpr int kMargin = 4;                // pixels around the text, as a text box leaves
constexpr std::size_t kLayoutsKept = 512; // more than a screen's lines
} // namespace

// One line laid out unwrapped in the view's font.
class LineLayout {
  public:
    LineLayout(QStringView text, const QFont& font) : layout_(text.toString(), font)
    {
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        layout_.setTextOption(option);
        layout_.beginLayout();
        line_ = layout_.createLine();
        line_.setLineWidth(std::numeric_limits<int>::max() / 4);
        layout_.endLayout();
    }
    int Width() const { return static_cast<int>(std::ceil(line_.naturalTextWidth())); }
    qsizetype OffsetAt(qreal x) const { return line_.xToCursor(x); }
    qreal XOf(qsizetype offset) const { return line_.cursorToX(static_cast<int>(offset)); }
    void Draw(QPainter& painter, QPointF at, const QList<QTextLayout::FormatRange>& selections) const
    {
        layout_.draw(&painter, at, selections);
    }

  private:
    QTextLayout layout_;
    QTextLine line_;
};

namespace {

// What assistive tools read: the whole text, read-only, with the selection.
class LogViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit LogViewAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? View()->toPlainText() : QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index == 0 && selectionCount() == 1) {
            *start = static_cast<int>(View()->selectionStart());
            *end = static_cast<int>(View()->selectionEnd());
        }
    }
    int selectionCount() const override { return View()->selectionStart() < View()->selectionEnd() ? 1 : 0; }
    void addSelection(int start, int end) override { View()->setSelection(start, end); }
    void removeSelection(int) override
    {
        View()->setSelection(View()->selectionEnd(), View()->selectionEnd());
    }
    void setSelection(int, int start, int end) override { View()->setSelection(start, end); }
    int cursorPosition() const override { return static_cast<int>(View()->selectionEnd()); }
    void setCursorPosition(int position) override { View()->setSelection(position, position); }
    QString text(int start, int end) const override
    {
        return View()->toPlainText().mid(start, std::max(0, end - start));
    }
    int characterCount() const override { return static_cast<int>(View()->toPlainText().size()); }
    QRect characterRect(int offset) const override
    {
        const QRect rect = View()->characterRect(offset);
        return QRect(View()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return static_cast<int>(View()->offsetAt(View()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int start, int) override { View()->ensureVisible(start); }
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }

  private:
    LogView* View() const { return static_cast<LogView*>(widget()); }
};

QAccessibleInterface* LogViewAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("archive::LogView") && object != nullptr && object->isWidgetType()) {
        return new LogViewAccessible(static_cast<LogView*>(object));
    }
    return nullptr;
}

} // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent)
{
    QAccessible::installFactory(LogViewAccessibleFactory); // Qt keeps one copy of each factory
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setFrameShape(QFrame::StyledPanel);
    UpdateScrollBars();
    // While the user holds the thumb, new lines do not pull the view away.
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { log_.HoldScroll(true); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
        log_.HoldScroll(false);
        log_.ScrollTo(static_cast<std::size_t>(std::max(0, verticalScrollBar()->value())));
    });
}

LogView::~LogView() = default;

const LineLayout& LogView::Layout(qsizetype index) const
{
    auto found = layouts_.find(index);
    if (found == layouts_.end()) {
        if (layouts_.size() >= kLayoutsKept) {
            layouts_.clear();
        }
        found = layouts_.emplace(index, std::make_unique<LineLayout>(line(index), font())).first;
    }
    return *found->second;
}

QStringView LogView::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount()) {
        return {};
    }
    const std::u16string_view text = log_.Line(static_cast<std::size_t>(index));
    return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

qsizetype LogView::LineEnd(qsizetype index) const
{
    return static_cast<qsizetype>(log_.LineEnd(static_cast<std::size_t>(index)));
}

qsizetype LogView::LineOf(qsizetype offset) const
{
    return static_cast<qsizetype>(log_.LineOf(static_cast<std::size_t>(std::max<qsizetype>(0, offset))));
}

void LogView::appendText(QStringView text)
{
    if (text.isEmpty()) {
        return;
    }
    const qsizetype firstChanged = lineCount() - 1; // the open line may grow
    const qsizetype from = Text().size();
    layouts_.erase(firstChanged);
    // The model follows the end unless the user has scrolled back to read.
    log_.Append(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                    static_cast<std::size_t>(text.size())));
    Measure(firstChanged);
    UpdateScrollBars();
    if (log_.FollowingEnd()) {
        verticalScrollBar()->setValue(static_cast<int>(log_.TopLine()));
        horizontalScrollBar()->setValue(0);
    }
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent event(this, static_cast<int>(from), text.toString());
        QAccessible::updateAccessibility(&event);
    }
    emit appended();
}

void LogView::clear()
{
    log_.Clear();
    widest_ = 0;
    longestMeasured_ = 0;
    layouts_.clear();
    UpdateScrollBars();
    viewport()->update();
}

QString LogView::selectedText() const
{
    return Text().mid(selectionStart(), selectionEnd() - selectionStart()).toString();
}

void LogView::setSelection(qsizetype anchor, qsizetype caret)
{
    log_.SetSelection(static_cast<std::size_t>(std::max<qsizetype>(0, anchor)),
                      static_cast<std::size_t>(std::max<qsizetype>(0, caret)));
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent event(this, static_cast<int>(selectionStart()),
                                            static_cast<int>(selectionEnd()));
        event.setCursorPosition(static_cast<int>(log_.Caret()));
        QAccessible::updateAccessibility(&event);
    }
}

void LogView::selectAll()
{
    setSelection(0, Text().size());
}

void LogView::copy() const
{
    if (selectionStart() < selectionEnd()) {
        QApplication::clipboard()->setText(selectedText());
    }
}

int LogView::LineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int LogView::VisibleLines() const
{
    return std::max(1, (viewport()->height() - kMargin) / LineHeight());
}

void LogView::Measure(qsizetype firstLine)
{
    // Lines are measured as they are drawn. Of the lines appended, only one
    // clearly longer than any measured before is measured now, so that the
    // horizontal scroll bar knows of the long lines nobody has scrolled to
    // without the append paying for every line.
    for (qsizetype i = firstLine; i < lineCount(); ++i) {
        const QStringView text = line(i);
        if (text.size() <= longestMeasured_ + longestMeasured_ / 8) {
            continue;
        }
        widest_ = std::max(widest_, Layout(i).Width());
        longestMeasured_ = text.size();
    }
}

void LogView::UpdateScrollBars()
{
    const int visible = VisibleLines();
    log_.SetVisibleLines(static_cast<std::size_t>(visible));
    const qsizetype lastTop = std::max<qsizetype>(0, lineCount() - visible);
    verticalScrollBar()->setRange(
        0, static_cast<int>(std::min<qsizetype>(lastTop, std::numeric_limits<int>::max())));
    verticalScrollBar()->setPageStep(visible);
    if (log_.FollowingEnd()) {
        verticalScrollBar()->setValue(static_cast<int>(log_.TopLine()));
    }
    verticalScrollBar()->setSingleStep(1);
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, widest_ + 2 * kMargin - width));
    horizontalScrollBar()->setPageStep(std::max(1, width));
    horizontalScrollBar()->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
}

QRect LogView::characterRect(qsizetype offset) const
{
    offset = std::clamp<qsizetype>(offset, 0, Text().size());
    const qsizetype index = LineOf(offset);
    const LineLayout& layout = Layout(index);
    const qsizetype column = offset - Start(index);
    const int x = kMargin - horizontalScrollBar()->value() + static_cast<int>(layout.XOf(column));
    const int nextX = kMargin - horizontalScrollBar()->value() + static_cast<int>(layout.XOf(column + 1));
    const int y = kMargin + static_cast<int>(index - verticalScrollBar()->value()) * LineHeight();
    return QRect(x, y, std::max(1, nextX - x), LineHeight());
}

qsizetype LogView::offsetAt(QPoint point) const
{
    const qsizetype row = point.y() < kMargin ? -1 : (point.y() - kMargin) / LineHeight();
    const qsizetype index = std::clamp<qsizetype>(verticalScrollBar()->value() + row, 0, lineCount() - 1);
    const LineLayout& layout = Layout(index);
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    return Start(index) + layout.OffsetAt(x);
}

void LogView::ensureVisible(qsizetype offset)
{
    const qsizetype index = LineOf(std::clamp<qsizetype>(offset, 0, Text().size()));
    const qsizetype top = verticalScrollBar()->value();
    if (index < top) {
        verticalScrollBar()->setValue(static_cast<int>(index));
    } else if (index >= top + VisibleLines()) {
        verticalScrollBar()->setValue(static_cast<int>(index - VisibleLines() + 1));
    }
}

void LogView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int height = LineHeight();
    const qsizetype top = verticalScrollBar()->value();
    const qsizetype last = std::min(lineCount() - 1, top + viewport()->height() / height + 1);
    const int left = kMargin - horizontalScrollBar()->value();
    const QPalette::ColorGroup group = isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    const QBrush highlight = palette().brush(group, QPalette::Highlight);
    QTextCharFormat selected;
    selected.setForeground(palette().brush(group, QPalette::HighlightedText));
    painter.setPen(palette().color(group, QPalette::Text));
    const int widestBefore = widest_;
    // The selection's background first, then the text over it: a line's
    // highlight never covers the descenders of the line above.
    for (int pass = 0; pass < 2; ++pass) {
        for (qsizetype i = top; i <= last; ++i) {
            const qsizetype start = Start(i);
            const qsizetype end = LineEnd(i);
            const LineLayout& layout = Layout(i);
            const qsizetype from = std::max(selectionStart(), start);
            const qsizetype to = std::min(selectionEnd(), end);
            const int y = kMargin + static_cast<int>(i - top) * height;
            if (pass == 0) {
                widest_ = std::max(widest_, layout.Width());
                const bool lineBreak = selectionStart() <= end && selectionEnd() > end;
                if (from < to || lineBreak) {
                    const int x = left + static_cast<int>(layout.XOf(from - start));
                    const int right = left + static_cast<int>(layout.XOf(to - start)) +
                                      (lineBreak ? fontMetrics().averageCharWidth() : 0);
                    painter.fillRect(QRect(x, y, right - x, height), highlight);
                }
                continue;
            }
            QList<QTextLayout::FormatRange> ranges;
            if (from < to) {
                ranges.push_back({static_cast<int>(from - start), static_cast<int>(to - from), selected});
            }
            layout.Draw(painter, QPointF(left, y), ranges);
        }
    }
    if (hasFocus()) { // the box that Ctrl+A and Ctrl+C act on
        painter.setPen(QPen(highlight, 1));
        painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
    }
    if (widest_ != widestBefore) { // a line in view is wider than any before
        QMetaObject::invokeMethod(this, &LogView::UpdateScrollBars, Qt::QueuedConnection);
    }
}

void LogView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void LogView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        layouts_.clear();
        widest_ = 0;
        longestMeasured_ = 0;
        Measure(0);
        UpdateScrollBars();
    }
}

void LogView::scrollContentsBy(int, int)
{
    log_.ScrollTo(static_cast<std::size_t>(std::max(0, verticalScrollBar()->value())));
    viewport()->update();
}

void LogView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LogView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event == QKeySequence::MoveToStartOfDocument || event->key() == Qt::Key_Home) {
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    } else if (event == QKeySequence::MoveToEndOfDocument || event->key() == Qt::Key_End) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        horizontalScrollBar()->setValue(0);
    } else {
        QAbstractScrollArea::keyPressEvent(event); // arrows and pages scroll
        return;
    }
    event->accept();
}

void LogView::SelectTo(QPoint point, bool extend)
{
    const qsizetype offset = offsetAt(point);
    setSelection(extend ? static_cast<qsizetype>(log_.Anchor()) : offset, offset);
}

void LogView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    selecting_ = true;
    const QPoint point = event->position().toPoint();
    if (lastDoubleClick_.isValid() && lastDoubleClick_.elapsed() < QApplication::doubleClickInterval() &&
        (point - doubleClickAt_).manhattanLength() < QApplication::startDragDistance()) {
        // A third click takes the whole line.
        lastDoubleClick_.invalidate();
        const qsizetype index = LineOf(offsetAt(point));
        setSelection(Start(index), LineEnd(index));
        selecting_ = false;
        return;
    }
    SelectTo(point, event->modifiers().testFlag(Qt::ShiftModifier));
}

void LogView::mouseMoveEvent(QMouseEvent* event)
{
    if (!selecting_) {
        return;
    }
    dragAt_ = event->position().toPoint();
    if (viewport()->rect().contains(dragAt_)) {
        dragScroll_.stop();
    } else if (!dragScroll_.isActive()) {
        dragScroll_.start(50, this); // held past an edge: keeps scrolling that way
    }
    SelectTo(dragAt_, true);
}

void LogView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != dragScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    if (!selecting_) {
        dragScroll_.stop();
        return;
    }
    if (dragAt_.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (dragAt_.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    if (dragAt_.x() < 0) {
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (dragAt_.x() > viewport()->width()) {
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    SelectTo(dragAt_, true);
}

void LogView::mouseReleaseEvent(QMouseEvent* event)
{
    selecting_ = false;
    dragScroll_.stop();
    if (event->button() == Qt::LeftButton && selectionStart() < selectionEnd() &&
        QApplication::clipboard()->supportsSelection()) {
        QApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
    }
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // The word under the pointer, as the model takes it: a path comes whole.
    const auto [from, to] = log_.WordAt(static_cast<std::size_t>(offsetAt(event->position().toPoint())));
    setSelection(static_cast<qsizetype>(from), static_cast<qsizetype>(to));
    lastDoubleClick_.start();
    doubleClickAt_ = event->position().toPoint();
}

void LogView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(selectionStart() < selectionEnd());
    QAction* all = menu.addAction(tr("Select All"), this, &LogView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!log_.Text().empty());
    menu.exec(event->globalPos());
}

} // namespace archive
