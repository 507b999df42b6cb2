// Drag and drop: archives dropped on the window open; nodes dragged out of
// the tree are extracted first and handed over as files.
#include "gui/main_window.h"

#include "commands/drag_extract.h"
#include "gui/window_parts.h"

#include <QCoreApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressDialog>
#include <QUrl>

#include <algorithm>

namespace archive {

namespace {

// The one local file a drop carries, or nothing.
QString DroppedFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1 ||
        !mime->urls().first().isLocalFile()) {
        return {};
    }
    return mime->urls().first().toLocalFile();
}

// A drag bigger than this shows its progress while the files are extracted.
constexpr std::int64_t kQuietDragBytes = 16 << 20;
constexpr int kQuietDragFiles = 200;

} // namespace

QStringList MainWindow::ExtractForDragOut(const std::vector<int>& nodes)
{
    QStringList handed = ExtractDragged(nodes);
    AfterCommand();
    return handed;
}

QStringList MainWindow::ExtractDragged(const std::vector<int>& nodes)
{
    // The drag's extraction walks the tree and lets events run: it takes part in
    // the one running state, so no open (Ctrl+O, a drop) frees the tree under it.
    const RunningScope dragging(frm_, RunningCommand::DragOut);
    if (!dragging.Started()) {
        return {};
    }
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/archive-tool-drag-XXXXXX");
    if (!folder->isValid()) {
        ShowMessage("Cannot make a temporary folder for the dragged files: " +
                    folder->errorString().toStdString());
        return {};
    }
    RefreshCommands();
    const DragPlanSize size = MeasureDrag(frm_, nodes);
    QProgressDialog progress("Extracting the dragged files...", "Cancel", 0, std::max(size.files, 1), this);
    progress.setObjectName("dragDialog");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(size.bytes > kQuietDragBytes || size.files > kQuietDragFiles ? 0 : 1000000);
    const DragExtractReport report = ExtractForDrag(
        frm_, nodes, std::filesystem::path(folder->path().toStdString()),
        [this, &progress](int files, std::int64_t) {
            progress.setValue(files);
            if (dragProgressHook) {
                dragProgressHook(files);
            }
            QCoreApplication::processEvents();
            // Exit and the close box stop it between two entries, as Cancel does.
            return !progress.wasCanceled() && frm_.PendingClose == FrmBig::CloseRequest::None;
        },
        existingChooser);
    progress.reset();
    for (const std::string& failure : report.failures) {
        frm_.ReportFailure("Error: " + failure);
    }
    if (report.cancelled) {
        frm_.sText(frm_.PendingClose != FrmBig::CloseRequest::None ? "Drag stopped: the window is closing"
                                                                   : "Drag cancelled");
        return {};
    }
    QStringList handed;
    for (const std::filesystem::path& path : report.handed) {
        handed << QString::fromStdString(path.string());
    }
    dragFolders_.push_back(std::move(folder));
    return handed;
}

void MainWindow::StartDragOut(Qt::DropActions)
{
    if (!frm_.SgaCatalogueShown() || CommandRunning(frm_)) {
        return; // RBF entries cannot be extracted
    }
    const QStringList files = ExtractForDragOut(SelectedNodes());
    if (files.isEmpty() || !isVisible()) {
        return;
    }
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(file);
    }
    mime->setUrls(urls);
    auto* drag = new QDrag(tree_);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == nullptr && !DroppedFile(event->mimeData()).isEmpty() && !CommandRunning(frm_)) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString file = DroppedFile(event->mimeData());
    if (event->source() != nullptr || file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop has returned, so the program that gave the file is not kept waiting.
    QTimer::singleShot(0, this, [this, file] { OpenFile(file); });
}

} // namespace archive
