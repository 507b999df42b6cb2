#pragma once

#include <cstddef>

namespace archive {

// Lets extractions raise this process's soft limit of open descriptors to
// its hard limit (at most 65,536) while they run (ManyOpenFiles), and makes
// room for that many in the process's table now: an extraction keeps a
// descriptor open per file written ahead of its turn, and the more of them
// may wait, the more of the work overlaps. Nothing here waits on
// descriptors with select(). The limit itself stays as it was between
// extractions, so programs the window starts get the limit it was given.
// Call it while the process has one thread.
void AllowManyOpenFiles();

// While one lives, the soft limit is raised as AllowManyOpenFiles allowed
// (nothing happens where it was not called); the last one to end puts the
// limit back. The limit belongs to the process, so this is process-wide
// state, counted under a lock.
class ManyOpenFiles {
  public:
    ManyOpenFiles();
    ~ManyOpenFiles();
    ManyOpenFiles(const ManyOpenFiles&) = delete;
    ManyOpenFiles& operator=(const ManyOpenFiles&) = delete;

  private:
    bool counted_ = false;
};
// How many descriptors this process may open in all (a large number where
// there is no such limit).
std::size_t OpenFileLimit();

} // namespace archive
