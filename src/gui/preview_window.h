#pragma once

#include "commands/entry_preview.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;

namespace archive {

// Shows one entry: as an image when Qt can read it, as text (Windows-1252,
// the first MiB) when it reads as text, as a hex dump otherwise; a damaged
// entry shows why instead. Modeless; the window keeps one and reuses it.
class PreviewWindow : public QDialog {
    Q_OBJECT
  public:
    enum class Shown { Problem, Image, Text, Hex };

    explicit PreviewWindow(QWidget* parent = nullptr);
    void Show(const EntryPreview& preview);

    Shown shown() const { return shown_; }
    QLabel* summary() const { return summary_; }
    QPlainTextEdit* textView() const { return text_; }
    QLabel* imageView() const { return image_; }

  private:
    // Text shown at once; the rest follows a part per event-loop turn.
    static constexpr qsizetype kFirstPart = 64 * 1024;
    void AppendRest();

    QString rest_;
    QLabel* summary_;
    QStackedWidget* pages_;
    QPlainTextEdit* text_;
    QScrollArea* imageArea_;
    QLabel* image_;
    QLabel* problem_;
    Shown shown_ = Shown::Problem;
};

} // namespace archive
