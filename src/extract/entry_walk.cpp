#include "extract/entry_walk.h"

#include "extract/host_path.h"
#include "window/frm_big.h"
#include "window/number_text.h"

#include <algorithm>
#include <thread>

namespace archive {

std::int64_t ListedFiles(const SgaTables& t, int numDirectories)
{
    std::int64_t listed = 0;
    for (int d = 0; d < numDirectories; ++d) {
        const SgaDirectory& dir = t.SgaDirectories[static_cast<std::size_t>(d)];
        if (dir.FirstDir <= dir.NextDir && dir.FirstFile < dir.NextFile) {
            listed += dir.NextFile - dir.FirstFile;
        }
    }
    return listed;
}

int WalkedDirectories(const SgaTables& t)
{
    return std::min<int>(t.SgaDataHeader.NumDirectories,
                         static_cast<int>(std::min(t.SgaDirNames.size(), t.SgaDirectories.size())));
}

std::string Overlisted(const SgaTables& t, int numDirectories)
{
    const std::int64_t listed = ListedFiles(t, numDirectories);
    if (listed > 65536 + 4 * (t.SgaDataHeader.NumFiles + 1)) {
        return "the directory rows list " + N(listed) + " files for " + N(t.SgaDataHeader.NumFiles) +
               " file rows";
    }
    return {};
}

std::vector<FileStep> PlanFilePass(const SgaTables& t, int numDirectories)
{
    std::vector<FileStep> plan;
    // One step per file and one per row, counted first: growing a vector of
    // tens of thousands of steps moves every one of them again and again.
    std::size_t steps = 0;
    for (int d = 0; d < numDirectories; ++d) {
        const SgaDirectory& dir = t.SgaDirectories[static_cast<std::size_t>(d)];
        steps += 1 + static_cast<std::size_t>(std::clamp<std::int64_t>(
                         std::int64_t{dir.NextFile} - dir.FirstFile, 0, std::int64_t{1} << 20));
    }
    plan.reserve(std::min<std::size_t>(steps, t.SgaFiles.size() + static_cast<std::size_t>(numDirectories)));
    for (int d = 0; d < numDirectories; ++d) {
        const SgaDirectory& dir = t.SgaDirectories[static_cast<std::size_t>(d)];
        const std::string* dirName = d >= 1 ? &t.SgaDirNames[static_cast<std::size_t>(d - 1)] : nullptr;
        bool hasCase = true;
        bool bareName = false;
        bool doubledFailure = false;
        if (dir.FirstDir < dir.NextDir) {
            bareName = d == 0; // a row with subdirectories
        } else if (dir.FirstDir == dir.NextDir) {
            bareName = d == 0 || *dirName == "."; // a row without subdirectories
            doubledFailure = bareName;
        } else {
            hasCase = false;
        }
        // The row's folder is mapped once for all its files: mapping a path is
        // mapping its folder and its name, joined.
        std::optional<std::filesystem::path::string_type> rowFolder;
        if (hasCase && dir.FirstFile < dir.NextFile) {
            rowFolder = bareName ? std::filesystem::path::string_type() : MapArchiveText(*dirName);
        }
        for (int j = dir.FirstFile; hasCase && j < dir.NextFile; ++j) {
            FileStep step{.kind = FileStep::Kind::Entry, .d = d, .j = j};
            if (j < 0 || static_cast<std::size_t>(j) >= t.SgaFiles.size() ||
                static_cast<std::size_t>(j) >= t.SgaFileNames.size()) {
                step.kind = FileStep::Kind::OutsideTable;
                plan.push_back(std::move(step));
                continue;
            }
            const std::string& bare = t.SgaFileNames[static_cast<std::size_t>(j)];
            step.m = bareName ? bare : *dirName + "\\" + bare;
            auto mapped = MapArchiveTextIn(rowFolder, bare);
            if (!mapped) {
                step.kind = FileStep::Kind::Unsafe;
            } else {
                // A file with no name is still read and logged: only its write fails.
                if (NamesAFolder(step.m)) {
                    step.kind = FileStep::Kind::NoFileName;
                } else {
                    step.target = std::move(*mapped);
                }
                step.file = &t.SgaFiles[static_cast<std::size_t>(j)];
                step.doubledFailure = doubledFailure;
            }
            plan.push_back(std::move(step));
        }
        plan.push_back({.kind = FileStep::Kind::RowEnd, .d = d});
    }
    return plan;
}

std::int64_t ExpectedBytes(const SgaFile& file)
{
    return std::max<std::int64_t>(file.StoredSize == file.ExpandedSize ? file.StoredSize : file.ExpandedSize,
                                  0);
}

EntrySource::EntrySource(const std::string& archivePath, clsZlib& zlib, ArchiveFile& archive,
                         std::vector<EntryPrefetcher::Job> jobs, EntryPrefetcher::Prepare prepare)
    : zlib_(zlib), archive_(archive), jobs_(jobs)
{
    if (std::thread::hardware_concurrency() > 1 && jobs.size() > 1) {
        prefetcher_.emplace(archivePath, std::move(jobs), EntryPrefetcher::DefaultThreads(),
                            std::move(prepare), archive.Identity());
    }
}

FetchedEntry EntrySource::Next()
{
    const EntryPrefetcher::Job& job = jobs_[next_++];
    return prefetcher_ ? prefetcher_->Next() : FetchEntry(archive_, zlib_, *job.file, job.position);
}

void EntrySource::Release(FetchedEntry&& entry)
{
    if (prefetcher_) {
        prefetcher_->Release(std::move(entry));
    }
}

void EntrySource::Release(std::vector<PreparedFile>& folders)
{
    if (prefetcher_) {
        for (PreparedFile& folder : folders) {
            prefetcher_->Release(std::move(folder));
        }
    }
    folders.clear(); // closed here, where no thread fetches
}

bool JobStops(const FrmBig& frm, const JobControl& control)
{
    return control.Cancelled() || frm.PendingClose != FrmBig::CloseRequest::None;
}

} // namespace archive
