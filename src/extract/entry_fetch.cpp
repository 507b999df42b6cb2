#include "extract/entry_fetch.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <system_error>
#include <unordered_map>

namespace archive {

FetchedEntry FetchEntry(ArchiveFile& archive, clsZlib& zlib, const SgaFile& file, std::int64_t position,
                        const ReadWindow* window)
{
    FetchedEntry entry;
    entry.stored = std::max<std::int32_t>(file.StoredSize, 0);
    if (archive.IsOpen() && position >= 0 && static_cast<std::uint64_t>(position) <= archive.Size()) {
        entry.got =
            std::min<std::int64_t>(entry.stored, static_cast<std::int64_t>(archive.Size()) - position);
    }
    try {
        entry.buffer = ByteArray::ForOverwrite(static_cast<std::size_t>(entry.got)); // cut to what is read
        if (entry.got > 0 && window != nullptr &&
            window->Holds(static_cast<std::uint64_t>(position), entry.buffer.size())) {
            std::memcpy(entry.buffer.data(),
                        window->bytes + (static_cast<std::uint64_t>(position) - window->start),
                        entry.buffer.size());
        } else if (entry.got > 0) {
            const std::size_t read = archive.ReadAt(static_cast<std::uint64_t>(position), entry.buffer.data(),
                                                    entry.buffer.size());
            if (read != entry.buffer.size()) {
                entry.buffer.ShrinkTo(read);
                entry.got = static_cast<std::int64_t>(read);
            }
        }
        entry.compressed = file.StoredSize != file.ExpandedSize;
        if (entry.compressed) {
            entry.status = zlib.DecompressByteArray(entry.buffer, file.ExpandedSize);
        }
    } catch (const ZlibUsageError& e) {
        entry.refused = e.what();
    } catch (const std::bad_alloc&) {
        entry.refused = "out of memory";
    }
    return entry;
}

unsigned EntryPrefetcher::DefaultThreads()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

std::size_t EntryPrefetcher::PreparedAhead()
{
#ifdef _WIN32
    return 256; // nothing is written ahead here: the entries wait with their bytes
#else
    // Below 288 the process keeps every descriptor for what it opens in
    // turn: nothing is written ahead.
    const std::size_t limit = OpenFileLimit();
    return limit < 288 ? 0 : std::min<std::size_t>(std::max<std::size_t>((limit - 256) / 4, 16), 16384);
#endif
}

EntryPrefetcher::EntryPrefetcher(const std::string& archivePath, std::vector<Job> jobs, unsigned threads,
                                 Prepare prepare, FileIdentity loaded)
    : archivePath_(archivePath), loaded_(loaded), jobs_(std::move(jobs)), prepare_(std::move(prepare)),
      aheadEntries_(std::numeric_limits<std::size_t>::max())
{
    if (prepare_) {
        manyOpenFiles_.emplace();
        aheadEntries_ = PreparedAhead();
    }
    FindSharedBytes();
    if (aheadEntries_ == 0) { // no descriptors to spare: the entries wait with their bytes alone
        prepare_ = {};
        aheadEntries_ = std::numeric_limits<std::size_t>::max();
    }
    // Fewer threads than asked, or none at all, is fine: Next fetches what
    // no thread does. Nothing that fails here (no thread to be had, no
    // memory for one) may leave the constructor while a thread runs.
    try {
        workers_.reserve(threads);
    } catch (const std::bad_alloc&) {
        return;
    }
    for (unsigned i = 0; i < threads && i < jobs_.size(); ++i) {
        std::lock_guard lock(mutex_);
        try {
            workers_.emplace_back([this] { RunThread(); });
            ++fetchersRunning_;
        } catch (const std::exception&) {
            break; // std::system_error, or std::bad_alloc for the thread's state
        }
    }
}

EntryPrefetcher::~EntryPrefetcher()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    fetcherWakes_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void EntryPrefetcher::FindSharedBytes()
{
    struct Key {
        std::int64_t position;
        std::int32_t stored;
        std::int32_t expanded;
        bool operator==(const Key&) const = default;
    };
    struct Hash {
        std::size_t operator()(const Key& key) const
        {
            return std::hash<std::int64_t>()(key.position * 1000003 + key.stored) ^
                   (std::hash<std::int32_t>()(key.expanded) << 1);
        }
    };
    std::unordered_map<Key, std::size_t, Hash> first;
    first.reserve(jobs_.size());
    shareOf_.assign(jobs_.size(), -1);
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        const Key key{jobs_[i].position, jobs_[i].file->StoredSize, jobs_[i].file->ExpandedSize};
        const auto [at, fresh] = first.emplace(key, i);
        if (fresh) {
            continue;
        }
        std::int32_t& share = shareOf_[at->second];
        if (share < 0) {
            share = static_cast<std::int32_t>(shares_.size());
            shares_.push_back({1, false, nullptr});
        }
        shareOf_[i] = share;
        ++shares_[static_cast<std::size_t>(share)].users;
    }
}

namespace {

FetchedEntry CopyOf(const FetchedEntry& kept)
{
    FetchedEntry copy;
    copy.buffer = ByteArray::FromBytes(kept.buffer.data(), kept.buffer.size());
    copy.stored = kept.stored;
    copy.got = kept.got;
    copy.compressed = kept.compressed;
    copy.status = kept.status;
    copy.refused = kept.refused;
    return copy;
}

} // namespace

FetchedEntry EntryPrefetcher::FetchJob(std::size_t index, ArchiveFile& archive, clsZlib& zlib,
                                       const ReadWindow* window)
{
    const Job& job = jobs_[index];
    if (shareOf_.empty() || shareOf_[index] < 0) {
        return FetchEntry(archive, zlib, *job.file, job.position, window);
    }
    std::unique_lock lock(sharesMutex_);
    SharedBytes& share = shares_[static_cast<std::size_t>(shareOf_[index])];
    shareFetched_.wait(lock, [&share] { return !share.fetching; });
    if (share.kept) {
        const std::shared_ptr<const FetchedEntry> kept = share.kept;
        if (--share.users == 0) {
            share.kept.reset();
        }
        lock.unlock();
        return CopyOf(*kept);
    }
    share.fetching = true;
    lock.unlock();
    FetchedEntry entry;
    try {
        entry = FetchEntry(archive, zlib, *job.file, job.position, window);
    } catch (...) {
        lock.lock();
        share.fetching = false; // another job naming these bytes fetches them itself
        shareFetched_.notify_all();
        throw;
    }
    std::shared_ptr<const FetchedEntry> kept;
    if (share.users > 1) {
        try {
            kept = std::make_shared<const FetchedEntry>(CopyOf(entry));
        } catch (const std::bad_alloc&) {
            // No room for a copy: the next job naming these bytes fetches them again.
        }
    }
    lock.lock();
    share.fetching = false;
    --share.users;
    share.kept = std::move(kept);
    shareFetched_.notify_all();
    return entry;
}

ReadWindow EntryPrefetcher::ReadRun(const Run& run, ArchiveFile& archive, unsigned char* buffer) const
{
    ReadWindow window;
    if (run.count < 2 || buffer == nullptr) {
        return window;
    }
    const std::uint64_t size = archive.Size();
    std::uint64_t first = size;
    std::uint64_t end = 0;
    for (std::size_t index = run.first; index < run.first + run.count; ++index) {
        const Job& job = jobs_[index];
        if (job.position < 0 || static_cast<std::uint64_t>(job.position) >= size ||
            job.file->StoredSize <= 0) {
            continue; // nothing to read, or nothing there to read
        }
        const auto position = static_cast<std::uint64_t>(job.position);
        first = std::min(first, position);
        end =
            std::max(end, position + std::min<std::uint64_t>(static_cast<std::uint32_t>(job.file->StoredSize),
                                                             size - position));
    }
    if (end <= first || end - first > kWindowBytes) {
        return window; // each is read alone
    }
    window.start = first;
    window.bytes = buffer;
    window.length = archive.ReadAt(first, buffer, static_cast<std::size_t>(end - first));
    return window;
}

std::size_t EntryPrefetcher::Claim(const Job& job)
{
    const std::int64_t stored = std::max<std::int32_t>(job.file->StoredSize, 0);
    const std::int64_t expanded = std::max<std::int32_t>(job.file->ExpandedSize, 0);
    return Cost(static_cast<std::size_t>(std::max(stored, expanded)));
}

void EntryPrefetcher::RunThread()
{
    Run holding;
    try {
        Fetch(holding);
    } catch (...) {
        // Whatever it was, the writer fetches what this thread left.
    }
    std::lock_guard lock(mutex_);
    for (std::size_t index = holding.first; index < holding.first + holding.count; ++index) {
        // Claimed and never filled: the writer must not wait for it.
        Slot& slot = slots_[index - (claimed_ - slots_.size())];
        slot.abandoned = true;
        ++readyCount_;
        inFlight_ -= Claim(jobs_[index]);
        --inFlightEntries_;
    }
    --fetchersRunning_;
    if (writerSleeps_) {
        writerWakes_.notify_one();
    }
}

bool EntryPrefetcher::BatchReady() const
{
    if (slots_.empty() || !slots_.front().Ready()) {
        return false; // the writer waits for the entry at the front
    }
    return readyCount_ >= kBatchEntries || readyBytes_ >= kBatchBytes || claimed_ == jobs_.size() ||
           Claim(jobs_[claimed_]) >= kBatchBytes || fetchersAsleep_ > 0;
}

void EntryPrefetcher::Fetch(Run& holding)
{
    ArchiveFile archive;
    std::string error;
    if (!archive.Open(PathFromUtf8(archivePath_), error, loaded_)) {
        return; // the others, or the writer's own handle, read them
    }
    clsZlib zlib;
    // Where runs of small entries are read in one go; without it each is read alone.
    const std::unique_ptr<unsigned char[]> windowBuffer(new (std::nothrow) unsigned char[kWindowBytes]);
    std::vector<PreparedFile> closing;
    std::vector<FetchedEntry> fetched;
    fetched.reserve(kRunEntries);
    for (;;) {
        std::size_t claim = 0;
        bool claimed = false;
        {
            // Room for what the entry claims first, so that what waits stays
            // bounded even while it is fetched; one entry always gets through.
            // Files the writer is done with are closed first.
            std::unique_lock lock(mutex_);
            for (;;) {
                if (!toClose_.empty()) {
                    closing.swap(toClose_);
                    break;
                }
                if (stop_) {
                    return;
                }
                if (claimed_ >= jobs_.size()) {
                    // Nothing left to fetch: stay to close what the writer hands back.
                    ++fetchersAsleep_;
                    fetcherWakes_.wait(lock);
                    --fetchersAsleep_;
                    continue;
                }
                claim = Claim(jobs_[claimed_]);
                if (inFlight_ == 0 ||
                    (inFlight_ + claim <= kAheadBytes && inFlightEntries_ + closing_ < aheadEntries_)) {
                    claimed = true;
                    break;
                }
                ++fetchersAsleep_;
                if (writerSleeps_ && BatchReady()) {
                    writerWakes_.notify_one();
                }
                fetcherWakes_.wait(lock);
                --fetchersAsleep_;
            }
            if (claimed) {
                // The entry, and the small ones after it while there is room.
                holding = {claimed_, 0};
                std::size_t runBytes = 0;
                do {
                    slots_.emplace_back();
                    ++claimed_;
                    ++holding.count;
                    runBytes += claim;
                    inFlight_ += claim;
                    ++inFlightEntries_;
                    if (holding.count == kRunEntries || claimed_ >= jobs_.size()) {
                        break;
                    }
                    claim = Claim(jobs_[claimed_]);
                } while (runBytes + claim <= kRunBytes && inFlight_ + claim <= kAheadBytes &&
                         inFlightEntries_ + closing_ < aheadEntries_);
            }
        }
        if (!claimed) {
            CloseHandedOver(closing);
            continue;
        }
        fetched.clear();
        const ReadWindow window = ReadRun(holding, archive, windowBuffer.get());
        for (std::size_t index = holding.first; index < holding.first + holding.count; ++index) {
            FetchedEntry& entry = fetched.emplace_back();
            try {
                entry = FetchJob(index, archive, zlib, &window);
                if (prepare_) {
                    prepare_(jobs_[index], entry);
                }
            } catch (const std::exception& e) {
                // The claimed slot must be filled whatever happens: the writer
                // waits for it while another thread is running.
                entry = FetchedEntry{};
                try {
                    entry.refused = e.what();
                } catch (const std::bad_alloc&) {
                    entry.refused = "out of memory"; // short enough to need no allocation
                }
            }
        }
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < holding.count; ++i) {
            const std::size_t index = holding.first + i;
            const std::size_t cost = Cost(fetched[i].buffer.size());
            inFlight_ = inFlight_ - Claim(jobs_[index]) + cost;
            readyBytes_ += cost;
            ++readyCount_;
            slots_[index - (claimed_ - slots_.size())].entry = std::move(fetched[i]);
        }
        holding = {};
        if (writerSleeps_ && BatchReady()) {
            writerWakes_.notify_one();
        }
    }
}

FetchedEntry EntryPrefetcher::FetchHere()
{
    if (!ownArchive_.IsOpen()) {
        std::string error;
        if (!ownArchive_.Open(PathFromUtf8(archivePath_), error, loaded_) &&
            error == ArchiveFile::kChangedSinceLoad) {
            FetchedEntry entry;
            entry.refused = error;
            return entry;
        }
        // Any other failure: the entry comes with no bytes, reported as short.
    }
    try {
        return FetchJob(delivered_, ownArchive_, zlib_);
    } catch (const std::exception& e) {
        FetchedEntry entry;
        entry.refused = e.what();
        return entry;
    }
}

void EntryPrefetcher::GiveBack(std::unique_lock<std::mutex>& lock)
{
    (void)lock;
    inFlight_ -= released_;
    inFlightEntries_ -= releasedEntries_;
    released_ = 0;
    releasedEntries_ = 0;
    if (fetchersRunning_ == 0) {
        doneWith_.clear(); // no thread is left to close them
    } else if (!doneWith_.empty()) {
        closing_ += doneWith_.size();
        if (toClose_.empty()) {
            toClose_.swap(doneWith_);
        } else {
            std::move(doneWith_.begin(), doneWith_.end(), std::back_inserter(toClose_));
            doneWith_.clear();
        }
    }
    if (fetchersAsleep_ > 0) {
        fetcherWakes_.notify_all();
    }
}

void EntryPrefetcher::CloseHandedOver(std::vector<PreparedFile>& files)
{
    const std::size_t count = files.size();
    files.clear(); // each closes its descriptor
    std::lock_guard lock(mutex_);
    closing_ -= count;
}

void EntryPrefetcher::Release(FetchedEntry&& entry)
{
    Release(std::move(entry.prepared));
}

void EntryPrefetcher::Release(PreparedFile&& file)
{
    if (!file.Valid()) {
        return;
    }
    try {
        doneWith_.push_back(std::move(file));
    } catch (const std::bad_alloc&) {
        file.Close(); // here, then
    }
}

FetchedEntry EntryPrefetcher::Next()
{
    if (delivered_ >= jobs_.size()) {
        FetchedEntry none;
        none.refused = "no more entries";
        return none;
    }
    if (taken_.empty()) {
        std::unique_lock lock(mutex_);
        GiveBack(lock);
        while ((slots_.empty() || !slots_.front().Ready()) && fetchersRunning_ > 0) {
            writerSleeps_ = true;
            writerWakes_.wait(lock);
            writerSleeps_ = false;
        }
        while (!slots_.empty() && slots_.front().Ready()) {
            Slot& ready = slots_.front();
            if (ready.entry) {
                readyBytes_ -= Cost(ready.entry->buffer.size());
            }
            --readyCount_;
            taken_.push_back(std::move(ready));
            slots_.pop_front();
        }
        if (taken_.empty()) {
            // No thread is left to fetch this entry: it is the writer's now.
            if (slots_.empty()) {
                ++claimed_;
            } else {
                slots_.pop_front();
            }
            lock.unlock();
            FetchedEntry entry = FetchHere();
            ++delivered_;
            return entry;
        }
    }
    Slot slot = std::move(taken_.front());
    taken_.pop_front();
    if (!slot.entry) {
        FetchedEntry entry = FetchHere(); // its thread stopped before it was fetched
        ++delivered_;
        return entry;
    }
    FetchedEntry entry = std::move(*slot.entry);
    ++delivered_;
    // The entry about to be written no longer counts as waiting; its bytes go
    // back in bulk, so the threads do not meet per entry.
    released_ += Cost(entry.buffer.size());
    ++releasedEntries_;
    if (released_ >= kReleaseBytes || releasedEntries_ >= aheadEntries_ / 4) {
        std::unique_lock lock(mutex_);
        GiveBack(lock);
    }
    return entry;
}

} // namespace archive
