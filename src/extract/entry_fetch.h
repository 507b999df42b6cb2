#pragma once

#include "compression/cls_zlib.h"
#include "platform/archive_file.h"
#include "platform/open_file_limit.h"
#include "platform/output_tree.h"
#include "sga/sga_tables.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
    PreparedFile prepared;   // the buffer's bytes already written under no name, if they were
    // The entry's bytes: in `buffer`, or only in `prepared` once that holds
    // them (the buffer is then given up on the fetching thread).
    std::size_t Size() const { return buffer.empty() ? prepared.Size() : buffer.size(); }
};

// Bytes of the archive read in one go for several entries that lie close
// together: small entries then cost one read between them, not one each.
struct ReadWindow {
    std::uint64_t start = 0;
    std::size_t length = 0; // bytes read from `start`
    const unsigned char* bytes = nullptr;
    // Whether [position, position + count) lies within what was read.
    bool Holds(std::uint64_t position, std::size_t count) const
    {
        return position >= start && position - start <= length && count <= length - (position - start);
    }
};

// Reads the stored bytes of `file` at `position` as far as the archive holds
// them (never past its end: the buffer then holds just the bytes that exist)
// and inflates them when the entry is compressed. Bytes that `window` holds
// are taken from it rather than read again.
FetchedEntry FetchEntry(ArchiveFile& archive, clsZlib& zlib, const SgaFile& file, std::int64_t position,
                        const ReadWindow* window = nullptr);

// Fetches a list of entries on other threads, ahead of the thread that
// writes them, and hands them over in order: inflating the next entries
// overlaps with writing the earlier ones, and with two or more cores several
// entries inflate at once (zlib's inflate is the slow part of an extraction).
//
// What waits is bounded by bytes, not entries: the entries fetched and not
// yet taken never hold more than kAheadBytes, whatever they claim (an entry
// larger than that waits until it is the only one). The threads meet rarely:
// the writer takes every waiting entry in one go and gives their bytes back
// every kReleaseBytes, or at once for an entry larger than that; each wakes
// another only when that one sleeps, and a sleeping writer is woken once a
// batch is ready, not per entry.
//
// Rows that name the same stored bytes (the same position and sizes) are
// read and inflated once: the first to be fetched keeps a copy of what it
// gave until the last of them is fetched, and the others copy it. So an
// archive whose 32,767 rows point at one stream costs one inflate of it.
//
// Nothing that goes wrong on a fetching thread ends the process: an entry
// whose fetch throws comes with the reason in `refused`, and if the threads
// cannot run or stop early, Next fetches the missing entries itself.
class EntryPrefetcher {
  public:
    struct Job {
        const SgaFile* file;
        std::int64_t position;
        // Where an extraction writes the entry's file, for `prepare`: a
        // folder relative to its output tree's root (none: the root), which
        // the caller keeps while the prepare runs; the jobs of one folder share it.
        const std::filesystem::path* folder = nullptr;
    };

    // Each fetching thread has its own archive handle and its own
    // decompression state: nothing the window's thread frees (Exit releases
    // the window's Zlib) can be in use on it. Next uses the prefetcher's own
    // state only for the entries that no thread fetched.
    //
    // `prepare`, when given, runs on the fetching thread after each fetch:
    // an extraction writes the entry's file there, under no name yet. While
    // it is given, no more than PreparedAhead() entries wait at a time (each
    // may hold a file descriptor), and the open-file limit is raised as far
    // as the program allowed (ManyOpenFiles).
    using Prepare = std::function<void(const Job&, FetchedEntry&)>;
    //
    // `loaded`, when known, is the identity of the file the jobs were
    // planned from: a thread that finds another file under the path fetches
    // nothing from it (Next refuses those entries with
    // ArchiveFile::kChangedSinceLoad).
    EntryPrefetcher(const std::string& archivePath, std::vector<Job> jobs,
                    unsigned threads = DefaultThreads(), Prepare prepare = {}, FileIdentity loaded = {});
    ~EntryPrefetcher();
    EntryPrefetcher(const EntryPrefetcher&) = delete;
    EntryPrefetcher& operator=(const EntryPrefetcher&) = delete;

    // The next entry, in job order (waits for it).
    FetchedEntry Next();
    // The writer is done with an entry: its file, if it has one, is closed
    // on a fetching thread rather than on the writer's, where each file's
    // time counts. Files not closed when the prefetcher ends are closed then.
    void Release(FetchedEntry&& entry);
    // The same for a descriptor the writer is done with (a folder it left).
    void Release(PreparedFile&& file);

    // One fetching thread per core, at most four.
    static unsigned DefaultThreads();

    static constexpr std::size_t kAheadBytes = std::size_t{64} << 20;
    static constexpr std::size_t kReleaseBytes = kAheadBytes / 4;
    // Small entries a thread fetches together, when they lie within this
    // many bytes of the archive, are read in one go.
    static constexpr std::size_t kWindowBytes = std::size_t{512} << 10;
    // A sleeping writer is woken once this many entries or bytes are ready.
    static constexpr std::size_t kBatchEntries = 64;
    static constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
    // Entries that may wait written under no name: a quarter of the descriptors
    // this process may open beyond 256 kept for everything else, between 16
    // and 16,384; 0 (nothing is written ahead, `prepare` is not called)
    // where the limit is below 288.
    static std::size_t PreparedAhead();

  private:
    // A claimed entry's place: filled by the thread that claimed it, or
    // abandoned when that thread stops without filling it (Next then fetches
    // it itself).
    struct Slot {
        std::optional<FetchedEntry> entry;
        bool abandoned = false;
        bool Ready() const { return entry.has_value() || abandoned; }
    };

    // Jobs one thread has claimed together and not filled yet.
    struct Run {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    // Small entries are claimed in runs of consecutive jobs, so that the
    // threads meet once per run rather than twice per entry, and a thread
    // writes ahead the files of one folder together.
    static constexpr std::size_t kRunEntries = 16;
    static constexpr std::size_t kRunBytes = std::size_t{256} << 10;

    void RunThread();
    void Fetch(Run& holding);
    // What an entry is counted as while it waits: its bytes and its bookkeeping.
    static std::size_t Cost(std::size_t bytes) { return bytes + sizeof(FetchedEntry); }
    static std::size_t Claim(const Job& job);
    FetchedEntry FetchHere();
    // Fetches job `index` with the given handle and state, or copies what
    // an earlier job naming the same bytes gave.
    FetchedEntry FetchJob(std::size_t index, ArchiveFile& archive, clsZlib& zlib,
                          const ReadWindow* window = nullptr);
    // Reads the bytes of the jobs of `run` in one go into `buffer` (of
    // kWindowBytes) when there are several and they lie close enough.
    ReadWindow ReadRun(const Run& run, ArchiveFile& archive, unsigned char* buffer) const;
    // Jobs that name the same stored bytes as another share one fetch.
    void FindSharedBytes();
    // Gives the bytes of the entries handed out back to the bound, and the
    // files done with over to the fetching threads (the lock is held).
    void GiveBack(std::unique_lock<std::mutex>& lock);
    // Closes the files the writer handed over, outside the lock.
    void CloseHandedOver(std::vector<PreparedFile>& files);
    // Whether the writer, asleep, should be woken now (the lock is held).
    bool BatchReady() const;

    std::optional<ManyOpenFiles> manyOpenFiles_; // while files are written ahead
    std::string archivePath_;
    FileIdentity loaded_;
    clsZlib zlib_;
    std::vector<Job> jobs_;
    Prepare prepare_;
    std::size_t aheadEntries_; // how many entries may wait at most

    std::mutex mutex_;
    std::condition_variable fetcherWakes_;
    std::condition_variable writerWakes_;
    // Guarded by mutex_:
    std::size_t claimed_ = 0; // jobs before this one belong to a thread or the writer
    // The entries from delivered_ + taken_.size() up to claimed_, in job
    // order; an entry still being fetched is empty.
    std::deque<Slot> slots_;
    std::size_t readyCount_ = 0;      // filled slots
    std::size_t readyBytes_ = 0;      // of filled slots, for the batch rule
    std::size_t inFlight_ = 0;        // bytes fetched (or being fetched) and not given back by the writer
    std::size_t inFlightEntries_ = 0; // the entries those bytes belong to
    unsigned fetchersAsleep_ = 0;
    unsigned fetchersRunning_ = 0;
    bool writerSleeps_ = false;
    bool stop_ = false;
    std::vector<PreparedFile> toClose_; // handed over by the writer, for a fetching thread to close
    std::size_t closing_ = 0;           // files handed over and not closed yet: they hold descriptors

    // The writer's own:
    std::deque<Slot> taken_;
    std::size_t released_ = 0; // bytes handed out since the writer last gave them back
    std::size_t releasedEntries_ = 0;
    std::size_t delivered_ = 0;
    std::vector<PreparedFile> doneWith_; // to hand over at the next GiveBack
    ArchiveFile ownArchive_;             // for fetching here, when no thread fetched an entry

    // Bytes named by more than one job: each such job's share, the others
    // -1 (set before the threads start, read only after).
    struct SharedBytes {
        std::size_t users = 0; // jobs naming them that are not fetched yet
        bool fetching = false;
        std::shared_ptr<const FetchedEntry> kept; // what the first fetch gave, while others need it
    };
    std::vector<std::int32_t> shareOf_;
    std::vector<SharedBytes> shares_; // guarded by sharesMutex_
    std::mutex sharesMutex_;
    std::condition_variable shareFetched_;

    std::vector<std::thread> workers_;
};

} // namespace archive
