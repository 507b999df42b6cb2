#pragma once

#include "extract/job.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace archive {

class FrmBig;
class CatalogueTree;

// What an extraction did, for the console's summary and exit status.
struct ExtractReport {
    int written = 0;
    int failed = 0;       // decompression, unsafe path, short entry, read or write failures
    int skipped = 0;      // files that were there, kept as the caller asked
    bool refused = false; // nothing was tried: no SGA catalogue of the archive, or the archive cannot be read
    // What failed, by archive path (Windows-1252), in the order it failed.
    std::vector<std::string> failedEntries;
};

// Writes the file that the tree node with the 1-based `nodeIndex` stands for
// below the output root.
// The index is an int, not 16 bits: an SGA tree has up to 65,535 nodes, and every one
// of them must be reachable.
// `existing`, when given, is asked before a file that is there is replaced
// (the companion's --skip-existing); the toolbar replaces it.
ExtractReport ExtractSelected(FrmBig& frm, int nodeIndex, const AskExisting& existing = {});

// Save Selected over the tree's selection: with one item selected that item,
// as ExtractSelected takes it (a folder says "Cannot extract directory");
// with several, ExtractSelected once for each selected file, folders left
// out. When anything failed, a last line and the status text give the count
// of files written and failed.
ExtractReport ExtractSelectedItems(FrmBig& frm, const std::vector<int>& selected,
                                   const AskExisting& existing = {});
// The nodes ExtractSelectedItems runs ExtractSelected on, in selection order.
std::vector<int> SaveSelectedNodes(const CatalogueTree& tree, const std::vector<int>& selected);

// "3 files written, 2 failed": what a run that had failures ends with.
std::string WrittenAndFailed(std::int64_t written, std::int64_t failed);

// Writes every file of the loaded SGA archive below the output root: the
// folders first, then each directory row's files. After "...Extract
// finished", when anything failed, a line and the status text give the count
// of files written and failed.
ExtractReport ExtractAll(FrmBig& frm, const AskExisting& existing = {});

// One file of a set extraction: its file row and the directory row of the
// folder that holds it (none: -1). Its archive path, the folder's name, "\"
// and the file's name, is also where it goes below the destination.
struct SetFile {
    int row = 0;
    int directory = -1;
};

// What a set extraction writes: folders, by directory row (made even when
// they hold nothing selected), and files. A row listed twice, or two rows
// with one path, is written once: the first in row order.
struct ExtractionSet {
    std::vector<int> folders;
    std::vector<SetFile> files;
};

// Where a set extraction writes: below the output root as the toolbar
// commands do (".\data", and the first TOC's alias, below OutputBase), or
// straight into a folder of the user's choosing.
struct SetDestination {
    bool outputRoot = false;
    std::filesystem::path folder = {}; // when not outputRoot; made when missing
};

struct SetReport {
    int written = 0;
    std::int64_t bytesWritten = 0;
    std::vector<EntryProblem> failed;  // not written (unsafe names included): the reason says why
    std::vector<EntryProblem> skipped; // left out on purpose: a path an earlier row has taken, or a
                                       // file of its name the user chose to keep
    std::int64_t notReached = 0;       // files left when the user cancelled
    bool cancelled = false;
    bool refused = false;              // nothing was tried; the log says why
    std::filesystem::path destination; // absolute: where the archive paths begin
};

// Extracts the set with the safety of the toolbar commands (host-path
// mapping, no write through a link out of the destination, a temporary name
// renamed into place) and their two-core pipeline. An entry whose data is
// damaged (a failed inflate, a size other than ExpandedSize, bytes past the
// end of the archive) follows the toolbar's rule: written as far as it went
// only where no file of its name is, so it never replaces a good copy; a
// refused one writes nothing. A sound entry that meets a file of its name asks
// `control.existing` (no question: replaced). The cancel is asked before
// each entry.
SetReport ExtractSet(FrmBig& frm, const ExtractionSet& set, const SetDestination& where,
                     const JobControl& control);

struct ArchiveTestReport {
    std::int64_t entries = 0; // entries read (and inflated when compressed)
    std::int64_t bytes = 0;   // bytes they expand to
    std::vector<EntryProblem> failed;
    std::int64_t notReached = 0;
    bool cancelled = false;
    bool refused = false;
};

// Reads and inflates every entry ExtractAll would write, writing nothing:
// each entry whose inflate fails, whose result is not ExpandedSize bytes, or
// that runs past the end of the archive, gets an "Error: " line; a summary
// line ends the log. One entry in memory at a time, as in extraction.
ArchiveTestReport TestArchiveEntries(FrmBig& frm, const JobControl& control);

} // namespace archive
