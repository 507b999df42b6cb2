#pragma once

#include <cstdint>
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

// What a face gives a job: where progress goes, and how the job learns that
// the user wants it to stop. A job asks between entries, never inside one.
struct JobControl {
    std::function<void(const JobProgress&)> progress;
    std::function<bool()> cancelled;

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
