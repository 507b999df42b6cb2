#pragma once

#include "window/load_failure.h"

namespace archive {

class FrmBig;

// Loads the RBF archive at frm.ArchivePath: fills the RBF tables, writes the
// header lines to the log box and the table and names to the debug file, and
// builds the catalogue tree from the entry paths. Returns Loaded or
// Rejected; a failing step before the tree is built throws LoadFailure, with
// every file it opened closed. Failing steps of the tree building are skipped.
LoadOutcome LoadRbfArchive(FrmBig& frm);

// The root node's text: the archive's file name (archive text), after the host's last separator.
std::string RbfRootText(std::string_view archivePath);

} // namespace archive
