#include "gui/preview_window.h"

#include "gui/catalogue_model.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHideEvent>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace archive {

namespace {

QImage ReadImage(const ByteArray& content, const QString& name)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(content.data()),
                                               static_cast<qsizetype>(content.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // Formats without a signature (TGA) are read by the name's extension;
    // when that fails, or names no image format, the content decides.
    const QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    if (QImageReader::supportedImageFormats().contains(suffix)) {
        QImageReader byName(&buffer, suffix);
        byName.setDecideFormatFromContent(false);
        if (QImage image = byName.read(); !image.isNull()) {
            return image;
        }
        buffer.seek(0);
    }
    if (LooksLikeText(content.AsText())) {
        return {}; // asking every image format about megabytes of text costs more than showing it
    }
    QImageReader byContent(&buffer);
    return byContent.read();
}

QString Bytes(std::int64_t count)
{
    return QLocale().toString(static_cast<qlonglong>(count));
}

} // namespace

PreviewWindow::PreviewWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmPreview");
    setModal(false);
    resize(640, 480);
    summary_ = new QLabel(this);
    summary_->setObjectName("lblPreviewSummary");
    summary_->setWordWrap(true);
    pages_ = new QStackedWidget(this);
    text_ = new QPlainTextEdit(pages_);
    text_->setObjectName("txtPreview");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    imageArea_ = new QScrollArea(pages_);
    image_ = new QLabel(imageArea_);
    image_->setObjectName("picPreview");
    image_->setAlignment(Qt::AlignCenter);
    imageArea_->setWidget(image_);
    imageArea_->setWidgetResizable(true);
    imageArea_->setAlignment(Qt::AlignCenter);
    problem_ = new QLabel(pages_);
    problem_->setObjectName("lblPreviewProblem");
    problem_->setWordWrap(true);
    problem_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(problem_);
    pages_->addWidget(imageArea_);
    pages_->addWidget(text_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(pages_, 1);
    stepTimer_.setInterval(0); // a piece per event-loop turn: input and painting run between pieces
    connect(&stepTimer_, &QTimer::timeout, this, &PreviewWindow::StepFetch);
}

// The main window drops a read under way before it goes (Cancel): the
// running state lives in it.
PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::Start(std::unique_ptr<PreviewFetch> fetch, std::unique_ptr<RunningScope> running,
                          const std::string& name)
{
    Cancel();
    fetch_ = std::move(fetch);
    running_ = std::move(running);
    if (!fetch_->Step()) {
        EndFetch(); // a short entry shows at once
        return;
    }
    rest_.clear();
    text_->clear();
    image_->clear();
    shown_ = Shown::Reading;
    readingName_ = DisplayText(name);
    setWindowTitle("Preview - " + readingName_);
    summary_->setText(readingName_ + QString::fromUtf8(": reading\u2026"));
    problem_->setText(QString::fromUtf8("Reading\u2026"));
    pages_->setCurrentWidget(problem_);
    show();
    raise();
    activateWindow();
    stepTimer_.start();
}

void PreviewWindow::StepFetch()
{
    if (!fetch_) {
        stepTimer_.stop();
        return;
    }
    if (!fetch_->Step()) {
        EndFetch();
        return;
    }
    const std::int64_t total = std::max<std::int64_t>(fetch_->Total(), 1);
    summary_->setText(readingName_ +
                      QString::fromUtf8(": reading\u2026 %1%").arg(fetch_->Done() * 100 / total));
}

void PreviewWindow::EndFetch()
{
    stepTimer_.stop();
    const EntryPreview preview = fetch_->Take();
    fetch_.reset();
    running_.reset();
    Show(preview);
    if (readingEnded) {
        readingEnded();
    }
}

void PreviewWindow::Cancel()
{
    stepTimer_.stop();
    if (!fetch_) {
        return;
    }
    fetch_.reset(); // closes its archive handle; nothing more is inflated
    running_.reset();
    shown_ = Shown::Problem;
    summary_->setText(readingName_);
    problem_->setText("The preview was closed before the entry was read.");
    if (readingEnded) {
        readingEnded();
    }
}

void PreviewWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        Cancel(); // closed, Escape, or hidden by the program; not minimised with its owner
    }
    QDialog::hideEvent(event);
}

void PreviewWindow::AppendRest()
{
    if (rest_.isEmpty()) {
        return;
    }
    const qsizetype cut = rest_.size() <= kFirstPart ? rest_.size() : rest_.lastIndexOf('\n', kFirstPart) + 1;
    const qsizetype part = cut > 0 ? cut : std::min<qsizetype>(rest_.size(), kFirstPart);
    QTextCursor end(text_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(rest_.left(part));
    rest_.remove(0, part);
    if (!rest_.isEmpty()) {
        QTimer::singleShot(0, this, &PreviewWindow::AppendRest);
    }
}

void PreviewWindow::Show(const EntryPreview& preview)
{
    rest_.clear();
    const QString name = DisplayText(preview.name);
    setWindowTitle("Preview - " + name);
    // The entry's own size: a partial read holds only what the view shows.
    const std::int64_t whole = std::max(preview.size, static_cast<std::int64_t>(preview.content.size()));
    const QString size = Bytes(whole);
    text_->clear();
    image_->clear();
    if (!preview.problem.empty()) {
        shown_ = Shown::Problem;
        summary_->setText(name);
        problem_->setText(DisplayText(preview.problem));
        pages_->setCurrentWidget(problem_);
    } else if (const QImage image = ReadImage(preview.content, name); !image.isNull()) {
        shown_ = Shown::Image;
        summary_->setText(QString("%1: image, %2 x %3 pixels, %4 bytes")
                              .arg(name)
                              .arg(image.width())
                              .arg(image.height())
                              .arg(size));
        image_->setPixmap(QPixmap::fromImage(image));
        pages_->setCurrentWidget(imageArea_);
    } else if (LooksLikeText(preview.content.AsText())) {
        shown_ = Shown::Text;
        const bool cut = preview.partial || preview.content.size() > kPreviewTextLimit;
        summary_->setText(QString("%1: text, %2 bytes%3")
                              .arg(name, size, cut ? QString(", the first MiB shown") : QString()));
        text_->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
        // The first part at once, the rest of the first MiB while the user reads:
        // laying out a MiB of short lines takes the text box far longer than the inflate.
        rest_ = DisplayText(preview.content.AsText().substr(0, kPreviewTextLimit));
        const qsizetype first =
            rest_.size() <= kFirstPart ? rest_.size() : rest_.lastIndexOf('\n', kFirstPart) + 1;
        text_->setPlainText(rest_.left(first > 0 ? first : kFirstPart));
        rest_.remove(0, first > 0 ? first : kFirstPart);
        if (!rest_.isEmpty()) {
            QTimer::singleShot(0, this, &PreviewWindow::AppendRest);
        }
        pages_->setCurrentWidget(text_);
    } else {
        shown_ = Shown::Hex;
        const std::string_view content = preview.content.AsText();
        const bool cut = preview.partial || content.size() > kPreviewHexLimit;
        summary_->setText(
            QString("%1: %2 bytes%3").arg(name, size, cut ? QString(", the first 64 KiB shown") : QString()));
        text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        // The count of bytes not shown is the entry's, not that of the part read.
        std::string dump = HexDump(content.substr(0, kPreviewHexLimit), kPreviewHexLimit);
        const auto shownBytes = static_cast<std::int64_t>(std::min(content.size(), kPreviewHexLimit));
        if (whole > shownBytes) {
            dump += "... " + std::to_string(whole - shownBytes) + " more bytes not shown\n";
        }
        text_->setPlainText(QString::fromLatin1(dump));
        pages_->setCurrentWidget(text_);
    }
    show();
    raise();
    activateWindow();
}

} // namespace archive
