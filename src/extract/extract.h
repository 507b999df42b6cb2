#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace archive {

class FrmBig;

// What an extraction did, for the console's summary and exit status.
struct ExtractReport {
    int written = 0;
    int failed = 0; // decompression, unsafe path, short entry, read or write failures
    // What failed, by archive path (Windows-1252), in the order it failed.
    std::vector<std::string> failedEntries;
};

// Writes the file that the tree node with the 1-based `nodeIndex` stands for
// below the output root.
// The index is an int, not 16 bits: an SGA tree has up to 65,535 nodes, and every one
// of them must be reachable.
ExtractReport ExtractSelected(FrmBig& frm, int nodeIndex);

// Writes every file of the loaded SGA archive below the output root: the
// folders first, then each directory row's files.
ExtractReport ExtractAll(FrmBig& frm);

} // namespace archive
