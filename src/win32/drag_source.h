#pragma once

#include "commands/drag_extract.h"
#include "extract/job.h"

#include <windows.h>
// windows.h must come first
#include <ole2.h>

#include <filesystem>
#include <string>
#include <vector>

namespace archive {
class FrmBig;
}

namespace archive::win32 {

// The clipboard format that marks a drag out of this program: the window
// does not take its own files back as an archive to open.
inline constexpr const wchar_t* kDragOutFormat = L"ArchiveToolDragOut";

// The folders a window's drags were extracted into. The program that takes a
// drop may copy the files after the drop has returned, so they stay until the
// window ends, when this object removes them.
class DragOutFolders {
  public:
    DragOutFolders() = default;
    ~DragOutFolders();
    DragOutFolders(const DragOutFolders&) = delete;
    DragOutFolders& operator=(const DragOutFolders&) = delete;

    // A new, empty folder "archive-tool-drag-..." below the user's temporary
    // folder, or an empty path with the reason in `error`.
    std::filesystem::path MakeFolder(std::string& error);
    const std::vector<std::filesystem::path>& folders() const { return folders_; }

  private:
    std::vector<std::filesystem::path> folders_;
};

// A drag this big shows its progress while its files are extracted; a smaller
// one is over before a dialog could be read.
bool DragOutShowsProgress(const DragPlanSize& size);

// Extracts the dragged catalogue nodes (file and folder nodes of the loaded
// SGA archive) into a fresh folder of `folders` through the core's
// ExtractForDrag, telling `control` the files and bytes done and stopping
// between entries when it says so, or when Exit or the close box came
// meanwhile. It runs as RunningCommand::DragOut (nothing when another command
// runs), so a window that lets messages run refuses to open another archive
// under it, and Exit waits for it. Failures go to the
// log as the window's other failures do. Returns the files and folders to
// hand over: none when cancelled, refused or nothing could be written.
std::vector<std::filesystem::path> ExtractForDragOut(FrmBig& frm, const std::vector<int>& nodes,
                                                     DragOutFolders& folders, const JobControl& control);

// A data object offering the files as CF_HDROP (and "Preferred DropEffect":
// copy), as Explorer takes a drop of files; one from this program also
// carries kDragOutFormat. Returned with one reference.
IDataObject* MakeFileDataObject(const std::vector<std::filesystem::path>& files, bool fromThisProgram = true);

// A drop source: Escape or a second mouse button cancels, releasing the
// button that started the drag drops; the system's cursors. One reference.
IDropSource* MakeDropSource();

// What a drag out did.
enum class DragOutResult { Refused, NothingToDrag, Cancelled, Dropped, NotDropped };

// Hands files already written to the system's drag and drop loop, which runs
// until the user drops or gives up: for a window that shows the extraction's
// progress in a dialog of its own and closes it before the drag.
DragOutResult DragFiles(HWND owner, const std::vector<std::filesystem::path>& files);

// The whole drag out of the window: extracts `nodes` (ExtractForDragOut, with
// `control` for progress and cancel) and hands the files to the system's
// drag and drop loop, which runs until the user drops or gives up. OLE must
// be initialised on the thread (OleInitialize). Refused while no whole SGA
// catalogue is shown or a command runs. After it returns the caller should
// check TakePendingClose, as after every command.
DragOutResult StartDragOut(HWND owner, FrmBig& frm, const std::vector<int>& nodes, DragOutFolders& folders,
                           const JobControl& control = {});

} // namespace archive::win32
