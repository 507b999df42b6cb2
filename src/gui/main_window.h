#pragma once

#include "about/about.h"
#include "commands/catalogue_details.h"
#include "commands/command_state.h"
#include "commands/extract_to.h"
#include "commands/open_command.h"
#include "gui/about_dialog.h"
#include "gui/catalogue_model.h"
#include "gui/log_view.h"
#include "gui/preview_window.h"
#include "window/catalogue_filter.h"
#include "window/frm_big.h"
#include "window/view_batch.h"
#include "window/widgets.h"

#include <QMainWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QToolButton;
class QLineEdit;
class QProgressBar;
class QSplitter;
class QToolBar;

namespace archive {

// The open-file dialog of the window: QFileDialog over the toolkit-free state.
class QtOpenFileDialog : public OpenFileDialog {
  public:
    explicit QtOpenFileDialog(QWidget* parent) : parent_(parent) {}
    bool Show(DialogState& state) override;

  private:
    QWidget* parent_;
};

// The catalogue tree: a drag out of it hands over extracted files, and Space
// or Enter on a node asks for its preview.
class CatalogueView : public QTreeView {
    Q_OBJECT
  public:
    using QTreeView::QTreeView;
    std::function<void(Qt::DropActions)> dragStarter;
    std::function<void()> previewRequested;
    // What the view says while it shows no row (the filter's "No matches"); empty: nothing.
    void SetEmptyText(const QString& text);
    const QString& emptyText() const { return emptyText_; }

  protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QString emptyText_;
};

// The main window frmBIG: the Qt face of the core's Widgets.
class MainWindow : public QMainWindow, public BatchedWidgets {
    Q_OBJECT
  public:
    // `dialog` and `registry` default to the real ones; tests pass fakes.
    explicit MainWindow(std::unique_ptr<OpenFileDialog> dialog = nullptr,
                        std::unique_ptr<RegistryAndLauncher> registry = nullptr);
    ~MainWindow() override;

    FrmBig& frm() { return frm_; }
    DialogState& dialogState() { return dialogState_; }
    // Where message boxes go (a modal QMessageBox unless replaced, as tests do).
    std::function<void(const QString&)> messageSink;
    // Asks for a destination folder, starting in the given one; empty when the
    // user cancels (a folder dialog unless replaced, as tests do).
    std::function<QString(const QString& start)> destinationChooser;
    // Shows a folder in the desktop's file manager (QDesktopServices unless replaced).
    std::function<void(const QString& folder)> folderOpener;
    // Called after each entry of Extract To and Test Archive (tests cancel from here).
    std::function<void(const JobProgress&)> jobProgressHook;
    // Asks what to do about a file that is already where an entry goes
    // (Replace, Skip, Keep both, and for all); a dialog unless replaced, as tests do.
    AskExisting existingChooser;
    // Called after each entry a drag-out extracts (tests act from here).
    std::function<void(int files)> dragProgressHook;

    // Widgets
    void SetButtonEnabled(int position, bool enabled) override;
    void ShowMessage(std::string_view utf8) override;
    void DoEvents() override;
    void TreeAboutToChange() override;
    void TreeChanged() override;
    void SetTreeAppearance(int lineStyle, int style, int indentation) override;

    // The resize rule for an outer size in twips; runs at the first show and every resize.
    void ApplyLayout(float width, float height);
    // Shows the log lines, status text and progress gathered since the window last showed them.
    void FlushPending();

    QTreeView* treeView() const { return tree_; }
    CatalogueProxy* proxy() const { return proxy_; }
    const CatalogueDetails& details() const { return details_; }
    QLineEdit* filterBox() const { return filterBox_; }
    QAction* detailsAction() const { return action(CommandId::Details); }
    QAction* catalogueOrderAction() const { return action(CommandId::CatalogueOrder); }
    QAction* previewAction() const { return action(CommandId::Preview); }
    PreviewWindow* previewWindow() const { return previewWindow_; }
    // The catalogue node of a view index (0 for none).
    int NodeOfView(const QModelIndex& index) const { return proxy_->NodeOf(index); }
    LogView* logBox() const { return log_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusLabel() const { return status_; }
    QToolBar* toolBar() const { return toolbar_; }
    // Toolbar buttons by position 1 to 6 (4 is the separator).
    QAction* button(int position) const { return buttons_[static_cast<std::size_t>(position)]; }
    // The action of a command of the core's table (commands/command_table.h).
    QAction* action(CommandId id) const { return actions_[static_cast<std::size_t>(id)]; }
    QAction* openAction() const { return action(CommandId::Open); }
    QAction* exitAction() const { return action(CommandId::Exit); }
    QAction* debugAction() const { return action(CommandId::DebugToFile); }
    QAction* aboutAction() const { return action(CommandId::About); }
    QAction* extractToAction() const { return action(CommandId::ExtractTo); }
    QAction* testAction() const { return action(CommandId::TestArchive); }
    QAction* openOutputAction() const { return action(CommandId::OpenOutputFolder); }
    QSplitter* splitter() const { return splitter_; }
    QToolButton* openFolderButton() const { return openFolder_; }
    QProgressDialog* jobDialog() const { return jobDialog_; }
    AboutDialog* aboutDialog() const { return aboutDialog_; }

    void mnuFileOpen_Click();
    void ToolbarClick(const QString& key);
    void mnuHelpAbout_Click();

    // The catalogue nodes selected in the tree, in the view's order (through
    // any proxy model the view shows the catalogue through).
    std::vector<int> SelectedNodes() const;
    // Extract To: the selection, or the whole archive when nothing is
    // selected, into a folder the user chooses.
    void ExtractTo();
    void TestArchive();
    // Opens the folder the last command that wrote filled (commands/output_folder.h).
    void OpenOutputFolder();
    // Exit: stops a running command between two entries, then closes the window.
    void mnuFileExit_Click();
    // The right-click menu of the tree; other features add their items to it.
    void FillTreeContextMenu(QMenu& menu);
    // Opens a file named on the command line or dropped on the window.
    void OpenFile(const QString& path);
    // Narrows the tree to the nodes whose path holds `fragment`.
    void ApplyFilter(const QString& fragment);
    // Details columns and icons, or the plain tree.
    void SetDetailsShown(bool shown);
    // Back to the catalogue's own order.
    void RestoreCatalogueOrder();
    // Shows the entry of a file node in the preview window.
    void PreviewNode(int node);
    // Extracts the nodes into a new temporary folder and returns the
    // top-level files and folders written (empty when cancelled or nothing could be).
    QStringList ExtractForDragOut(const std::vector<int>& nodes);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The close box: while a command runs it is asked to stop between two
    // entries, and the window closes once it has.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Building the window, a concern a file (main_window_*.cpp).
    void BuildMenus();
    void BuildToolbar(QWidget* client);
    void BuildFilterBox();
    void BuildTree(QWidget* client);
    void BuildLogAndProgress(QWidget* client);
    void BuildStatusBar();
    void SizeFirstWindow();

    void ScheduleFlush() override;
    // Enables each command as the core's command state says, and gives a
    // disabled one its reason as tooltip and status tip. `running` stands in
    // for the state while a command that sets none of its own is about to start.
    void RefreshCommands(std::optional<RunningCommand> running = std::nullopt);
    // After every command: the pending close, if Exit or the close box came meanwhile.
    void AfterCommand();
    // Runs a job under a progress dialog with counts, bytes and Cancel.
    void RunJob(const QString& title, const std::function<void(const JobControl&)>& job);
    void ShowColumnsForFormat();
    // Sizes the number columns to their widest texts (once per load).
    void SizeDetailsColumns();
    void StartDragOut(Qt::DropActions actions);
    QStringList ExtractDragged(const std::vector<int>& nodes);
    void ShowOutputFolder();
    // The user's expansion of the unfiltered tree, kept in the catalogue so a
    // cleared filter gives it back.
    void RememberExpansion(const QModelIndex& index, bool expanded);
    void RestoreExpansion();
    void FitNameColumn();

    FrmBig frm_{*this};
    DialogState dialogState_;
    std::unique_ptr<OpenFileDialog> dialog_;
    std::unique_ptr<RegistryAndLauncher> registry_;
    CatalogueDetails details_;
    CatalogueFilter filter_;
    bool filterIndexed_ = false;
    bool filtering_ = false; // the view's expansion is the filter's, not the user's
    CatalogueModel* model_ = nullptr;
    CatalogueProxy* proxy_ = nullptr;
    CatalogueView* tree_ = nullptr;
    QSplitter* splitter_ = nullptr;
    bool userSplit_ = false; // the user moved the splitter: resizing keeps their split
    QLineEdit* filterBox_ = nullptr;
    QPointer<PreviewWindow> previewWindow_;
    // Where dragged files were extracted; kept until the window goes, as the
    // receiving program may copy them after the drop has returned.
    std::vector<std::unique_ptr<QTemporaryDir>> dragFolders_;
    LogView* log_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::array<QAction*, 7> buttons_{};
    std::array<QAction*, 16> actions_{}; // by CommandId
    QToolButton* openFolder_ = nullptr;
    QProgressDialog* jobDialog_ = nullptr; // while a job runs
    QPointer<AboutDialog> aboutDialog_;
    QTimer nameColumnTimer_;

    // Shows what waits when no command lets events run (a load), one clock tick after the change.
    QTimer flushTimer_;
    bool laidOut_ = false;
};

} // namespace archive
