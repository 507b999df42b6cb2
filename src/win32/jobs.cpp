// The jobs the window runs under a progress dialog: Extract To and Test
// Archive; and where their files are shown afterwards.
#include "win32/main_window.h"

#include "commands/extract_to.h"
#include "win32/dialogs.h"

namespace archive::win32 {

HWND MainWindow::jobDialog() const
{
    return job_ ? job_->hwnd() : nullptr;
}

void MainWindow::RunJob(const std::wstring& title, const std::function<void(const JobControl&)>& job)
{
    FlushPending();
    {
        JobDialog dialog(hwnd_, title, scale_.dpi);
        job_ = &dialog;
        UpdateCommands();
        pending_.CommandStarts();
        JobControl control;
        control.progress = [&](const JobProgress& now) {
            if (jobProgressHook) {
                jobProgressHook(now);
            }
            if (dialog.Update(now)) {
                FlushPending();
                Pump();
            }
        };
        // Exit and the close box stop the job between two entries too.
        control.cancelled = [&] {
            return dialog.Cancelled() || frm_.PendingClose != FrmBig::CloseRequest::None;
        };
        job(control);
        job_ = nullptr;
    }
    UpdateCommands();
    FlushPending();
}

void MainWindow::ExtractTo()
{
    const std::vector<int> nodes = SelectedNodes();
    const std::filesystem::path start = ArchiveFolder(frm_);
    const std::filesystem::path chosen = destinationChooser(start);
    if (chosen.empty() || closed_) {
        return;
    }
    SetDestination where;
    where.folder = chosen;
    SetReport report;
    RunJob(L"Extracting",
           [&](const JobControl& control) { report = ExtractToJob(frm_, nodes, where).Run(control); });
    if (!report.refused) {
        lastOutput_ = report.destination;
    }
}

void MainWindow::TestArchive()
{
    RunJob(L"Testing", [&](const JobControl& control) { TestArchiveJob(frm_).Run(control); });
}

// The folder the last extraction wrote to (Extract To's destination, or the
// toolbar commands' ".\data"); before any, the toolbar commands' output root.
void MainWindow::OpenOutputFolder()
{
    std::error_code error;
    const std::filesystem::path data = frm_.OutputBase / "data";
    const std::filesystem::path folder =
        !lastOutput_.empty() && std::filesystem::is_directory(lastOutput_, error) ? lastOutput_
        : std::filesystem::is_directory(data, error)                              ? data
                                                                                  : frm_.OutputBase;
    folderOpener(std::filesystem::absolute(folder, error).lexically_normal());
}

} // namespace archive::win32
