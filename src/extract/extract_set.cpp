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
#include <unordered_map>

namespace archive {

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
    std::vector<SetFile> files = set.files;
    // Row order is the archive's data order in practice: reads stay sequential.
    std::stable_sort(files.begin(), files.end(),
                     [](const SetFile& a, const SetFile& b) { return a.row < b.row; });
    struct Planned {
        const SetFile* file;
        std::filesystem::path target;
    };
    std::vector<Planned> planned;
    FileFolders fileFolders(x); // before the source: its jobs point into it
    std::vector<EntryPrefetcher::Job> jobs;
    planned.reserve(files.size());
    jobs.reserve(files.size());
    std::vector<std::function<void()>> planProblems;
    std::unordered_map<std::filesystem::path::string_type, int> rowOfTarget;
    JobProgress progress;
    for (const SetFile& file : files) {
        if (file.row < 0 || static_cast<std::size_t>(file.row) >= t.SgaFiles.size()) {
            planProblems.push_back([&x, &report, &file] {
                x.Error(file.path + ": file row " + N(file.row) + " is outside the file table");
                report.failed.push_back({file.path, x.LastProblem()});
            });
            continue;
        }
        if (file.path.empty() || file.path.back() == '\\') {
            planProblems.push_back([&x, &report, &file] {
                x.Error(NameOfEntry(file.row, file.path) +
                        " has no file name: a folder cannot be written as a file");
                report.failed.push_back({NameOfEntry(file.row, file.path), x.LastProblem()});
            });
            continue;
        }
        const auto mapped = MapArchivePath(file.path);
        if (!mapped || mapped->empty()) {
            planProblems.push_back([&x, &report, &file] {
                x.Unsafe(file.path);
                report.failed.push_back({file.path, x.LastProblem()});
            });
            continue;
        }
        const auto [at, fresh] = rowOfTarget.emplace(mapped->native(), file.row);
        if (!fresh) {
            if (at->second != file.row) { // the same path twice in the table: the first row wins
                planProblems.push_back([&report, &file, first = at->second] {
                    report.skipped.push_back({file.path, "file row " + N(first) + " has the same path"});
                });
            }
            continue;
        }
        const SgaFile& row = t.SgaFiles[static_cast<std::size_t>(file.row)];
        planned.push_back({&file, *mapped});
        jobs.push_back({&row, EntryPosition(t, row), fileFolders.Of(mapped->native())});
        progress.totalBytes += ExpectedBytes(row);
    }
    EntrySource source(frm.ArchivePath, x.Zlib(), x.archive(), std::move(jobs), x.Preparer());

    OutputTree::FolderPass folderPass = x.StartFolderPass(); // as in ExtractAll
    std::vector<std::string> folders = set.folders;
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) {
        const auto mapped = MapArchivePath(folder);
        if (!mapped) {
            x.Unsafe(folder);
            report.failed.push_back({folder, x.LastProblem()});
        } else if (!mapped->empty()) {
            bool failed = false;
            x.MakeFolderIfMissing(*mapped, x.RootText() + folder, failed);
            if (failed) {
                report.failed.push_back({folder, x.LastProblem()});
            }
        }
    }
    folderPass.End();
    for (const std::function<void()>& problem : planProblems) {
        problem();
    }
    report.notReached = WalkEntries(frm, control, source, progress, [&](std::size_t i, FetchedEntry& entry) {
        const SetFile& file = *planned[i].file;
        const SgaFile& row = source.FileOf(i);
        frm.sText(N(EntryPosition(t, row)) + ": " + file.path);
        const EntryDamage damage = JudgeEntry(entry, row.ExpandedSize);
        switch (
            x.WriteEntry(planned[i].target.native(), entry, damage, file.path, x.RootText() + file.path)) {
        case Extractor::Outcome::Written:
            ++report.written;
            report.bytesWritten += static_cast<std::int64_t>(entry.Size());
            break;
        case Extractor::Outcome::Salvaged:
            report.failed.push_back({file.path, damage.reason + "; written as far as it went"});
            break;
        case Extractor::Outcome::Kept:
            report.failed.push_back({file.path, damage.reason + "; the file already there was kept"});
            break;
        case Extractor::Outcome::Skipped:
            report.skipped.push_back({file.path, "a file of that name is there, and was kept"});
            break;
        case Extractor::Outcome::NotWritten:
            report.failed.push_back({file.path, damage.Sound() ? x.LastProblem() : damage.reason});
            break;
        }
        x.EndEntry(file.path);
        return file.path;
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
