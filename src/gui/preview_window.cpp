#include "gui/preview_window.h"

#include "gui/catalogue_model.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

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
    const QString size = QLocale().toString(static_cast<qulonglong>(preview.content.size()));
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
        const bool cut = preview.content.size() > kPreviewTextLimit;
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
        summary_->setText(QString("%1: %2 bytes").arg(name, size));
        text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        text_->setPlainText(QString::fromLatin1(HexDump(preview.content.AsText(), kPreviewHexLimit)));
        pages_->setCurrentWidget(text_);
    }
    show();
    raise();
    activateWindow();
}

} // namespace archive
