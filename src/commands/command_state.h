#pragma once

#include "window/frm_big.h"

#include <string>
#include <string_view>

namespace archive {

// Every command a window offers, in its menus, on its toolbar or in the
// tree's right-click menu.
enum class CommandId {
    Open,             // the menu's "&Open" (Ctrl+O)
    OpenSV1,          // toolbar button 1
    OpenBIG,          // toolbar button 2
    OpenSGA,          // toolbar button 3
    SaveSelected,     // toolbar button 5
    SaveAll,          // toolbar button 6
    ExtractTo,        // Ctrl+E
    TestArchive,      // Ctrl+T
    OpenOutputFolder, // the folder the last command wrote to
    Exit,
    DebugToFile,
    About,
    Details,        // details columns and icons
    CatalogueOrder, // back to the catalogue's own order
    Filter,         // focus the filter box (Ctrl+F)
    Preview,        // Space, Enter, double click
};

// What the catalogue shown is, for the commands.
enum class LoadedArchive { None, Sga, Rbf };

struct CommandContext {
    LoadedArchive loaded = LoadedArchive::None;
    RunningCommand running = RunningCommand::None;
    bool outputWritten = false; // a command of this window has written files (Open Output Folder)
};

// Whether a command can be chosen now; when it cannot, a reason a window
// shows in a tooltip or on its status line.
struct CommandState {
    bool enabled = true;
    std::string reason;
};

CommandState StateOf(CommandId command, const CommandContext& context);

// The context of a window's state: its catalogue, and what runs now.
CommandContext ContextOf(const FrmBig& frm);

// True while any command runs: the open commands, the extract commands and
// the close of the window wait for it.
bool CommandRunning(const FrmBig& frm);

// Marks a command as running for as long as it lives: the one state that
// keeps an open (Ctrl+O, a drop) from freeing the tree a drag-out or a
// preview walks. `Started()` is false when another command runs already; the
// scope then changes nothing and the caller must not start.
class RunningScope {
  public:
    RunningScope(FrmBig& frm, RunningCommand command);
    ~RunningScope();
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

    bool Started() const { return started_; }

  private:
    FrmBig& frm_;
    bool started_ = false;
};

} // namespace archive
