#include "extract/extract.h"

#include "extract/entry_damage.h"
#include "extract/entry_walk.h"
#include "extract/extractor.h"
#include "extract/host_path.h"
#include "platform/text_encoding.h"
#include "window/frm_big.h"
#include "window/number_text.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_set>

namespace archive {

namespace {

std::string_view FolderNameOf(const SgaTables& t, const SetFile& file)
{
    return file.directory < 0 || static_cast<std::size_t>(file.directory) >= t.SgaDirNames.size()
               ? std::string_view()
               : std::string_view(t.SgaDirNames[static_cast<std::size_t>(file.directory)]);
}

std::string_view FileNameOf(const SgaTables& t, const SetFile& file)
{
    return file.row < 0 || static_cast<std::size_t>(file.row) >= t.SgaFileNames.size()
               ? std::string_view()
               : std::string_view(t.SgaFileNames[static_cast<std::size_t>(file.row)]);
}

// Puts the file's archive path in `path`, reusing its room.
void AssignSetFilePath(const SgaTables& t, const SetFile& file, std::string& path)
{
    const std::string_view folder = FolderNameOf(t, file);
    path.assign(folder).append(folder.empty() ? 0 : 1, '\\').append(FileNameOf(t, file));
}

// A set file's archive path, for a failure's report.
std::string SetFilePath(const SgaTables& t, const SetFile& file)
{
    std::string path;
    AssignSetFilePath(t, file, path);
    return path;
}

} // namespace

SetReport ExtractSet(FrmBig& frm, const ExtractionSet& set, const SetDestination& where,
                     const JobControl& control)
{
    SetReport report;
    report.refused = true;
    if (!JobMayStart(frm, "its files can be listed but not extracted")) {
        return report;
    }
    ExtractingScope busy(frm);
    Extractor x(frm);
    x.AskWhenExisting(control.existing);
    if (!x.OpenArchive()) {
        return report;
    }
    if (where.outputRoot ? !x.PrepareOutputRoot() : !x.UseDestination(where.folder)) {
        return report;
    }
    report.refused = false;
    std::error_code absoluteError;
    report.destination = std::filesystem::absolute(x.RootHost(), absoluteError).lexically_normal();
    const SgaTables& t = frm.Sga;

    // The files are planned first, so that their entries are read, inflated
    // and written under no name yet on the other cores while this thread
    // makes the folders. What planning finds wrong is reported after the
    // folders, in the order it always was.
    std::vector<const SetFile*> files;
    files.reserve(set.files.size());
    for (const SetFile& file : set.files) {
        files.push_back(&file);
    }
    // Row order is the archive's data order in practice: reads stay sequential.
    std::stable_sort(files.begin(), files.end(),
                     [](const SetFile* a, const SetFile* b) { return a->row < b->row; });
    using HostText = std::filesystem::path::string_type;
    struct Planned {
        const SetFile* file;
        HostText target;
    };
    std::vector<Planned> planned;
    planned.reserve(files.size());
    std::vector<std::function<void()>> planProblems;
    // Files of one folder come together: its path is mapped once for them.
    int lastFolder = -1;
    std::optional<HostText> lastFolderMapped;
    bool folderMapped = false;
    JobProgress progress;
    for (const SetFile* pointer : files) {
        const SetFile& file = *pointer;
        if (file.row < 0 || static_cast<std::size_t>(file.row) >= t.SgaFiles.size()) {
            planProblems.push_back([&x, &report, &t, &file] {
                const std::string path = SetFilePath(t, file);
                x.Error(path + ": file row " + N(file.row) + " is outside the file table");
                report.failed.push_back({path, x.LastProblem()});
            });
            continue;
        }
        const std::string_view name = FileNameOf(t, file);
        if (name.empty() || name.back() == '\\') {
            planProblems.push_back([&x, &report, &t, &file] {
                const std::string entry = NameOfEntry(file.row, SetFilePath(t, file));
                x.Error(entry + " has no file name: a folder cannot be written as a file");
                report.failed.push_back({entry, x.LastProblem()});
            });
            continue;
        }
        if (!folderMapped || file.directory != lastFolder) {
            lastFolder = file.directory;
            lastFolderMapped = MapArchiveText(FolderNameOf(t, file));
            folderMapped = true;
        }
        // A name may hold "\\" itself: the folders it names are mapped as any other.
        const std::size_t last = name.find_last_of("\\/");
        auto mapped = last == std::string_view::npos ? MapArchiveTextIn(lastFolderMapped, name)
                                                     : MapArchiveText(SetFilePath(t, file));
        if (!mapped || mapped->empty()) {
            planProblems.push_back([&x, &report, &t, &file] {
                const std::string path = SetFilePath(t, file);
                x.Unsafe(path);
                report.failed.push_back({path, x.LastProblem()});
            });
            continue;
        }
        planned.push_back({&file, std::move(*mapped)});
    }
    // One target, one file: the first row in row order. Targets are compared
    // by their hashes, sorted, and their texts only where hashes meet, so a
    // set of distinct paths (nearly every one) costs no map.
    std::vector<int> firstRowOf(planned.size(), -1); // of a target an earlier row took
    {
        std::vector<std::pair<std::size_t, std::size_t>> byHash; // hash, place in `planned`
        byHash.reserve(planned.size());
        const std::hash<std::basic_string_view<HostText::value_type>> hash;
        for (std::size_t i = 0; i < planned.size(); ++i) {
            byHash.emplace_back(hash(planned[i].target), i);
        }
        std::sort(byHash.begin(), byHash.end());
        for (std::size_t run = 0; run < byHash.size();) {
            std::size_t end = run + 1;
            while (end < byHash.size() && byHash[end].first == byHash[run].first) {
                ++end;
            }
            for (std::size_t a = run; a < end; ++a) { // places ascend: the first is the earliest row
                const std::size_t first = byHash[a].second;
                if (firstRowOf[first] >= 0) {
                    continue; // taken by an earlier one, which marked the rest
                }
                for (std::size_t b = a + 1; b < end; ++b) {
                    const std::size_t later = byHash[b].second;
                    if (firstRowOf[later] < 0 && planned[later].target == planned[first].target) {
                        firstRowOf[later] = planned[first].file->row;
                    }
                }
            }
            run = end;
        }
    }
    FileFolders fileFolders(x); // before the source: its jobs point into it
    std::vector<EntryPrefetcher::Job> jobs;
    jobs.reserve(planned.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < planned.size(); ++i) {
        const SetFile& file = *planned[i].file;
        if (firstRowOf[i] >= 0) {
            if (firstRowOf[i] != file.row) { // the same path twice in the table: the first row wins
                planProblems.push_back([&report, &t, &file, first = firstRowOf[i]] {
                    report.skipped.push_back(
                        {SetFilePath(t, file), "file row " + N(first) + " has the same path"});
                });
            }
            continue;
        }
        if (kept != i) {
            planned[kept] = std::move(planned[i]);
        }
        const SgaFile& row = t.SgaFiles[static_cast<std::size_t>(file.row)];
        jobs.push_back({&row, EntryPosition(t, row), fileFolders.Of(planned[kept].target)});
        progress.totalBytes += ExpectedBytes(row);
        ++kept;
    }
    planned.resize(kept, {nullptr, {}});
    EntrySource source(frm.ArchivePath, x.Zlib(), x.archive(), std::move(jobs), x.Preparer());

    // The folders in the order of their rows, as the files that wait for
    // them come. A name two rows list is made by the first and found by the
    // second; one that fails is reported once.
    OutputTree::FolderPass folderPass = x.StartFolderPass(); // as in ExtractAll
    std::vector<int> folders = set.folders;
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::unordered_set<std::string_view> failedFolders;
    for (const int row : folders) {
        if (row < 0 || static_cast<std::size_t>(row) >= t.SgaDirNames.size()) {
            continue;
        }
        const std::string& folder = t.SgaDirNames[static_cast<std::size_t>(row)];
        if (folder.empty() || failedFolders.count(folder) != 0) {
            continue;
        }
        const auto mapped = MapArchivePath(folder);
        bool failed = !mapped;
        if (failed) {
            x.Unsafe(folder);
        } else if (!mapped->empty()) {
            x.MakeFolderIfMissing(*mapped, folder, failed);
        }
        if (failed) {
            report.failed.push_back({folder, x.LastProblem()});
            failedFolders.insert(folder);
        }
    }
    folderPass.End();
    x.CollectRetiredFolders(); // closed on the fetching threads, as in ExtractAll
    for (const std::function<void()>& problem : planProblems) {
        problem();
    }
    std::string path; // of the entry being written
    report.notReached = WalkEntries(
        frm, control, source, progress, [&](std::size_t i, FetchedEntry& entry) -> const std::string& {
            const SetFile& file = *planned[i].file;
            const SgaFile& row = source.FileOf(i);
            AssignSetFilePath(t, file, path);
            frm.sText(N(EntryPosition(t, row)) + ": " + path);
            const EntryDamage damage = JudgeEntry(entry, row.ExpandedSize);
            switch (x.WriteEntry(planned[i].target, entry, damage, path)) {
            case Extractor::Outcome::Written:
                ++report.written;
                report.bytesWritten += static_cast<std::int64_t>(entry.Size());
                break;
            case Extractor::Outcome::Salvaged:
                report.failed.push_back({path, damage.reason + "; written as far as it went"});
                break;
            case Extractor::Outcome::Kept:
                report.failed.push_back({path, damage.reason + "; the file already there was kept"});
                break;
            case Extractor::Outcome::Skipped:
                report.skipped.push_back({path, "a file of that name is there, and was kept"});
                break;
            case Extractor::Outcome::NotWritten:
                report.failed.push_back({path, damage.Sound() ? x.LastProblem() : damage.reason});
                break;
            }
            x.EndEntry(path);
            source.Release(x.RetiredFolders());
            return path;
        });
    report.cancelled = report.notReached > 0;

    const std::string shown = PathToUtf8(report.destination);
    std::string end = report.cancelled ? "Extraction cancelled: " : "Extracted ";
    end += ShownFiles(report.written) + " (" + ShownBytes(report.bytesWritten) + ") to " + shown;
    if (!report.failed.empty()) {
        end += "; " + N(static_cast<long long>(report.failed.size())) + " failed";
    }
    if (!report.skipped.empty()) {
        end += "; " + N(static_cast<long long>(report.skipped.size())) + " skipped";
    }
    if (report.cancelled) {
        end += "; " + ShownFiles(report.notReached) + " not reached";
    }
    frm.sText(end);
    if (!report.failed.empty()) {
        frm.widgets().SetStatusText(end);
    }
    return report;
}

} // namespace archive
