#pragma once

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

} // namespace archive::fuzz
