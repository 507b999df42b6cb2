#include "extract/entry_fetch.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <new>

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
    : archivePath_(archivePath), jobs_(std::move(jobs)), worker_([this] { Run(); })
{
}

EntryPrefetcher::~EntryPrefetcher()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void EntryPrefetcher::Run()
{
    ArchiveFile archive;
    std::string error;
    archive.Open(PathFromUtf8(archivePath_), error); // if it fails, every entry comes with no bytes
    for (const Job& job : jobs_) {
        FetchedEntry entry;
        try {
            entry = FetchEntry(archive, zlib_, *job.file, job.position);
        } catch (const std::exception& e) {
            entry.refused = e.what();
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || ready_.size() < kAhead; });
        if (stop_) {
            return;
        }
        ready_.push_back(std::move(entry));
        changed_.notify_all();
    }
}

FetchedEntry EntryPrefetcher::Next()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty(); });
    FetchedEntry entry = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return entry;
}

} // namespace archive
