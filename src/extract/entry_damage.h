#pragma once

#include "extract/entry_fetch.h"

#include <cstdint>
#include <string>

namespace archive {

// What is wrong with an entry's data, or "" when it is sound: bytes missing at
// the end of the archive, a refused or failed inflate, a result that is not
// ExpandedSize bytes long. The one verdict every command gives.
std::string DamageOf(const FetchedEntry& entry, const SgaFile& file);

} // namespace archive
