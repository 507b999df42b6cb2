#pragma once

#include "window/load_failure.h"

namespace archive {

class FrmBig;

// Loads the SGA archive at frm.ArchivePath: fills the SGA tables, writes the
// header lines to the log box and the tables to the debug file, and builds
// the catalogue tree. Returns Loaded or Rejected; a failing step throws
// LoadFailure, with every file it opened closed.
LoadOutcome LoadSgaArchive(FrmBig& frm);

} // namespace archive
