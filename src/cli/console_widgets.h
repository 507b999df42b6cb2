#pragma once

#include "window/widgets.h"

#include <chrono>
#include <cstdio>

namespace archive {

// The window on a console: log lines to standard output (when echoing),
// failure lines and message boxes to standard error, and a progress bar on
// standard error when it is a terminal.
class ConsoleWidgets : public Widgets {
  public:
    ConsoleWidgets(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}
    ~ConsoleWidgets() override { EndProgress(); }

    void SetEcho(bool echo) { echo_ = echo; }
    void SetShowProgress(bool show) { showProgress_ = show; }
    void EndProgress();

    void ClearLog() override {}
    void AppendLog(std::string_view text, LogKind kind) override;
    void SetProgressMinimum(float value) override { minimum_ = value; }
    void SetProgressMaximum(float value) override { maximum_ = value; }
    void SetProgressValue(float value) override;
    void SetStatusText(std::string_view) override {}
    void SetStatusHostText(std::string_view) override {}
    void SetButtonEnabled(int, bool) override {}
    void ShowMessage(std::string_view utf8) override;
    void DoEvents() override {}
    void TreeAboutToChange() override {}
    void TreeChanged() override {}
    void SetTreeAppearance(int, int, int) override {}

  private:
    void Write(std::FILE* stream, std::string_view text);

    std::FILE* out_;
    std::FILE* err_;
    bool echo_ = false;
    bool showProgress_ = false;
    bool progressDrawn_ = false;
    float minimum_ = 0;
    float maximum_ = 100;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

// Whether `stream` is a terminal a progress bar may be drawn on (on Windows
// a console, not the NUL device).
bool IsTerminal(std::FILE* stream);

// One console line of archive text: Windows-1252 to UTF-8, its CR LF end to
// LF, every other control character escaped as \xHH.
std::string ConsoleText(std::string_view text);

} // namespace archive
