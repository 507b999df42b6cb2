#pragma once

#include <string>

namespace archive {

// A temporary name of ours, ".at-<16 hex>.part": short whatever the
// target's length, and fresh at every call (random, per thread).
std::string TemporaryName();
// How many fresh names a writer tries before it gives up.
constexpr int kTemporaryAttempts = 16;

} // namespace archive
