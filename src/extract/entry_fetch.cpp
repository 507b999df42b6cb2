#include "extract/entry_fetch.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace archive {

FetchedEntry FetchEntry(ArchiveFile& archive, clsZlib& zlib, const SgaFile& file, std::int64_t position)
{
    FetchedEntry entry;
    entry.stored = std::max<std::int32_t>(file.StoredSize, 0);
    if (archive.IsOpen() && position >= 0 && static_cast<std::uint64_t>(position) <= archive.Size()) {
        entry.got =
            std::min<std::int64_t>(entry.stored, static_cast<std::int64_t>(archive.Size()) - position);
    }
    try {
        entry.buffer = ByteArray(static_cast<std::size_t>(entry.got));
        if (entry.got > 0) {
            archive.Seek(static_cast<std::uint64_t>(position));
            const std::size_t read = archive.ReadSome(entry.buffer.data(), entry.buffer.size());
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

EntryPrefetcher::EntryPrefetcher(const std::string& archivePath, std::vector<Job> jobs)
    : archivePath_(archivePath), jobs_(std::move(jobs))
{
    try {
        worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        finished_ = true; // no second thread: Next fetches every entry itself
    }
}

EntryPrefetcher::~EntryPrefetcher()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    fetcherWakes_.notify_one();
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::size_t EntryPrefetcher::Claim(const Job& job)
{
    const std::int64_t stored = std::max<std::int32_t>(job.file->StoredSize, 0);
    const std::int64_t expanded = std::max<std::int32_t>(job.file->ExpandedSize, 0);
    return Cost(static_cast<std::size_t>(std::max(stored, expanded)));
}

void EntryPrefetcher::Run()
{
    try {
        Fetch();
    } catch (...) {
        // Whatever it was, the writer fetches the rest itself.
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    if (writerSleeps_) {
        writerWakes_.notify_one();
    }
}

void EntryPrefetcher::Fetch()
{
    ArchiveFile archive;
    std::string error;
    if (!archive.Open(PathFromUtf8(archivePath_), error)) {
        return; // the writer's own handle reads them
    }
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        // Room for what the entry claims first, so that what waits stays
        // bounded even while it is fetched; one entry always gets through.
        const std::size_t claim = Claim(jobs_[i]);
        {
            std::unique_lock lock(mutex_);
            while (!stop_ && inFlight_ > 0 && inFlight_ + claim > kAheadBytes) {
                if (writerSleeps_ && !ready_.empty()) {
                    writerWakes_.notify_one();
                }
                fetcherSleeps_ = true;
                fetcherWakes_.wait(lock);
                fetcherSleeps_ = false;
            }
            if (stop_) {
                return;
            }
            inFlight_ += claim;
        }
        FetchedEntry entry;
        try {
            entry = FetchEntry(archive, zlib_, *jobs_[i].file, jobs_[i].position);
        } catch (const std::exception& e) {
            entry = FetchedEntry{};
            entry.refused = e.what();
        }
        const std::size_t cost = Cost(entry.buffer.size());
        const bool last = i + 1 == jobs_.size();
        const bool slowNext = !last && Claim(jobs_[i + 1]) >= kBatchBytes;
        std::lock_guard lock(mutex_);
        inFlight_ = inFlight_ - claim + cost;
        readyBytes_ += cost;
        ready_.push_back(std::move(entry));
        if (writerSleeps_ &&
            (last || slowNext || ready_.size() >= kBatchEntries || readyBytes_ >= kBatchBytes)) {
            writerWakes_.notify_one();
        }
    }
}

FetchedEntry EntryPrefetcher::FetchHere()
{
    const Job& job = jobs_[delivered_];
    if (!ownArchive_.IsOpen()) {
        std::string error;
        ownArchive_.Open(PathFromUtf8(archivePath_), error); // if it fails, the entry comes with no bytes
    }
    try {
        return FetchEntry(ownArchive_, zlib_, *job.file, job.position);
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
    released_ = 0;
    if (fetcherSleeps_) {
        fetcherWakes_.notify_one();
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
        while (ready_.empty() && !finished_) {
            writerSleeps_ = true;
            writerWakes_.wait(lock);
            writerSleeps_ = false;
        }
        taken_.swap(ready_);
        readyBytes_ = 0;
    }
    if (taken_.empty()) {
        // The second thread has ended without this entry: fetch it here.
        FetchedEntry entry = FetchHere();
        ++delivered_;
        return entry;
    }
    FetchedEntry entry = std::move(taken_.front());
    taken_.pop_front();
    ++delivered_;
    // The entry about to be written no longer counts as waiting; its bytes go
    // back in bulk, so the threads do not meet per entry.
    released_ += Cost(entry.buffer.size());
    if (released_ >= kReleaseBytes) {
        std::unique_lock lock(mutex_);
        GiveBack(lock);
    }
    return entry;
}

} // namespace archive
