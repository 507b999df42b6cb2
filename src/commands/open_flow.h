#pragma once

#include "window/load_failure.h"

#include <string>

namespace archive {

class FrmBig;

// Reads the first seven bytes of frm.ArchivePath and hands the file to the
// RBF loader ("RBF1.23") or the SGA loader (anything else). A file that
// cannot be opened is reported in a message box and loads nothing.
LoadOutcome OpenArchive(FrmBig& frm);

// What the open command does once a file is chosen: ArchivePath becomes
// `path`, the archive is opened, and a load that stops at a failing step is
// reported as "Load failed: " and its reason in the log box and the status
// text. No exception leaves it.
LoadOutcome OpenChosenFile(FrmBig& frm, const std::string& path);

} // namespace archive
