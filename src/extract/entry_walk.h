#pragma once

// The walks the extract commands share: the file pass's order over the
// directory rows (Extract All and the test), and a job's walk over its
// entries with cancel and progress (Extract To and the test).

#include "extract/entry_fetch.h"
#include "extract/job.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace archive {

class FrmBig;

// How many files the file pass would write: the rows that have a case, their ranges added up.
std::int64_t ListedFiles(const SgaTables& t, int numDirectories);

// The directory rows the file pass walks: those with both a name and a record.
int WalkedDirectories(const SgaTables& t);

// Overlapping ranges are allowed, but a small table must not make us write a
// billion files: what is wrong when the rows list far more files than there
// are, or "".
std::string Overlisted(const SgaTables& t, int numDirectories);

// One step of the file pass, in the walk's order.
struct FileStep {
    enum class Kind { Entry, Unsafe, NoFileName, OutsideTable, RowEnd };
    Kind kind;
    int d = 0;
    int j = 0;
    std::string m = {};                             // the file's name as its row places it
    std::filesystem::path::string_type target = {}; // where it goes, as MapArchivePath maps it
    const SgaFile* file = nullptr; // for an Entry, and a NoFileName, which is read all the same
    bool doubledFailure = false;
};

// The file pass's walk. A row's files go into the output root under their bare
// names when the row is row 0, or a row without subdirectories named "."; into
// the row's folder otherwise. A row with FirstDir > NextDir writes nothing.
std::vector<FileStep> PlanFilePass(const SgaTables& t, int numDirectories);

// The bytes an entry is expected to give: what progress counts.
std::int64_t ExpectedBytes(const SgaFile& file);

// Fetches the jobs in order: on a second core when there is one and it pays.
class EntrySource {
  public:
    EntrySource(const std::string& archivePath, clsZlib& zlib, ArchiveFile& archive,
                std::vector<EntryPrefetcher::Job> jobs, EntryPrefetcher::Prepare prepare = {});

    std::size_t Count() const { return jobs_.size(); }
    const SgaFile& FileOf(std::size_t i) const { return *jobs_[i].file; }

    FetchedEntry Next();
    void Release(FetchedEntry&& entry);
    // Hands the folders the writer left to the fetching threads to close.
    void Release(std::vector<PreparedFile>& folders);

  private:
    clsZlib& zlib_;
    ArchiveFile& archive_;
    std::vector<EntryPrefetcher::Job> jobs_;
    std::size_t next_ = 0;
    std::optional<EntryPrefetcher> prefetcher_;
};

// Whether a job must stop before its next entry: the user's cancel, or Exit
// and the close box (between two entries, never inside one).
bool JobStops(const FrmBig& frm, const JobControl& control);

// A job's walk over its entries, in order: before each one it asks JobStops,
// then `done(i, entry)` handles it and returns its archive path, and progress
// goes out. Returns how many entries were not reached.
template <typename Done>
std::int64_t WalkEntries(const FrmBig& frm, const JobControl& control, EntrySource& source,
                         JobProgress& progress, Done done)
{
    progress.totalFiles = static_cast<std::int64_t>(source.Count());
    control.Report(progress);
    for (std::size_t i = 0; i < source.Count(); ++i) {
        if (JobStops(frm, control)) {
            return static_cast<std::int64_t>(source.Count() - i);
        }
        FetchedEntry entry = source.Next();
        progress.current = done(i, entry);
        source.Release(std::move(entry));
        ++progress.files;
        progress.bytes += ExpectedBytes(source.FileOf(i));
        control.Report(progress);
    }
    return 0;
}

} // namespace archive
