#pragma once

#include <cstddef>

namespace archive {

// Raises this process's soft limit of open descriptors to its hard limit (at
// most 65,536), where there is one, and makes room for that many in the
// process's table: an extraction keeps a descriptor open per file written
// ahead of its turn, and the more of them may wait, the more of the work
// overlaps. Nothing here waits on descriptors with select(). Call it while
// the process has one thread.
void AllowManyOpenFiles();
// How many descriptors this process may open in all (a large number where
// there is no such limit).
std::size_t OpenFileLimit();

} // namespace archive
