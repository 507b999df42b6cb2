#include "extract/extract.h"

#include "extract/entry_fetch.h"
#include "extract/entry_walk.h"
#include "extract/extractor.h"
#include "extract/host_path.h"
#include "window/frm_big.h"
#include "window/number_text.h"

#include <optional>
#include <thread>

namespace archive {

ExtractReport ExtractAll(FrmBig& frm, const AskExisting& existing)
{
    if (frm.Extracting) {
        return {};
    }
    ExtractingScope busy(frm);
    Extractor x(frm);
    x.AskWhenExisting(existing);
    Widgets& widgets = frm.widgets();
    if (!x.OpenArchive()) {
        return x.Report();
    }
    const SgaTables& t = frm.Sga;
    const int numDirectories = WalkedDirectories(t);
    if (const std::string wrong = Overlisted(t, numDirectories); !wrong.empty()) {
        x.Error(wrong + "; nothing was extracted");
        return x.Report();
    }
    DebugFileScope debugScope(frm);
    std::string error;
    if (!frm.DebugFileStart(".debug.extract.txt", error)) {
        x.Error(error);
    }
    if (!x.PrepareOutputRoot()) {
        return x.Report();
    }
    // Exit or the close box, while events ran: stop between two steps, never mid-file.
    const auto closing = [&frm] { return frm.PendingClose != FrmBig::CloseRequest::None; };
    // The file pass's plan comes first, so that its entries are read,
    // inflated and written under no name yet on the other cores while this
    // thread makes the folders. This thread then names and reports them in
    // the walk's order: every log line, debug line and file-system effect
    // comes as without it, and what a stop leaves unnamed disappears.
    const std::vector<FileStep> plan = PlanFilePass(t, numDirectories);
    FileFolders folders(x); // before the prefetcher: its jobs point into it
    std::optional<EntryPrefetcher> prefetcher;
    {
        std::vector<EntryPrefetcher::Job> jobs;
        jobs.reserve(plan.size());
        for (const FileStep& step : plan) {
            if (step.file != nullptr) {
                jobs.push_back({step.file, EntryPosition(t, *step.file), folders.Of(step.target)});
            }
        }
        if (std::thread::hardware_concurrency() > 1 && jobs.size() > 1) {
            prefetcher.emplace(frm.ArchivePath, std::move(jobs), EntryPrefetcher::DefaultThreads(),
                               x.Preparer(), x.archive().Identity());
        }
    }
    // Folder pass. Files written ahead wait for their folders while it
    // runs, and no longer: a folder the file pass makes is not waited for.
    OutputTree::FolderPass folderPass = x.StartFolderPass();
    for (int d = 0; d < numDirectories && !closing(); ++d) {
        const std::string& s = t.SgaDirNames[static_cast<std::size_t>(d)];
        if (s.empty()) {
            continue;
        }
        const auto mapped = MapArchivePath(s);
        if (!mapped) {
            x.Unsafe(s);
            continue;
        }
        if (mapped->empty()) {
            continue; // "." names the output root itself, which is there
        }
        bool failed = false;
        if (x.MakeFolderIfMissing(*mapped, s, failed)) {
            frm.sText("Creating directory: " + s);
            widgets.SetStatusText(s);
        } else if (!failed) {
            continue; // it was there
        }
        widgets.DoEvents();
    }
    folderPass.End();
    if (prefetcher) {
        // The folders the file pass leaves are closed on the fetching
        // threads too, where each close costs no time of this one's.
        x.CollectRetiredFolders();
    }

    widgets.SetProgressMinimum(0);
    widgets.SetProgressMaximum(static_cast<float>(t.SgaDataHeader.NumDirectories - 1));
    widgets.SetProgressValue(0);
    frm.sText(""); // the log shows an empty line, then the start line
    frm.sText("Starting file extract...");

    // File pass: the walk its plan laid out before the folder pass.
    for (const FileStep& step : plan) {
        if (closing()) {
            frm.sText("...Extract stopped: the window is closing");
            x.TellFailures();
            return x.Report();
        }
        switch (step.kind) {
        case FileStep::Kind::OutsideTable:
            x.Error("directory row " + N(step.d) + " lists file row " + N(step.j) +
                        ", outside the file table",
                    "file row " + N(step.j));
            break;
        case FileStep::Kind::Unsafe:
            x.Unsafe(step.m);
            break;
        case FileStep::Kind::RowEnd:
            widgets.SetProgressValue(static_cast<float>(step.d));
            widgets.DoEvents();
            break;
        case FileStep::Kind::Entry:
        case FileStep::Kind::NoFileName: {
            const std::int64_t position = EntryPosition(t, *step.file);
            FetchedEntry entry =
                prefetcher ? prefetcher->Next() : FetchEntry(x.archive(), x.Zlib(), *step.file, position);
            if (frm.DebugFileOpen()) { // the line is not even made for no debug file
                frm.dText(N(position) + ": .\\" + step.m);
            }
            widgets.SetStatusText(step.m);
            std::string failureLine;
            if (Extractor::InflateFailed(entry)) {
                failureLine =
                    "Error: " + N(entry.status) + ", Extract of " + N(step.j) + " " + step.m + " Failed";
                frm.dText(failureLine);
            }
            const std::string name = NameOfEntry(step.j, step.m);
            if (step.kind == FileStep::Kind::NoFileName) {
                // The write of a file with no name fails where the debug file expects it.
                x.EntryError(name + " has no file name: a folder cannot be written as a file");
            } else {
                x.WriteEntry(step.target, entry, JudgeEntry(entry, step.file->ExpandedSize), step.m);
            }
            // A row of the output root itself without subdirectories repeats the
            // failure line after the write. The debug file keeps that form line
            // for line, so debug files of every version compare equal.
            if (step.doubledFailure && !failureLine.empty()) {
                frm.dText(failureLine);
            }
            x.EndEntry(name);
            if (prefetcher) {
                prefetcher->Release(std::move(entry));
                for (PreparedFile& folder : x.RetiredFolders()) {
                    prefetcher->Release(std::move(folder));
                }
                x.RetiredFolders().clear();
            }
            break;
        }
        }
    }
    frm.sText("...Extract finished");
    widgets.SetStatusHostText(frm.ArchivePath);
    x.TellFailures();
    return x.Report();
}

} // namespace archive
