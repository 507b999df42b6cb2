// The jobs the window runs under a progress dialog: Extract To and Test
// Archive; and where their files are shown afterwards.
#include "win32/main_window.h"

#include "commands/extract_to.h"
#include "commands/output_folder.h"
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
        const RunningScope running(frm_, RunningCommand::Job);
        if (!running.Started()) {
            return;
        }
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
    if (!report.refused && report.written > 0) {
        NoteOutputWritten(frm_, report.destination);
    }
}

void MainWindow::TestArchive()
{
    RunJob(L"Testing", [&](const JobControl& control) { TestArchiveJob(frm_).Run(control); });
}

void MainWindow::OpenOutputFolder()
{
    folderOpener(OutputFolderToOpen(frm_));
}

} // namespace archive::win32
