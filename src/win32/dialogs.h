#pragma once

#include "commands/extract_to.h"
#include "extract/job.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace archive::win32 {

// The system's folder picker (IFileOpenDialog choosing folders; the older
// folder browser where that is missing), starting at `start`. Empty when cancelled.
std::filesystem::path ChooseFolder(HWND owner, const std::wstring& title, const std::filesystem::path& start);

// Asks what to do about a file an extraction would replace: Replace, Skip or
// Keep Both, and whether for all the other files too (a task dialog).
ExistingAnswer AskAboutExisting(HWND owner, const ExistingFile& file);

// Shows a folder in Explorer.
void OpenInExplorer(const std::filesystem::path& folder);

// The progress dialog of a job: what it has done in files and megabytes, the
// entry just done, a bar, and Cancel (also Escape and its close box). It is
// owned by the main window, which stays disabled while it is up.
class JobDialog {
  public:
    JobDialog(HWND owner, const std::wstring& title, UINT dpi);
    ~JobDialog();
    JobDialog(const JobDialog&) = delete;
    JobDialog& operator=(const JobDialog&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND label() const { return label_; }
    HWND bar() const { return bar_; }
    // Shows the progress when JobPictureClock says so. True when it was
    // drawn (the caller then shows the log and lets messages run).
    bool Update(const JobProgress& now);
    bool Cancelled() const { return cancelled_; }
    void Cancel() { cancelled_ = true; }

    // "12 of 20 files, 1.5 of 3.0 MB" and the entry's path, as the dialog shows them.
    static std::wstring ProgressText(const JobProgress& now);

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND label_ = nullptr;
    HWND bar_ = nullptr;
    HWND cancel_ = nullptr;
    HFONT font_ = nullptr;
    bool cancelled_ = false;
    JobPictureClock pictures_;
};

} // namespace archive::win32
