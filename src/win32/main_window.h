#pragma once

#include "commands/open_command.h"
#include "platform/registry.h"
#include "win32/log_view.h"
#include "window/frm_big.h"
#include "window/view_batch.h"
#include "window/widgets.h"

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archive::win32 {

class AboutBox;

// Menu items and toolbar buttons, as the WM_COMMAND identifiers they send.
// Toolbar button at position p (1 to 6, 4 the separator) sends kButtonBase + p.
enum CommandId : int {
    kCmdOpen = 100,
    kCmdExit = 101,
    kCmdDebugToFile = 102,
    kCmdAbout = 103,
    kButtonBase = 200,
};

// The main window frmBIG: the common controls' face of the core's Widgets.
class MainWindow : public Widgets {
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

    FrmBig& frm() { return frm_; }
    DialogState& dialogState() { return dialogState_; }
    // Where message boxes go (a modal MessageBoxW unless replaced, as tests do).
    std::function<void(const std::wstring&)> messageSink;

    HWND hwnd() const { return hwnd_; }
    HWND treeView() const { return tree_; }
    HWND logBox() const { return log_; }
    HWND progressBar() const { return progress_; }
    HWND statusBar() const { return status_; }
    HWND toolBar() const { return toolbar_; }
    HMENU menu() const { return menu_; }
    // The About box's window, or nullptr when it is not open.
    HWND aboutBox() const;
    AboutBox* aboutBoxObject() const;
    // The tree item that shows the catalogue node (1-based), or nullptr while
    // it has not been inserted (its parent was never expanded).
    HTREEITEM ItemOfNode(int node) const;

    // Applies the log lines, status text and progress gathered so far.
    void FlushPending();

    // Widgets
    void ClearLog() override;
    void AppendLog(std::string_view text, LogKind kind) override;
    void SetProgressMinimum(float value) override;
    void SetProgressMaximum(float value) override;
    void SetProgressValue(float value) override;
    void SetStatusText(std::string_view text) override;
    void SetStatusHostText(std::string_view utf8) override;
    void SetButtonEnabled(int position, bool enabled) override;
    void ShowMessage(std::string_view utf8) override;
    void DoEvents() override;
    void TreeAboutToChange() override;
    void TreeChanged() override;
    void SetTreeAppearance(int lineStyle, int style, int indentation) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void BuildMenus();
    void BuildToolbar();
    void SetFonts();
    void OnCommand(int id);
    LRESULT OnNotify(const NMHDR& header);
    void OnClose();
    void ToolbarClick(int position);
    void FollowArchiveFolder();
    void SetCommandsEnabled(bool enabled);
    void ShowAbout();
    void Layout();

    int Pixels(float twips) const;
    float Twips(int pixels) const;
    void ScheduleFlush();

    // The lazy tree: a node's children are inserted when it is first expanded.
    HTREEITEM ShowNode(int node);
    void InsertChildren(int node);
    HTREEITEM InsertNode(int node, HTREEITEM parent);

    FrmBig frm_{*this};
    DialogState dialogState_;
    std::unique_ptr<OpenFileDialog> dialog_;
    std::unique_ptr<RegistryAndLauncher> registry_;
    std::unique_ptr<AboutBox> about_;

    HWND hwnd_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND tree_ = nullptr;
    LogView logView_;
    HWND log_ = nullptr; // logView_'s window
    HWND progress_ = nullptr;
    HWND status_ = nullptr;
    HMENU menu_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HFONT font_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    UINT dpi_ = 96;
    bool closed_ = false;

    std::array<bool, 7> buttonEnabled_{};
    std::vector<HTREEITEM> items_;       // by node index; nullptr while not inserted
    std::vector<char> childrenInserted_; // by node index
    bool updatingTree_ = false;

    ViewBatch pending_;
    bool flushScheduled_ = false;
};

// The window's DPI (96 where the system cannot tell per window).
UINT WindowDpi(HWND window);
// The message font of the system at `dpi`.
HFONT MakeMessageFont(UINT dpi, int weight = FW_NORMAL, double points = 0, const wchar_t* face = nullptr);

} // namespace archive::win32
