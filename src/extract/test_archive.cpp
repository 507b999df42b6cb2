#include "extract/extract.h"

#include "extract/entry_damage.h"
#include "extract/entry_walk.h"
#include "extract/extractor.h"
#include "window/frm_big.h"
#include "window/number_text.h"

#include <unordered_set>

namespace archive {

ArchiveTestReport TestArchiveEntries(FrmBig& frm, const JobControl& control)
{
    ArchiveTestReport report;
    report.refused = true;
    if (!JobMayStart(frm, "its entries cannot be read, so they cannot be tested")) {
        return report;
    }
    ExtractingScope busy(frm);
    Extractor x(frm);
    if (!x.OpenArchive()) {
        return report;
    }
    const SgaTables& t = frm.Sga;
    const int numDirectories = WalkedDirectories(t);
    if (const std::string wrong = Overlisted(t, numDirectories); !wrong.empty()) {
        x.Error(wrong + "; nothing was tested");
        return report;
    }
    report.refused = false;

    // The entries the file pass would write, each row once.
    struct Planned {
        int j;
        std::string m;
    };
    std::vector<Planned> planned;
    std::vector<EntryPrefetcher::Job> jobs;
    std::unordered_set<int> seen;
    JobProgress progress;
    for (const FileStep& step : PlanFilePass(t, numDirectories)) {
        if (step.kind == FileStep::Kind::OutsideTable) {
            const std::string what =
                "directory row " + N(step.d) + " lists file row " + N(step.j) + ", outside the file table";
            x.Error(what);
            report.failed.push_back({"file row " + N(step.j), what});
        } else if (step.kind == FileStep::Kind::Entry && seen.insert(step.j).second) {
            planned.push_back({step.j, step.m});
            jobs.push_back({step.file, EntryPosition(t, *step.file)});
            progress.totalBytes += ExpectedBytes(*step.file);
        }
    }
    EntrySource source(frm.ArchivePath, x.Zlib(), x.archive(), std::move(jobs));
    report.notReached = WalkEntries(frm, control, source, progress, [&](std::size_t i, FetchedEntry& entry) {
        if (const EntryDamage damage = JudgeEntry(entry, source.FileOf(i).ExpandedSize); !damage.Sound()) {
            x.Error(planned[i].m + " " + damage.reason);
            report.failed.push_back({planned[i].m, damage.reason});
        }
        ++report.entries;
        report.bytes += static_cast<std::int64_t>(entry.buffer.size());
        return planned[i].m;
    });
    report.cancelled = report.notReached > 0;
    std::string summary = report.cancelled ? "Test cancelled: " : "Tested ";
    summary += N(report.entries) + (report.entries == 1 ? " entry, " : " entries, ") +
               ShownBytes(report.bytes) + ": " +
               (report.failed.empty() ? std::string("no failures")
                                      : N(static_cast<long long>(report.failed.size())) + " failed");
    if (report.cancelled) {
        summary += "; " + N(report.notReached) + " not reached";
    }
    frm.sText(summary);
    if (!report.failed.empty()) {
        frm.widgets().SetStatusText(summary);
    }
    return report;
}

} // namespace archive
