#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace archive {

// How far a job over many entries has come: counted in entries and in bytes.
struct JobProgress {
    std::int64_t files = 0;
    std::int64_t totalFiles = 0;
    std::int64_t bytes = 0;
    std::int64_t totalBytes = 0;
    std::string current; // archive path of the entry just done
};

// A sound entry about to be written where a file of its name already is.
struct ExistingFile {
    std::string path;             // archive path (Windows-1252)
    std::filesystem::path target; // the file that is there
    std::int64_t size = 0;        // bytes the entry would write
};

// What to do about it: replace the file, leave it and skip the entry, or
// keep both, the entry under a new name beside it ("plan (2).dat"). With
// `forAll` the answer holds for every later file of the same run.
enum class ExistingChoice { Replace, Skip, KeepBoth };
struct ExistingAnswer {
    ExistingChoice choice = ExistingChoice::Replace;
    bool forAll = false;
};

// Asked on the job's thread, between two entries, once per existing file
// until an answer comes `forAll`. A face shows its dialog here; the
// companion answers from its options. No question: files are replaced.
using AskExisting = std::function<ExistingAnswer(const ExistingFile&)>;

// What a face gives a job: where progress goes, and how the job learns that
// the user wants it to stop. A job asks between entries, never inside one.
struct JobControl {
    std::function<void(const JobProgress&)> progress;
    std::function<bool()> cancelled;
    AskExisting existing; // when a sound entry meets a file of its name

    void Report(const JobProgress& now) const
    {
        if (progress) {
            progress(now);
        }
    }
    bool Cancelled() const { return cancelled && cancelled(); }
};

// One entry a job could not do, and why.
struct EntryProblem {
    std::string path; // archive path
    std::string reason;
};

} // namespace archive
