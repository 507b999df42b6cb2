#pragma once

#include "extract/extract.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace archive {

class CatalogueTree;
class FrmBig;

// The set a selection of catalogue nodes stands for: a file node is its file,
// a folder node every file and folder below it, and no node at all the whole
// archive. Paths are the archive's own, so the folder structure is kept below
// the destination (maps\town\plan.dat). Works from an SGA catalogue's keys
// and tables; other nodes stand for nothing.
ExtractionSet SetOfNodes(const FrmBig& frm, const std::vector<int>& nodes);

// What Extract To takes, as the user sees it: the selected nodes the filter
// shows; with none of those, what the filter shows (its kept nodes that have
// no children), or the whole archive (no node) while no filter is set
// (`kept` empty). When the filter shows nothing, `nodes` is empty and
// `nothing` says why, for the log: the whole archive is not what was meant.
struct ExtractToChoice {
    std::vector<int> nodes;
    std::string nothing;
};
ExtractToChoice ExtractToNodes(const CatalogueTree& tree, const std::vector<int>& selected,
                               const std::vector<char>& kept);

// The folder the archive lies in: where the window puts the toolbar commands'
// output root, and where it starts the choice of a destination. Empty when no
// archive has been chosen.
std::filesystem::path ArchiveFolder(const FrmBig& frm);

// Extract To: a selection of the catalogue into a destination, as a job.
class ExtractToJob {
  public:
    ExtractToJob(FrmBig& frm, std::vector<int> nodes, SetDestination where)
        : frm_(frm), nodes_(std::move(nodes)), where_(std::move(where))
    {
    }

    SetReport Run(const JobControl& control = {});

  private:
    FrmBig& frm_;
    std::vector<int> nodes_;
    SetDestination where_;
};

// Test Archive: every entry the toolbar's Save All would write, read and
// inflated, nothing written.
class TestArchiveJob {
  public:
    explicit TestArchiveJob(FrmBig& frm) : frm_(frm) {}
    ArchiveTestReport Run(const JobControl& control = {}) { return TestArchiveEntries(frm_, control); }

  private:
    FrmBig& frm_;
};

// Bytes done of a total, in the unit the total reads best in: bytes below a
// kilobyte, then KB, MB and GB (of 1000), one decimal ("2.1 of 6.5 KB").
std::string BytesOfTotalText(std::int64_t done, std::int64_t total);

// A job's progress as both windows' progress dialogs show it:
// "3 of 4 files, 2.1 of 6.5 KB".
std::string JobProgressText(const JobProgress& now);

// When a job's progress dialog draws, in both windows: at most every
// kInterval, and always for the last entry. Ten pictures a second, as
// progress dialogs go: thousands of tiny files must not wait on painting
// (under Wine each picture cost 2 to 6 ms, a tenth of an extraction at 25).
class JobPictureClock {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{100};
    // True when the dialog draws `now` (the clock then starts again).
    bool Due(const JobProgress& now, Clock::time_point at = Clock::now());

  private:
    std::optional<Clock::time_point> drawn_;
};

// The progress bar's position in thousandths: by bytes, or by files for a
// job that has no bytes to count.
int JobProgressPermille(const JobProgress& now);

} // namespace archive
