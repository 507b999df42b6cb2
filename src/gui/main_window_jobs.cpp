// The dialogs: the open dialog, and the jobs (Extract To, Test Archive) under
// a progress dialog with counts, bytes and Cancel.
#include "gui/main_window.h"

#include "commands/output_folder.h"
#include "gui/window_parts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace archive {

bool QtOpenFileDialog::Show(DialogState& state)
{
    QFileDialog dialog(parent_, DisplayText(state.title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // the named file need not exist
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const std::string& filter : NameFiltersFromFilter(state.filter)) {
        filters << DisplayText(filter);
    }
    dialog.setNameFilters(filters);
    if (state.filterIndex >= 1 && state.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[state.filterIndex - 1]);
    }
    if (!state.fileName.empty()) {
        dialog.selectFile(QString::fromUtf8(state.fileName.c_str()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    state.fileName = dialog.selectedFiles().first().toUtf8().toStdString();
    const int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    state.filterIndex = chosen >= 0 ? chosen + 1 : state.filterIndex;
    return true;
}

ExistingAnswer AskAboutExisting(QWidget* parent, const ExistingFile& file)
{
    QMessageBox box(
        QMessageBox::Question, "File Exists",
        QString("A file of this name is already there:\n%1\n\nReplace it with %2 from the archive "
                "(%3 bytes)?")
            .arg(HostText(file.target), DisplayText(file.path))
            .arg(file.size),
        QMessageBox::NoButton, parent);
    box.setObjectName("existingDialog");
    QPushButton* replace = box.addButton("&Replace", QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton("&Skip", QMessageBox::RejectRole);
    QPushButton* keepBoth = box.addButton("&Keep Both", QMessageBox::ActionRole);
    box.setDefaultButton(replace);
    box.setEscapeButton(skip);
    auto* forAll = new QCheckBox("Do this for &all the other files");
    box.setCheckBox(forAll);
    box.exec();
    ExistingAnswer answer;
    answer.choice = box.clickedButton() == replace    ? ExistingChoice::Replace
                    : box.clickedButton() == keepBoth ? ExistingChoice::KeepBoth
                                                      : ExistingChoice::Skip;
    answer.forAll = forAll->isChecked();
    (void)skip;
    return answer;
}

void MainWindow::RunJob(const QString& title, const std::function<void(const JobControl&)>& job)
{
    QProgressDialog dialog(title, "Cancel", 0, 1000, this);
    dialog.setObjectName("jobDialog");
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumWidth(420);
    jobDialog_ = &dialog;
    JobPictureClock pictures;
    JobControl control;
    control.progress = [&](const JobProgress& now) {
        if (jobProgressHook) {
            jobProgressHook(now);
        }
        if (!pictures.Due(now)) {
            return;
        }
        dialog.setLabelText(QString::fromStdString(JobProgressText(now)) + "\n" + DisplayText(now.current));
        dialog.setValue(JobProgressPermille(now));
        FlushPending();
        QCoreApplication::processEvents();
    };
    control.cancelled = [&dialog] { return dialog.wasCanceled(); };
    control.existing = existingChooser;
    {
        // From the first entry to the last the job is the one running command:
        // no open, no other job, and the window closes only once it has stopped.
        const RunningScope running(frm_, RunningCommand::Job);
        if (running.Started()) {
            RefreshCommands();
            job(control);
        }
    }
    jobDialog_ = nullptr;
    AfterCommand();
}

void MainWindow::ExtractTo()
{
    if (CommandRunning(frm_) || !extractToAction()->isEnabled()) {
        return;
    }
    const ExtractToChoice choice = ExtractToNodes(frm_.tree(), SelectedNodes(), proxy_->Kept());
    if (!choice.nothing.empty()) {
        frm_.sText(choice.nothing);
        FlushPending();
        return;
    }
    const std::vector<int>& nodes = choice.nodes;
    const QString chosen = destinationChooser(HostText(ArchiveFolder(frm_)));
    if (chosen.isEmpty()) {
        return;
    }
    SetDestination where;
    where.folder = PathFromUtf8(chosen.toStdString());
    SetReport report;
    RunJob("Extracting",
           [&](const JobControl& control) { report = ExtractToJob(frm_, nodes, where).Run(control); });
    if (report.written > 0) {
        NoteOutputWritten(frm_, report.destination);
    }
    ShowOutputFolder();
}

void MainWindow::TestArchive()
{
    if (CommandRunning(frm_) || !testAction()->isEnabled()) {
        return;
    }
    RunJob("Testing", [&](const JobControl& control) { TestArchiveJob(frm_).Run(control); });
}

} // namespace archive
