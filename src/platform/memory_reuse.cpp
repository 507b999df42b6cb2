#include "platform/memory_reuse.h"

#include <cstdlib> // defines __GLIBC__ where this is the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace archive {

void ReuseFreedMemory()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

} // namespace archive
