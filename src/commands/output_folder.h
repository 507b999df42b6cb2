#pragma once

#include <filesystem>

namespace archive {

class FrmBig;

// Where a window's commands put files, decided once for every face.
//
// Save Selected and Save All write ".\data" beside the archive, however it
// was opened: from the dialog, from the command line, or dropped on the
// window (the companion keeps its working folder, or -C). "Open Output
// Folder" shows the folder the last command that wrote filled: Save All's or
// Save Selected's ".\data", or the destination of Extract To.

// After every open of a window (the open commands call it): a newly shown
// catalogue moves the output root beside its archive, and forgets where the
// previous archive's files went.
void FollowArchiveFolder(FrmBig& frm);

// A command wrote below `folder` (absolute): Open Output Folder shows it.
void NoteOutputWritten(FrmBig& frm, const std::filesystem::path& folder);

// The folder Open Output Folder shows: where the last command wrote; before
// any did, the toolbar commands' ".\data" once it exists, else the folder it
// will be made in.
std::filesystem::path OutputFolderToOpen(const FrmBig& frm);

// The toolbar commands' ".\data", absolute (for a status bar's tooltip).
std::filesystem::path ToolbarOutputRoot(const FrmBig& frm);

} // namespace archive
