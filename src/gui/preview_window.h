#pragma once

#include "commands/command_state.h"
#include "commands/entry_preview.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;

namespace archive {

// Shows one entry: as an image when Qt can read it, as text (Windows-1252,
// the first MiB) when it reads as text, as a hex dump otherwise; a damaged
// entry shows why instead. Modeless; the window keeps one and reuses it.
// An entry is read a piece per event-loop turn, so the windows stay live while
// it is read; hiding or closing the preview drops the read.
class PreviewWindow : public QDialog {
    Q_OBJECT
  public:
    enum class Shown { Problem, Image, Text, Hex, Reading };

    explicit PreviewWindow(QWidget* parent = nullptr);
    ~PreviewWindow() override;
    void Show(const EntryPreview& preview);
    // Reads the entry through `fetch` and shows it once read; `running` keeps
    // the window's one running state for as long as the read lasts. A read
    // under way is dropped first. A short entry shows at once.
    void Start(std::unique_ptr<PreviewFetch> fetch, std::unique_ptr<RunningScope> running,
               const std::string& name);
    // Drops a read under way; nothing is shown of it.
    void Cancel();
    bool reading() const { return fetch_ != nullptr; }
    // Called when a read ends, shown or dropped: the window's commands change.
    std::function<void()> readingEnded;

    Shown shown() const { return shown_; }
    QLabel* summary() const { return summary_; }
    QPlainTextEdit* textView() const { return text_; }
    QLabel* imageView() const { return image_; }

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void StepFetch();
    void EndFetch();

    // Text shown at once; the rest follows a part per event-loop turn.
    static constexpr qsizetype kFirstPart = 64 * 1024;
    void AppendRest();

    std::unique_ptr<PreviewFetch> fetch_;
    std::unique_ptr<RunningScope> running_;
    QTimer stepTimer_;
    QString readingName_;
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
