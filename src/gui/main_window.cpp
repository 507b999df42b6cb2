// The main window: its parts put together, and the Widgets the core draws through.
#include "gui/main_window.h"

#include "commands/exit_command.h"
#include "commands/open_command.h"
#include "gui/window_parts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace archive {

MainWindow::MainWindow(std::unique_ptr<OpenFileDialog> dialog, std::unique_ptr<RegistryAndLauncher> registry)
    : dialog_(dialog ? std::move(dialog) : std::make_unique<QtOpenFileDialog>(this)),
      registry_(registry ? std::move(registry) : MakeSystemRegistry())
{
    messageSink = [this](const QString& text) {
        QMessageBox::information(this, DisplayText(kApplicationTitle), text);
    };
    destinationChooser = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, "Extract To", start);
    };
    folderOpener = [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
    existingChooser = [this](const ExistingFile& file) { return AskAboutExisting(this, file); };
    frm_.DecimalSeparator = QLocale().decimalPoint().toUtf8().toStdString();
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));

    auto* client = new QWidget(this);
    setCentralWidget(client);
    BuildMenus();
    BuildToolbar(client);
    BuildTree(client);
    BuildLogAndProgress(client);
    BuildStatusBar();

    tree_->setFocus(); // first in the tab order
    setTabOrder(tree_, log_);
    setTabOrder(log_, toolbar_);
    setTabOrder(toolbar_, filterBox_);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(ViewBatch::kInterval);
    connect(&flushTimer_, &QTimer::timeout, this, &MainWindow::FlushPending);

    frm_.Form_Load();
    setWindowTitle(DisplayText(frm_.Title()));
    ShowOutputFolder();
    RefreshCommands();
    FlushPending();
    SizeFirstWindow();
}

MainWindow::~MainWindow()
{
    flushTimer_.stop();
    // A read under way holds the running state in frm_, which goes before the preview does.
    if (previewWindow_) {
        previewWindow_->readingEnded = nullptr;
        previewWindow_->Cancel();
    }
    // Hidden while frm_ still holds the catalogue: ~QWidget would hide a shown
    // window after our members are gone, and hiding lays out the header views,
    // which ask the model for the tree's rows.
    hide();
}

void MainWindow::AfterCommand()
{
    RefreshCommands();
    FlushPending();
    if (TakePendingClose(frm_)) {
        close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (previewWindow_) {
        previewWindow_->Cancel(); // a preview's read stops at once: it never holds the window open
    }
    if (!Form_QueryUnload(frm_)) {
        event->ignore(); // the running command stops between two entries; then the window closes
        return;
    }
    // Nothing of ours outlives the window: a preview of this archive closes with it.
    if (previewWindow_) {
        previewWindow_->close();
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::ScheduleFlush()
{
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void MainWindow::FlushPending()
{
    flushTimer_.stop();
    if (!pending_.Pending()) {
        return;
    }
    ViewBatch::Changes changes = pending_.Take(ViewBatch::Clock::now());
    if (changes.clearLog) {
        log_->clear();
    }
    if (!changes.log.empty()) {
        log_->appendText(QStringView(changes.log.data(), static_cast<qsizetype>(changes.log.size())));
    }
    if (changes.status) {
        status_->setText(changes.statusIsHostText ? TableText(*changes.status)
                                                  : DisplayText(*changes.status));
    }
    if (changes.progress) {
        const int minimum = static_cast<int>(changes.progress->minimum);
        const int maximum = std::max(minimum, static_cast<int>(changes.progress->maximum));
        // A new value would repaint the bar at once; it waits for the event loop like the rest.
        progress_->setUpdatesEnabled(false);
        progress_->setRange(minimum, maximum);
        progress_->setValue(std::clamp(static_cast<int>(changes.progress->value), minimum, maximum));
        progress_->setUpdatesEnabled(true);
    }
}

void MainWindow::SetButtonEnabled(int, bool)
{
    // The loaders' calls agree with the catalogue they leave; the command
    // state decides from that catalogue and from what runs.
    RefreshCommands();
}

void MainWindow::ShowMessage(std::string_view utf8)
{
    FlushPending();
    messageSink(TableText(utf8));
}

void MainWindow::DoEvents()
{
    // The command asks after every folder; what waits is shown on the clock,
    // and the event loop runs when the last turn is a millisecond old.
    const ViewBatch::Clock::time_point now = ViewBatch::Clock::now();
    if (pending_.Due(now)) {
        FlushPending();
    }
    if (pending_.TurnDue(now)) {
        QCoreApplication::processEvents();
    }
}

} // namespace archive
