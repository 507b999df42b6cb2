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
        control.existing = existingChooser;
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
    const ExtractToChoice choice = ExtractToNodes(frm_.tree(), SelectedNodes(), kept_);
    if (!choice.nothing.empty()) {
        frm_.sText(choice.nothing);
        FlushPending();
        return;
    }
    const std::vector<int>& nodes = choice.nodes;
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
        UpdateCommands(); // Open Output Folder shows it now
    }
}

void MainWindow::TestArchive()
{
    RunJob(L"Testing", [&](const JobControl& control) { TestArchiveJob(frm_).Run(control); });
}

// A large drag shows its extraction's progress, with Cancel; the dialog goes
// once the files are there, before the system's drag and drop takes the mouse.
void MainWindow::DragOut()
{
    const std::vector<int> nodes = list_.SelectedNodes();
    if (nodes.empty() || Busy()) {
        return;
    }
    std::unique_ptr<JobDialog> dialog;
    if (DragOutShowsProgress(MeasureDrag(frm_, nodes))) {
        dialog = std::make_unique<JobDialog>(hwnd_, L"Preparing the dragged files", scale_.dpi);
        job_ = dialog.get();
    }
    JobControl control;
    control.progress = [&](const JobProgress& now) {
        if (jobProgressHook) {
            jobProgressHook(now);
        }
        if (dialog && dialog->Update(now)) {
            FlushPending();
            Pump();
        }
        if (dialog && now.files == now.totalFiles) {
            job_ = nullptr;
            dialog.reset();
        }
    };
    control.cancelled = [&] {
        return (dialog && dialog->Cancelled()) || frm_.PendingClose != FrmBig::CloseRequest::None;
    };
    control.existing = existingChooser;
    StartDragOut(hwnd_, frm_, nodes, dragFolders_, control);
    job_ = nullptr;
    dialog.reset();
    UpdateCommands();
    FlushPending();
    CloseIfAsked();
}

void MainWindow::OpenOutputFolder()
{
    folderOpener(OutputFolderToOpen(frm_));
}

} // namespace archive::win32
