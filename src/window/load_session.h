#pragma once

#include "platform/archive_file.h"
#include "window/frm_big.h"

#include <optional>

namespace archive {

// The steps every load begins with, and what it must undo on every way out.
// It opens the archive, starts the debug file, clears the log box and the
// tree, sets the tree's looks and the progress bar to 0 of 1; the archive and
// the debug file are closed, and the window told that the tree changed, when
// the session ends, however it ends. A failing step throws LoadFailure.
class LoadSession {
  public:
    explicit LoadSession(FrmBig& frm);
    LoadSession(const LoadSession&) = delete;
    LoadSession& operator=(const LoadSession&) = delete;
    ~LoadSession() = default;

    ArchiveFile& archive() { return archive_; }
    // The load has read all it needs: close the archive, then the debug file.
    void CloseFiles();
    // Tells the window the tree's change is over before the load shows a
    // message box: the box lets the window paint, and it must paint the tree
    // as it now is, not the rows of the catalogue just cleared.
    void EndTreeChange() { tree_.reset(); }

  private:
    FrmBig& frm_;
    ArchiveFile archive_;
    DebugFileScope debug_;
    std::optional<TreeUpdateScope> tree_;
};

} // namespace archive
