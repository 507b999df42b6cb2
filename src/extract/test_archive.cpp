#include "extract/extract.h"

#include "extract/entry_damage.h"
#include "extract/entry_walk.h"
#include "extract/extractor.h"
#include "window/frm_big.h"
#include "window/number_text.h"

#include "extract/entry_stream.h"
#include "platform/text_encoding.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_set>

namespace archive {

namespace {

// The entries of a test, read and inflated a piece at a time on the other
// cores, ahead of the thread that reports them in order. Rows that name the
// same stored bytes (offset and both sizes) are read once. What waits is a
// few numbers per entry, never its bytes.
class StreamedTest {
  public:
    struct Job {
        const SgaFile* file;
        std::int64_t position;
    };

    StreamedTest(const std::string& archivePath, const std::vector<Job>& jobs) : archivePath_(archivePath)
    {
        std::map<std::tuple<std::int64_t, std::int32_t, std::int32_t>, std::size_t> unitOf;
        for (const Job& job : jobs) {
            const auto key = std::make_tuple(job.position, job.file->StoredSize, job.file->ExpandedSize);
            const auto [at, fresh] = unitOf.emplace(key, units_.size());
            if (fresh) {
                units_.push_back(job);
            }
            unitOfJob_.push_back(at->second);
        }
        facts_.resize(units_.size());
        ready_.assign(units_.size(), 0);
        const unsigned threads =
            std::thread::hardware_concurrency() > 1 ? EntryPrefetcher::DefaultThreads() : 0;
        for (unsigned i = 0; i < threads && i < units_.size(); ++i) {
            std::lock_guard lock(mutex_);
            ++running_; // counted before it starts: Take must not think it gone
            try {
                workers_.emplace_back([this] { Run(); });
            } catch (const std::exception&) {
                --running_;
                break; // fewer threads, or none: Take reads what is left
            }
        }
    }

    ~StreamedTest()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        for (std::thread& worker : workers_) {
            worker.join();
        }
    }
    StreamedTest(const StreamedTest&) = delete;
    StreamedTest& operator=(const StreamedTest&) = delete;

    // What job i came to (waits for it).
    EntryFacts Take(std::size_t i)
    {
        const std::size_t unit = unitOfJob_[i];
        std::unique_lock lock(mutex_);
        while (!ready_[unit]) {
            if (running_ == 0 && next_ <= unit) {
                // No thread is left to read it: this one does.
                next_ = std::max(next_, unit + 1);
                lock.unlock();
                ReadUnit(ownArchive_, unit);
                lock.lock();
                break;
            }
            writerWakes_.wait(lock);
        }
        return facts_[unit];
    }

  private:
    void Run()
    {
        ArchiveFile archive;
        for (;;) {
            std::size_t unit = 0;
            {
                std::lock_guard lock(mutex_);
                if (stop_ || next_ >= units_.size()) {
                    break;
                }
                unit = next_++;
            }
            ReadUnit(archive, unit);
            std::lock_guard lock(mutex_);
            writerWakes_.notify_one();
        }
        std::lock_guard lock(mutex_);
        --running_;
        writerWakes_.notify_one();
    }

    void ReadUnit(ArchiveFile& archive, std::size_t unit)
    {
        EntryFacts facts;
        try {
            if (!archive.IsOpen()) {
                std::string error;
                archive.Open(PathFromUtf8(archivePath_), error); // if it fails, the entry has no bytes
            }
            EntryStream stream(archive, *units_[unit].file, units_[unit].position);
            stream.Run({});
            facts = stream.Facts();
        } catch (const std::exception& e) {
            facts.refused = e.what();
        }
        std::lock_guard lock(mutex_);
        facts_[unit] = std::move(facts);
        ready_[unit] = 1;
    }

    std::string archivePath_;
    std::vector<Job> units_;
    std::vector<std::size_t> unitOfJob_;
    ArchiveFile ownArchive_;

    std::mutex mutex_;
    std::condition_variable writerWakes_;
    // Guarded by mutex_:
    std::vector<EntryFacts> facts_;
    std::vector<char> ready_;
    std::size_t next_ = 0;
    unsigned running_ = 0;
    bool stop_ = false;

    std::vector<std::thread> workers_;
};

} // namespace

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
    std::vector<StreamedTest::Job> jobs;
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
    StreamedTest entries(frm.ArchivePath, jobs);
    progress.totalFiles = static_cast<std::int64_t>(planned.size());
    control.Report(progress);
    for (std::size_t i = 0; i < planned.size(); ++i) {
        if (JobStops(frm, control)) {
            report.notReached = static_cast<std::int64_t>(planned.size() - i);
            break;
        }
        const EntryFacts facts = entries.Take(i);
        if (const EntryDamage damage = JudgeEntry(facts, jobs[i].file->ExpandedSize); !damage.Sound()) {
            x.Error(planned[i].m + " " + damage.reason);
            report.failed.push_back({planned[i].m, damage.reason});
        }
        ++report.entries;
        report.bytes += facts.produced;
        ++progress.files;
        progress.bytes += ExpectedBytes(*jobs[i].file);
        progress.current = planned[i].m;
        control.Report(progress);
    }
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
