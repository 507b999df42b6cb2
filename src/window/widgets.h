#pragma once

#include <string_view>

namespace archive {

enum class LogKind {
    Normal,  // the lines the procedures write to the log box
    Failure, // "Load failed: ..." and "Error: ..." lines: the console sends these to standard error
};

// Everything a procedure needs of the window. Three implementations: the Qt
// main window, the console, and an in-memory one for tests.
class Widgets {
  public:
    virtual ~Widgets() = default;

    virtual void ClearLog() = 0;
    // Appends raw archive text (Windows-1252), line ends included.
    virtual void AppendLog(std::string_view text, LogKind kind) = 0;

    virtual void SetProgressMinimum(float value) = 0;
    virtual void SetProgressMaximum(float value) = 0;
    virtual void SetProgressValue(float value) = 0;
    // Status text of archive text (Windows-1252): "Reading: " and a name, a failure line...
    virtual void SetStatusText(std::string_view text) = 0;
    // Status text that is a host path (UTF-8), shown as the host names it.
    virtual void SetStatusHostText(std::string_view utf8) = 0;
    // Toolbar buttons by position, counting the separator (5 and 6 are the extract buttons).
    virtual void SetButtonEnabled(int position, bool enabled) = 0;
    // A modal message box with an OK button, the application's title as caption.
    // Its text is host text (UTF-8): it may name a host path as the host names it.
    virtual void ShowMessage(std::string_view utf8) = 0;
    // Lets pending window events run.
    virtual void DoEvents() = 0;

    // The catalogue tree's data is about to be replaced / has been replaced.
    virtual void TreeAboutToChange() = 0;
    virtual void TreeChanged() = 0;
    // Line style, style and indentation (the window's scale units) of the tree.
    virtual void SetTreeAppearance(int lineStyle, int style, int indentation) = 0;
};

} // namespace archive
