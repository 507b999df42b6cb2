#include "extract/entry_fetch.h"
#include "support/archive_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#endif

using namespace archive;
using namespace archive::testing;

namespace {

// An archive of raw entries laid end to end, and the records that find them.
struct RawArchive {
    std::string path;
    std::vector<SgaFile> files;
    std::vector<std::string> contents;

    RawArchive(const TempDir& dir, const std::vector<std::pair<std::string, bool>>& entries)
        : path(dir.File("raw.bin"))
    {
        std::string bytes;
        for (auto [content, compress] : entries) {
            std::string stored = compress ? ZlibCompress(content) : content;
            while (compress && stored.size() == content.size()) { // would read back as stored
                content += ' ';
                stored = ZlibCompress(content);
            }
            files.push_back({.EntryOffset = static_cast<std::int32_t>(bytes.size()),
                             .StoredSize = static_cast<std::int32_t>(stored.size()),
                             .ExpandedSize = static_cast<std::int32_t>(content.size()),
                             .Path = {}});
            contents.push_back(content);
            bytes += stored;
        }
        WriteBytes(path, bytes);
    }

    std::vector<EntryPrefetcher::Job> Jobs() const
    {
        std::vector<EntryPrefetcher::Job> jobs;
        for (const SgaFile& file : files) {
            jobs.push_back({&file, file.EntryOffset});
        }
        return jobs;
    }
};

std::string Text(const ByteArray& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

std::string Pattern(std::size_t size, char seed)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>(seed + (i * 7 + i / 251) % 53);
    }
    return text;
}

} // namespace

// Thousands of tiny entries and a few larger than the bytes given back at a
// time: every entry comes out once, in order, with its bytes, however many
// threads fetch them (none: the caller fetches each itself).
TEST(EntryPrefetcher, HandsOverEveryEntryInOrder)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> entries;
    for (int i = 0; i < 5000; ++i) {
        entries.push_back({Pattern(16 + i % 300, static_cast<char>('a' + i % 20)), i % 10 != 9});
        if (i % 1700 == 5) {
            entries.push_back({Pattern(EntryPrefetcher::kReleaseBytes + 1000, 'Q'), i % 2 == 0});
        }
    }
    const RawArchive archive(dir, entries);
    for (const unsigned threads : {0u, 1u, 2u, 4u}) {
        EntryPrefetcher prefetcher(archive.path, archive.Jobs(), threads);
        for (std::size_t i = 0; i < archive.contents.size(); ++i) {
            const FetchedEntry entry = prefetcher.Next();
            ASSERT_EQ(entry.status, 0) << i << " with " << threads << " threads";
            ASSERT_EQ(Text(entry.buffer), archive.contents[i]) << i << " with " << threads << " threads";
        }
        // Asked once too often: an empty entry, not a hang.
        EXPECT_FALSE(prefetcher.Next().refused.empty());
    }
}

// Entries that claim 2 GB each but hold a few bytes: each waits until it is
// the only one ahead, and all of them still come through.
TEST(EntryPrefetcher, EntriesClaimingMoreThanTheBoundStillPass)
{
    TempDir dir;
    RawArchive archive(dir, {{"one", true}, {"two", true}, {"three", false}, {"four", true}});
    for (SgaFile& file : archive.files) {
        if (file.StoredSize != 5) { // "three" stays stored
            file.ExpandedSize = 2000000000;
        }
    }
    EntryPrefetcher prefetcher(archive.path, archive.Jobs(), 3);
    EXPECT_EQ(Text(prefetcher.Next().buffer), "one");
    EXPECT_EQ(Text(prefetcher.Next().buffer), "two");
    EXPECT_EQ(Text(prefetcher.Next().buffer), "three");
    EXPECT_EQ(Text(prefetcher.Next().buffer), "four");
}

// Small entries a thread fetches together are read in one go. Whatever their
// order, the gaps between them, or how far apart they lie, each comes out as
// it does read alone: here the jobs run backwards through the archive, skip
// some entries, name two far apart, and end with one cut short by the end
// of the archive and one that starts past it.
TEST(EntryPrefetcher, EntriesReadTogetherComeOutAsEachReadAlone)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> entries;
    for (int i = 0; i < 400; ++i) {
        entries.push_back({Pattern(20 + i % 90, static_cast<char>('A' + i % 30)), i % 4 != 0});
    }
    entries.push_back({Pattern(EntryPrefetcher::kWindowBytes, 'w'), false}); // pushes the next one far away
    entries.push_back({"far", false});
    RawArchive archive(dir, entries);
    SgaFile cut = archive.files.back();
    cut.StoredSize += 10; // three bytes there, ten claimed past the end
    cut.ExpandedSize = cut.StoredSize;
    SgaFile beyond = cut;
    beyond.EntryOffset += 100;

    std::vector<EntryPrefetcher::Job> jobs;
    for (std::size_t i = archive.files.size() - 2; i-- > 0;) {
        if (i % 7 != 3) {
            jobs.push_back({&archive.files[i], archive.files[i].EntryOffset});
        }
        if (i % 50 == 0) {
            jobs.push_back({&archive.files[archive.files.size() - 1], archive.files.back().EntryOffset});
        }
    }
    jobs.push_back({&cut, cut.EntryOffset});
    jobs.push_back({&beyond, beyond.EntryOffset});

    ArchiveFile alone;
    std::string error;
    ASSERT_TRUE(alone.Open(archive.path, error)) << error;
    clsZlib zlib;
    EntryPrefetcher prefetcher(archive.path, jobs, 2);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const FetchedEntry expected = FetchEntry(alone, zlib, *jobs[i].file, jobs[i].position);
        const FetchedEntry entry = prefetcher.Next();
        ASSERT_EQ(Text(entry.buffer), Text(expected.buffer)) << i;
        ASSERT_EQ(entry.got, expected.got) << i;
        ASSERT_EQ(entry.status, expected.status) << i;
    }
    EXPECT_EQ(Text(FetchEntry(alone, zlib, cut, cut.EntryOffset).buffer), "far");
}

// When the second thread cannot read the archive, the entries still come,
// in order, from the calling thread, and going away mid-list ends cleanly.
TEST(EntryPrefetcher, SurvivesAnArchiveItCannotOpen)
{
    TempDir dir;
    const RawArchive archive(dir, {{"alpha", false}, {"beta", true}});
    {
        EntryPrefetcher prefetcher(dir.File("gone.bin"), archive.Jobs());
        const FetchedEntry first = prefetcher.Next();
        EXPECT_EQ(first.got, 0);
        EXPECT_EQ(first.stored, 5);
        EXPECT_EQ(prefetcher.Next().got, 0);
    }
    EntryPrefetcher early(archive.path, archive.Jobs());
    EXPECT_EQ(Text(early.Next().buffer), "alpha"); // and destroyed with "beta" unread
}

// Rows that name the same stored bytes are read and inflated once a run:
// once the first of them is handed over, the archive's bytes can change
// (here they are wiped) and every later row still gives what the first
// read gave. Entries this large cannot all be fetched ahead, so later rows
// are fetched after the wipe.
TEST(EntryPrefetcher, RowsNamingTheSameBytesAreReadAndInflatedOnce)
{
    TempDir dir;
    const std::string content = Pattern(std::size_t{8} << 20, 's');
    RawArchive archive(dir, {{content, true}, {"after", false}});
    std::vector<EntryPrefetcher::Job> jobs;
    for (int i = 0; i < 30; ++i) {
        jobs.push_back({&archive.files[0], archive.files[0].EntryOffset});
        if (i % 10 == 9) {
            jobs.push_back({&archive.files[1], archive.files[1].EntryOffset});
        }
    }
    for (const unsigned threads : {0u, 2u}) {
        WriteBytes(archive.path, ZlibCompress(content) + "after"); // as RawArchive wrote it
        EntryPrefetcher prefetcher(archive.path, jobs, threads);
        FetchedEntry first = prefetcher.Next();
        ASSERT_EQ(first.status, 0);
        ASSERT_EQ(Text(first.buffer), content);
        {
            std::FILE* file = std::fopen(archive.path.c_str(), "r+b");
            ASSERT_NE(file, nullptr);
            const std::string zeros(static_cast<std::size_t>(archive.files[0].StoredSize), '\0');
            std::fwrite(zeros.data(), 1, zeros.size(), file);
            std::fclose(file);
        }
        for (std::size_t i = 1; i < jobs.size(); ++i) {
            const FetchedEntry entry = prefetcher.Next();
            ASSERT_EQ(entry.status, 0) << i << ", " << threads << " threads";
            ASSERT_EQ(Text(entry.buffer), jobs[i].file == &archive.files[0] ? content : "after") << i;
        }
    }
}

// A fetching thread that stops in the middle of an entry it claimed (here
// a failure that is no std::exception, from what it runs after the fetch)
// leaves nobody waiting: the writer fetches that entry itself, and every
// entry still comes once, in order, with its bytes.
TEST(EntryPrefetcher, AThreadThatStopsMidEntryLeavesNobodyWaiting)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> entries;
    for (int i = 0; i < 200; ++i) {
        entries.push_back({Pattern(100 + i, 'k'), i % 3 != 0});
    }
    const RawArchive archive(dir, entries);
    for (const unsigned threads : {1u, 2u, 3u}) {
        std::atomic<int> stops{0};
        auto drained = std::async(std::launch::async, [&] {
            EntryPrefetcher prefetcher(archive.path, archive.Jobs(), threads,
                                       [&stops](const EntryPrefetcher::Job& job, FetchedEntry&) {
                                           if (job.position % 5 == 0 && stops++ < 8) {
                                               throw 5; // ends the thread that fetched it
                                           }
                                       });
            std::vector<std::string> got;
            for (std::size_t i = 0; i < archive.contents.size(); ++i) {
                got.push_back(Text(prefetcher.Next().buffer));
            }
            return got;
        });
        if (drained.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "the writer waits for an entry no thread will fill (" << threads << " threads)";
            std::fflush(stdout);
            std::_Exit(1); // the waiting thread cannot be joined
        }
        EXPECT_EQ(drained.get(), archive.contents) << threads << " threads";
        EXPECT_GT(stops.load(), 0);
    }
}

#ifdef __linux__
// The open-file limit is raised only while files are written ahead, and only
// where the program allowed it: a program the window starts between two
// extractions gets the limit the window was given.
TEST(EntryPrefetcher, TheOpenFileLimitIsRaisedOnlyWhileFilesAreWrittenAhead)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max <= 400) {
        GTEST_SKIP() << "no hard limit to raise the soft one to";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const RawArchive archive(dir, {{"alpha", false}, {"beta", true}});
    // In a child process: the limit is the process's.
    EXPECT_EXIT(
        {
            rlimit low = saved;
            low.rlim_cur = 300;
            setrlimit(RLIMIT_NOFILE, &low);
            AllowManyOpenFiles();
            const auto childLimit = [] {
                std::FILE* shell = popen("ulimit -Sn", "r");
                char line[64] = {};
                const bool read = shell != nullptr && std::fgets(line, sizeof line, shell) != nullptr;
                if (shell != nullptr) {
                    pclose(shell);
                }
                return read ? std::string(line) : std::string("?");
            };
            bool sound = childLimit() == "300\n" && OpenFileLimit() == 300;
            {
                OutputTree out;
                std::string error;
                out.Open(dir.path(), error);
                EntryPrefetcher prefetcher(archive.path, archive.Jobs(), 2,
                                           [&out](const EntryPrefetcher::Job&, FetchedEntry& entry) {
                                               entry.prepared =
                                                   out.Prepare({}, entry.buffer.data(), entry.buffer.size());
                                           });
                sound = sound && OpenFileLimit() > 300;
                {
                    EntryPrefetcher second(archive.path, archive.Jobs(), 1,
                                           [](const EntryPrefetcher::Job&, FetchedEntry&) {});
                }
                sound = sound && OpenFileLimit() > 300; // the first still runs
                prefetcher.Next();
            }
            sound = sound && OpenFileLimit() == 300 && childLimit() == "300\n";
            std::_Exit(sound ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Entries written ahead hold a descriptor each until the writer is done with
// them and a fetching thread closes it: with the open-file limit lowered, the
// descriptors open at a time stay within the bound it gives, and none is
// left open at the end.
TEST(EntryPrefetcher, FilesWrittenAheadStayWithinTheOpenFileLimit)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> entries;
    for (int i = 0; i < 3000; ++i) {
        entries.push_back({Pattern(20 + i % 50, 'a'), i % 2 == 0});
    }
    const RawArchive archive(dir, entries);
    OutputTree out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.path(), error)) << error;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 600);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const std::size_t bound = EntryPrefetcher::PreparedAhead();
    const auto openNow = [] {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                      std::filesystem::directory_iterator()));
    };
    const std::size_t before = openNow();
    std::size_t most = 0;
    {
        const unsigned threads = 2;
        EntryPrefetcher prefetcher(
            archive.path, archive.Jobs(), threads, [&out](const EntryPrefetcher::Job&, FetchedEntry& entry) {
                entry.prepared = out.Prepare({}, entry.buffer.data(), entry.buffer.size());
            });
        for (std::size_t i = 0; i < archive.contents.size(); ++i) {
            FetchedEntry entry = prefetcher.Next();
            ASSERT_TRUE(entry.prepared.Valid()) << i;
            ASSERT_EQ(Text(entry.buffer), archive.contents[i]) << i;
            if (i % 25 == 0) {
                most = std::max(most, openNow() - before);
            }
            prefetcher.Release(std::move(entry));
        }
        EXPECT_LE(most, bound + threads + 2); // the thread's archive handles, the entry in hand
        EXPECT_GT(most, bound / 2);           // and the bound is used: the test measures something
    }
    EXPECT_EQ(openNow(), before);

    // A limit that leaves no descriptors to spare: nothing is written ahead,
    // and every entry still comes, with its bytes.
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 200);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    EXPECT_EQ(EntryPrefetcher::PreparedAhead(), 0u);
    {
        EntryPrefetcher prefetcher(
            archive.path, archive.Jobs(), 2, [&out](const EntryPrefetcher::Job&, FetchedEntry& entry) {
                entry.prepared = out.Prepare({}, entry.buffer.data(), entry.buffer.size());
            });
        for (std::size_t i = 0; i < archive.contents.size(); ++i) {
            FetchedEntry entry = prefetcher.Next();
            ASSERT_FALSE(entry.prepared.Valid()) << i;
            ASSERT_EQ(Text(entry.buffer), archive.contents[i]) << i;
        }
    }
    setrlimit(RLIMIT_NOFILE, &saved);
}
#endif
