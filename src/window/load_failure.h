#pragma once

#include <stdexcept>

namespace archive {

// Ends a load at the failing step. It travels only inside the open command,
// which reports it as "Load failed: " and the reason.
class LoadFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace archive

namespace archive {

// How an open ended.
enum class LoadOutcome {
    Loaded,     // the catalogue was read whole
    Rejected,   // "Invalid Archive File"
    Failed,     // the load stopped at a failing step ("Load failed: ...")
    CannotOpen, // the chosen file could not be opened at all
};

} // namespace archive
