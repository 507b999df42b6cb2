#pragma once

#include "extract/job.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace archive {

class FrmBig;

// What a drag out of the tree hands over: the top-level files and folders
// written, and what could not be written.
struct DragExtractReport {
    std::vector<std::filesystem::path> handed; // one per dragged node that was written
    int written = 0;
    int skipped = 0;                   // files that were there, kept at the user's word
    std::vector<std::string> failures; // "path: reason"
    bool cancelled = false;
};

// Files and bytes a set of dragged nodes will write: the files below them,
// each counted once.
struct DragPlanSize {
    int files = 0;
    std::int64_t bytes = 0;
};

// Told the files and bytes done so far; returns false to stop (between entries).
using DragProgress = std::function<bool(int files, std::int64_t bytes)>;

DragPlanSize MeasureDrag(const FrmBig& frm, const std::vector<int>& nodes);

// Writes each dragged node of the loaded SGA archive into `destination` (a
// new, empty folder the caller made): a file under its name, a folder as a
// folder of that name holding everything below it, named as the tree names
// them. Entries are read and inflated one at a time through the bounded fetch
// and written through a temporary name. A node inside another dragged node is
// written once, with its outermost one. Damaged entries follow the rule of
// every extract command (written as far as they went only where no file of
// their name is; refused ones not at all). A sound entry that meets a file of
// its name asks `existing` (no question: the file is replaced).
DragExtractReport ExtractForDrag(const FrmBig& frm, const std::vector<int>& nodes,
                                 const std::filesystem::path& destination, const DragProgress& progress,
                                 const AskExisting& existing = {});

} // namespace archive
