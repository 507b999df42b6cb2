#pragma once

#include "commands/catalogue_details.h"
#include "commands/command_state.h"
#include "commands/open_command.h"
#include "extract/job.h"
#include "platform/registry.h"
#include "win32/details_list.h"
#include "win32/details_sort.h"
#include "win32/dpi.h"
#include "win32/drag_source.h"
#include "win32/drop_target.h"
#include "win32/filter_box.h"
#include "win32/log_view.h"
#include "win32/menu_bar.h"
#include "win32/preview_window.h"
#include "win32/shell_icons.h"
#include "win32/toolbar.h"
#include "win32/tree_pane.h"
#include "window/catalogue_filter.h"
#include "window/frm_big.h"
#include "window/view_batch.h"
#include "window/widgets.h"

#include <windows.h>
// windows.h must come first
#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archive::win32 {

class AboutBox;
class JobDialog;

// The main window frmBIG: the common controls' face of the core's Widgets,
// with the archive browser beside the tree. The class is spread over files
// by concern: the wiring here, the layout (window_layout.cpp), the tree and
// the details list (catalogue_view.cpp, details_notify.cpp), the jobs
// (jobs.cpp) and what comes from outside (file_drop.cpp).
class MainWindow : public BatchedWidgets {
  public:
    // `dialog` and `registry` default to the real ones; tests pass fakes.
    explicit MainWindow(std::unique_ptr<OpenFileDialog> dialog = nullptr,
                        std::unique_ptr<RegistryAndLauncher> registry = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window at the centre of the screen and shows it with `show`.
    bool Create(int show);
    // Routes a queued message to the accelerators and the keyboard handling of
    // the window and the About box; true when the message was used up.
    bool PreTranslate(MSG& message);
    // The message loop: runs until the last window of the program has closed.
    int Run();
    // Opens the archive at `path` as the open command does with a chosen file
    // (the command line, a file dropped on the window).
    void OpenFile(const std::filesystem::path& path);

    FrmBig& frm() { return frm_; }
    DialogState& dialogState() { return dialogState_; }
    // Where message boxes go (a modal MessageBoxW unless replaced, as tests do).
    std::function<void(const std::wstring&)> messageSink;
    // Asks for Extract To's destination, starting at a folder; empty when cancelled.
    std::function<std::filesystem::path(const std::filesystem::path& start)> destinationChooser;
    // Asks what to do about a file an extraction would replace.
    AskExisting existingChooser;
    // Shows a folder (Open Output Folder).
    std::function<void(const std::filesystem::path&)> folderOpener;
    // Shows a file node's preview (Enter, Space, a double click, the menus).
    std::function<void(int node)> previewer;
    // Sees each progress report of a job (tests, to act while one runs).
    std::function<void(const JobProgress&)> jobProgressHook;

    HWND hwnd() const { return hwnd_; }
    HWND treeView() const { return tree_.hwnd(); }
    HWND detailsList() const { return list_.hwnd(); }
    HWND filterBox() const { return filter_.hwnd(); }
    HWND logBox() const { return log_; }
    HWND progressBar() const { return progress_; }
    HWND statusBar() const { return status_; }
    HWND toolBar() const { return toolbar_.hwnd(); }
    HMENU menu() const { return menus_.menu(); }
    // The job's progress dialog while one runs.
    HWND jobDialog() const;
    // The About box's window, or nullptr when it is not open.
    HWND aboutBox() const;
    AboutBox* aboutBoxObject() const;
    // The tree item that shows the catalogue node (1-based), or nullptr while
    // it has not been inserted (its parent was never expanded).
    HTREEITEM ItemOfNode(int node) const { return tree_.ItemOfNode(node); }
    // True while the tree's later items wait for the message loop (they come after painting).
    bool TreeFilling() const { return tree_.Filling(); }
    // The nodes the details list shows, in its order.
    const std::vector<int>& ListedNodes() const { return list_.Rows(); }
    // What the details list says while it has no row ("No matches" under a filter).
    const std::wstring& ListEmptyText() const { return list_.EmptyText(); }
    // The preview window (shown by Enter, Space, a double click, the menus).
    const PreviewWindow& previewWindow() const { return preview_; }
    // Whether a command (menu item, toolbar button) is enabled now.
    bool CommandEnabled(int id) const { return menus_.Enabled(id); }
    // Where the last extraction wrote: Open Output Folder shows it.
    const std::filesystem::path& LastOutput() const { return frm_.LastOutputFolder; }

    // Applies the log lines, status text and progress gathered so far.
    void FlushPending();

    // Widgets
    void SetButtonEnabled(int position, bool enabled) override;
    void ShowMessage(std::string_view utf8) override;
    void DoEvents() override;
    void TreeAboutToChange() override;
    void TreeChanged() override;
    void SetTreeAppearance(int lineStyle, int style, int indentation) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    LRESULT OnNotify(const NMHDR& header);
    void OnClose();
    void ToolbarClick(int position);
    // Enables each command for the state the window is in.
    void UpdateCommands();
    bool Busy() const;
    // The shared command state's view of this window, with what the face runs itself.
    CommandContext Context() const;
    void ShowDetails(bool shown);
    void ShowAbout();
    void Pump();
    void ScheduleFlush() override;

    // window_layout.cpp
    void CreateControls();
    void PlaceAtStart(DWORD style, DWORD exStyle);
    void Layout();
    void SetFonts();
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnMinMaxInfo(MINMAXINFO& info) const;
    bool OnSplitterMouse(UINT message, LPARAM lParam);
    RECT SplitterBar() const;

    // catalogue_view.cpp
    void ShowFolderOf(int node, int row = 0);
    void ApplyFilter();
    std::vector<int> RowsOf(int folder) const;
    void SizeNameColumn(const std::vector<int>& rows);
    int ImageOf(int node);
    bool Kept(int node) const;
    // What Extract To takes: the list's selected rows, else the tree's selected node.
    std::vector<int> SelectedNodes() const;
    // The number columns as wide as their widest texts (main_window.cpp; once per load).
    void SizeNumberColumns();

    // details_notify.cpp
    LRESULT OnTreeNotify(const NMHDR& header);
    LRESULT OnListNotify(const NMHDR& header);
    void ShowContextMenu(POINT at);
    // Rows dragged out of the list: extracted, then handed to the system's drag and drop.
    void DragOut();
    void Activate(int node);
    void Preview();

    // jobs.cpp
    void RunJob(const std::wstring& title, const std::function<void(const JobControl&)>& job);
    void ExtractTo();
    void TestArchive();
    void OpenOutputFolder();
    void CloseIfAsked();

    // file_drop.cpp
    void OnDropFiles(HDROP drop);

    FrmBig frm_{*this};
    DialogState dialogState_;
    std::unique_ptr<OpenFileDialog> dialog_;
    std::unique_ptr<RegistryAndLauncher> registry_;
    std::unique_ptr<AboutBox> about_;
    JobDialog* job_ = nullptr;
    PreviewWindow preview_;
    DragOutFolders dragFolders_;
    std::unique_ptr<FileDrop> fileDrop_; // an archive dragged onto the window from Explorer

    HWND hwnd_ = nullptr;
    Toolbar toolbar_;
    MenuBar menus_;
    TreePane tree_;
    DetailsList list_;
    FilterBox filter_;
    LogView logView_;
    HWND log_ = nullptr; // logView_'s window
    HWND progress_ = nullptr;
    HWND status_ = nullptr;
    HFONT font_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    Scale scale_;
    bool closed_ = false;
    bool oleInitialized_ = false;

    // The browser: what the list shows, the filter's kept nodes, the icons.
    CatalogueDetails details_;
    CatalogueFilter filterIndex_;
    bool filterIndexed_ = false;
    std::vector<char> kept_; // empty while no filter is set
    DetailsOrder order_;
    ShellIcons icons_;
    int listedFolder_ = 0;
    bool detailsShown_ = true;
    // A command the face runs that the core does not mark (Save All, while it lets messages run).
    RunningCommand faceRunning_ = RunningCommand::None;

    // The splitter between the upper panes and the log box: the upper panes'
    // share of the height they have together.
    double upperShare_ = 0.6;
    bool dragging_ = false;

    bool flushScheduled_ = false;
};

} // namespace archive::win32
