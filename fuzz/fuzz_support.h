#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace archive::fuzz {

// A folder of this process's own on a tmpfs (/dev/shm when there is one).
const std::filesystem::path& WorkFolder();
// Writes the input where the loaders will read it; returns its path.
std::string WriteInput(const unsigned char* data, std::size_t size);
// Stops the process when the folder holds anything but the input, its debug
// files and `allowed`: a write outside the output root.
void CheckNothingOutside(const std::filesystem::path& allowed);

// What one input may cost. A claimed size beyond kClaimCap is folded below it:
// under the address sanitizer every byte of a work buffer costs shadow memory
// to poison and unpoison, so claims of hundreds of MB would hold the search to
// a few dozen inputs a second. Huge claims are the unit tests' business.
inline constexpr std::int32_t kClaimCap = 1 << 22;
std::int32_t FoldClaim(std::int32_t claim);

} // namespace archive::fuzz
