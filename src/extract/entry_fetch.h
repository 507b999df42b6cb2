#pragma once

#include "compression/cls_zlib.h"
#include "platform/archive_file.h"
#include "sga/sga_tables.h"

#include <cstdint>
#include <string>

namespace archive {

// One entry read from the archive and, when compressed, inflated: everything
// an extraction needs to write it and report on it.
struct FetchedEntry {
    ByteArray buffer;
    std::int64_t stored = 0; // bytes the record claims (negative counts as 0)
    std::int64_t got = 0;    // bytes the archive really holds for it
    bool compressed = false;
    std::int32_t status = 0; // zlib's, when compressed
    std::string refused;     // why the compression class refused the input, if it did
};

// Reads the stored bytes of `file` at `position` as far as the archive holds
// them (never past its end: the buffer then holds just the bytes that exist)
// and inflates them when the entry is compressed.
FetchedEntry FetchEntry(ArchiveFile& archive, clsZlib& zlib, const SgaFile& file, std::int64_t position);

} // namespace archive
