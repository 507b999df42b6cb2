// Failures injected where the prefetcher starts its threads: every
// allocation but the chosen one succeeds, on the thread that builds the
// prefetcher only. Its own program, because it replaces operator new.
#include "extract/entry_fetch.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

// Allocations on this thread before one fails; negative: none fails.
thread_local long allocationsBeforeFailure = -1;

} // namespace

void* operator new(std::size_t size)
{
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace archive;
using namespace archive::testing;

// Whichever allocation fails while the prefetcher is built, the failure
// either leaves the constructor before any thread runs or costs threads:
// never std::terminate, and every entry still comes, in order.
TEST(EntryPrefetcher, NoMemoryWhileThreadsStartNeverEndsTheProcess)
{
    TempDir dir;
    std::string bytes;
    std::vector<SgaFile> files;
    std::vector<std::string> contents;
    for (int i = 0; i < 40; ++i) {
        std::string content(50 + i, static_cast<char>('a' + i % 26));
        files.push_back({.EntryOffset = static_cast<std::int32_t>(bytes.size()),
                         .StoredSize = static_cast<std::int32_t>(content.size()),
                         .ExpandedSize = static_cast<std::int32_t>(content.size()),
                         .Path = {}});
        bytes += content;
        contents.push_back(content);
    }
    const std::string path = dir.File("raw.bin");
    WriteBytes(path, bytes);
    std::vector<EntryPrefetcher::Job> jobs;
    for (const SgaFile& file : files) {
        jobs.push_back({&file, file.EntryOffset});
    }
    // Each allocation the constructor makes fails in turn, until one run
    // makes none fail: the later failures are those of starting threads.
    int builtAfterAFailure = 0;
    for (long failing = 0;; ++failing) {
        std::vector<EntryPrefetcher::Job> copy = jobs;
        bool failed = true;
        try {
            allocationsBeforeFailure = failing;
            EntryPrefetcher prefetcher(path, std::move(copy), 3);
            failed = allocationsBeforeFailure < 0;
            allocationsBeforeFailure = -1;
            builtAfterAFailure += failed ? 1 : 0;
            for (std::size_t i = 0; i < contents.size(); ++i) {
                const FetchedEntry entry = prefetcher.Next();
                ASSERT_EQ(
                    std::string(reinterpret_cast<const char*>(entry.buffer.data()), entry.buffer.size()),
                    contents[i])
                    << "failing allocation " << failing << ", entry " << i;
            }
        } catch (const std::bad_alloc&) {
            allocationsBeforeFailure = -1;
        }
        if (!failed) {
            break;
        }
    }
    EXPECT_GE(builtAfterAFailure, 3); // one per thread that could not start
}
