// Menus, toolbar and the commands behind them, built from the core's command
// table and enabled as the core's command state says.
#include "gui/main_window.h"

#include "commands/command_table.h"
#include "commands/exit_command.h"
#include "commands/open_command.h"
#include "commands/output_folder.h"
#include "gui/window_parts.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <map>

namespace archive {

namespace {

QString Text(std::string_view utf8)
{
    return TableText(utf8);
}

} // namespace

void MainWindow::BuildMenus()
{
    std::map<std::string_view, QMenu*> menus;
    for (const std::string_view title : MenuTitles()) {
        menus[title] = menuBar()->addMenu(Text(title));
    }
    for (const CommandSpec& tableRow : CommandTable()) {
        QAction* action = nullptr;
        if (!tableRow.menu.empty()) {
            action = menus[tableRow.menu]->addAction(Text(tableRow.text));
        } else {
            action = new QAction(this); // a toolbar button's: BuildToolbar shows it
        }
        action->setCheckable(tableRow.checkable);
        if (!tableRow.shortcut.empty()) {
            action->setShortcut(QKeySequence(Text(tableRow.shortcut)));
        }
        actions_[static_cast<std::size_t>(tableRow.id)] = action;
    }
    // The tableRow's names, by which tests and assistive tools find them.
    action(CommandId::Open)->setObjectName("mnuFileOpen");
    action(CommandId::ExtractTo)->setObjectName("mnuFileExtractTo");
    action(CommandId::TestArchive)->setObjectName("mnuFileTest");
    action(CommandId::OpenOutputFolder)->setObjectName("mnuFileOpenOutput");
    action(CommandId::Exit)->setObjectName("mnuFileExit");
    action(CommandId::Details)->setObjectName("mnuViewDetails");
    action(CommandId::CatalogueOrder)->setObjectName("mnuViewCatalogueOrder");
    action(CommandId::Filter)->setObjectName("mnuViewFilter");
    action(CommandId::Preview)->setObjectName("mnuViewPreview");
    action(CommandId::DebugToFile)->setObjectName("mnuOptionsDebugToFile");
    action(CommandId::About)->setObjectName("mnuHelpAbout");

    connect(action(CommandId::Open), &QAction::triggered, this, &MainWindow::mnuFileOpen_Click);
    connect(action(CommandId::ExtractTo), &QAction::triggered, this, &MainWindow::ExtractTo);
    connect(action(CommandId::TestArchive), &QAction::triggered, this, &MainWindow::TestArchive);
    connect(action(CommandId::OpenOutputFolder), &QAction::triggered, this, &MainWindow::OpenOutputFolder);
    connect(action(CommandId::Exit), &QAction::triggered, this, &MainWindow::mnuFileExit_Click);
    action(CommandId::Details)->setChecked(true);
    connect(action(CommandId::Details), &QAction::toggled, this, &MainWindow::SetDetailsShown);
    connect(action(CommandId::CatalogueOrder), &QAction::triggered, this, &MainWindow::RestoreCatalogueOrder);
    connect(action(CommandId::Filter), &QAction::triggered, this, [this] {
        filterBox_->setFocus(Qt::ShortcutFocusReason);
        filterBox_->selectAll();
    });
    connect(action(CommandId::Preview), &QAction::triggered, this,
            [this] { PreviewNode(NodeOfView(tree_->currentIndex())); });
    action(CommandId::Preview)
        ->setShortcutContext(Qt::WidgetShortcut); // Space belongs to the tree: the filter box types it
    connect(action(CommandId::DebugToFile), &QAction::triggered, this, [this] {
        frm_.mnuOptionsDebugToFile_Click();
        action(CommandId::DebugToFile)->setChecked(frm_.DebugToFile);
    });
    connect(action(CommandId::About), &QAction::triggered, this, &MainWindow::mnuHelpAbout_Click);
}

void MainWindow::BuildToolbar(QWidget* client)
{
    toolbar_ = new QToolBar(client);
    toolbar_->setObjectName("Toolbar1");
    toolbar_->setAccessibleName(Text(kToolbarAccessibleName));
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setGeometry(0, 0, Pixels(9495), Pixels(660));
    for (int position = 1; position <= 6; ++position) {
        const CommandSpec* tableRow = ToolbarCommand(position);
        if (tableRow == nullptr) {
            buttons_[static_cast<std::size_t>(position)] = toolbar_->addSeparator();
            continue;
        }
        const QString key = Text(tableRow->key);
        QAction* button = action(tableRow->id);
        button->setIcon(QIcon(":/icons/" + key + ".svg"));
        // The text is the button's name for a screen reader; the toolbar shows the image only.
        button->setText(Text(tableRow->accessibleName));
        button->setObjectName(key);
        button->setData(key);
        button->setToolTip(Text(tableRow->tooltip));
        connect(button, &QAction::triggered, this, [this, key] { ToolbarClick(key); });
        toolbar_->addAction(button);
        if (QWidget* widget = toolbar_->widgetForAction(button)) {
            widget->setAccessibleName(Text(tableRow->accessibleName));
        }
        buttons_[static_cast<std::size_t>(position)] = button;
    }
    BuildFilterBox();
}

void MainWindow::RefreshCommands(std::optional<RunningCommand> running)
{
    CommandContext context = ContextOf(frm_);
    if (running) {
        context.running = *running;
    }
    for (const CommandSpec& tableRow : CommandTable()) {
        QAction* command = action(tableRow.id);
        const CommandState state = StateOf(tableRow.id, context);
        command->setEnabled(state.enabled);
        const QString name =
            tableRow.tooltip.empty() ? QString(Text(tableRow.accessibleName)) : Text(tableRow.tooltip);
        // A disabled command says why, in its tooltip and on the status line as the pointer passes.
        const QString tip = state.enabled ? name : name + "\n" + Text(state.reason);
        command->setToolTip(tip);
        command->setStatusTip(state.enabled ? QString() : Text(state.reason));
        if (QWidget* widget = toolbar_ != nullptr ? toolbar_->widgetForAction(command) : nullptr) {
            widget->setAccessibleDescription(state.enabled ? QString() : Text(state.reason));
        }
    }
    action(CommandId::CatalogueOrder)
        ->setEnabled(action(CommandId::CatalogueOrder)->isEnabled() &&
                     action(CommandId::Details)->isChecked());
}

void MainWindow::mnuFileOpen_Click()
{
    archive::mnuFileOpen_Click(frm_, *dialog_, dialogState_);
    ShowOutputFolder();
    AfterCommand();
}

void MainWindow::OpenFile(const QString& path)
{
    FlushPending();
    OpenNamedFile(frm_, dialogState_, QFileInfo(path).absoluteFilePath().toUtf8().toStdString());
    ShowOutputFolder();
    AfterCommand();
}

void MainWindow::ToolbarClick(const QString& key)
{
    if (CommandRunning(frm_)) {
        return; // one command at a time, however it was asked for
    }
    const bool extractAll = key == "SaveAll";
    if (extractAll) {
        RefreshCommands(
            RunningCommand::Extraction); // ExtractAll lets events run: nothing may change what it reads
        pending_.CommandStarts();
    }
    // Save Selected with several items selected saves each selected file; the
    // core acts only on what the filter shows.
    std::vector<int> selected;
    if (key == "SaveSelected") {
        if (std::vector<int> nodes = SelectedNodes(); nodes.size() > 1) {
            selected = std::move(nodes);
        }
    }
    ToolbarButtonClick(frm_, *dialog_, dialogState_, key.toStdString(), selected, proxy_->Kept());
    ShowOutputFolder();
    AfterCommand();
}

void MainWindow::mnuFileExit_Click()
{
    if (previewWindow_) {
        previewWindow_->Cancel(); // a preview's read stops at once, not between two entries
    }
    if (archive::mnuFileExit_Click(frm_)) {
        close();
    }
    // Otherwise the running command stops between two entries and the window closes after it.
}

void MainWindow::mnuHelpAbout_Click()
{
    if (!aboutDialog_) {
        aboutDialog_ = new AboutDialog(*registry_);
    }
    aboutDialog_->show();
    aboutDialog_->raise();
    aboutDialog_->activateWindow();
}

void MainWindow::ShowOutputFolder()
{
    status_->setToolTip("Save Selected and Save All write below " + HostText(ToolbarOutputRoot(frm_)));
    if (frm_.LastOutputFolder.empty()) {
        openFolder_->setVisible(false);
    } else {
        openFolder_->setToolTip("Open " + HostText(frm_.LastOutputFolder));
        openFolder_->setVisible(true);
    }
}

void MainWindow::OpenOutputFolder()
{
    folderOpener(HostText(OutputFolderToOpen(frm_)));
}

void MainWindow::BuildStatusBar()
{
    status_ = new QLabel(this);
    status_->setObjectName("StatusBar1");
    status_->setAccessibleName(Text(kStatusAccessibleName));
    statusBar()->addWidget(status_, 1);
    openFolder_ = new QToolButton(this);
    openFolder_->setObjectName("openFolder");
    openFolder_->setText("Open Folder");
    openFolder_->setAccessibleName(Text(SpecOf(CommandId::OpenOutputFolder).accessibleName));
    openFolder_->setAutoRaise(true);
    openFolder_->setVisible(false);
    connect(openFolder_, &QToolButton::clicked, this, &MainWindow::OpenOutputFolder);
    statusBar()->addPermanentWidget(openFolder_);
    statusBar()->setSizeGripEnabled(true);
}

} // namespace archive
