#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace archive::fuzz {

const std::filesystem::path& WorkFolder()
{
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::filesystem::path path = base / ("archive-fuzz-" + std::to_string(getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

std::string WriteInput(const unsigned char* data, std::size_t size)
{
    std::filesystem::create_directories(WorkFolder()); // in case something removed it
    const std::string path = (WorkFolder() / "input.sga").string();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

void CheckNothingOutside(const std::filesystem::path& allowed)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(WorkFolder(), error)) {
        const std::string name = entry.path().filename().string();
        if (entry.path() != allowed && name != "input.sga" && name != "input.sga.debug.txt" &&
            name != "input.sga.debug.extract.txt") {
            std::fprintf(stderr, "written outside the output root: %s\n", entry.path().c_str());
            std::abort();
        }
    }
}

std::int32_t FoldClaim(std::int32_t claim)
{
    return claim > kClaimCap ? claim % kClaimCap : claim;
}

} // namespace archive::fuzz
