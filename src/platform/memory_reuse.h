#pragma once

namespace archive {

// Lets the memory of one entry's buffers serve the next ones. Entries are
// read and inflated on fetching threads and freed on the writing thread;
// with the C library's defaults each thread had an arena of its own, so
// what the writer freed never came back to the thread that allocates next,
// and every buffer above 128 KiB was mapped afresh: each of its pages was a
// new page fault (49,000 on the realistic benchmark archive against 17,600
// for a loop that reuses one buffer). Here the threads share one arena, the
// heap serves buffers up to 32 MiB, and up to 64 MiB of freed memory is
// kept for the next entries rather than given back at once. Process-wide
// settings of the allocator, made once at start while the process has one
// thread; nothing happens where the C library has no such settings.
void ReuseFreedMemory();

} // namespace archive
