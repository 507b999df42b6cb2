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
#include <unordered_map>
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

} // namespace

std::string SetFilePath(const SgaTables& t, const SetFile& file)
{
    const std::string_view folder = FolderNameOf(t, file);
    const std::string_view name = FileNameOf(t, file);
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    if (!folder.empty()) {
        path.append(folder).append(1, '\\');
    }
    return path.append(name);
}

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
    FileFolders fileFolders(x); // before the source: its jobs point into it
    std::vector<EntryPrefetcher::Job> jobs;
    planned.reserve(files.size()); // never grows: rowOfTarget refers to the targets
    jobs.reserve(files.size());
    std::vector<std::function<void()>> planProblems;
    std::unordered_map<std::basic_string_view<HostText::value_type>, int> rowOfTarget;
    rowOfTarget.reserve(files.size());
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
        const auto [at, fresh] = rowOfTarget.emplace(planned.back().target, file.row);
        if (!fresh) {
            planned.pop_back();
            if (at->second != file.row) { // the same path twice in the table: the first row wins
                planProblems.push_back([&report, &t, &file, first = at->second] {
                    report.skipped.push_back(
                        {SetFilePath(t, file), "file row " + N(first) + " has the same path"});
                });
            }
            continue;
        }
        const SgaFile& row = t.SgaFiles[static_cast<std::size_t>(file.row)];
        jobs.push_back({&row, EntryPosition(t, row), fileFolders.Of(planned.back().target)});
        progress.totalBytes += ExpectedBytes(row);
    }
    EntrySource source(frm.ArchivePath, x.Zlib(), x.archive(), std::move(jobs), x.Preparer());

    // The folders in the order of their rows, as the files that wait for
    // them come; a name listed by two rows is made once.
    OutputTree::FolderPass folderPass = x.StartFolderPass(); // as in ExtractAll
    std::vector<int> folders = set.folders;
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::unordered_set<std::string_view> folderNames;
    folderNames.reserve(folders.size());
    for (const int row : folders) {
        if (row < 0 || static_cast<std::size_t>(row) >= t.SgaDirNames.size()) {
            continue;
        }
        const std::string& folder = t.SgaDirNames[static_cast<std::size_t>(row)];
        if (folder.empty() || !folderNames.insert(folder).second) {
            continue;
        }
        const auto mapped = MapArchivePath(folder);
        if (!mapped) {
            x.Unsafe(folder);
            report.failed.push_back({folder, x.LastProblem()});
        } else if (!mapped->empty()) {
            bool failed = false;
            x.MakeFolderIfMissing(*mapped, folder, failed);
            if (failed) {
                report.failed.push_back({folder, x.LastProblem()});
            }
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
            path = SetFilePath(t, file);
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
