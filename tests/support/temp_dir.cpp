#include "support/temp_dir.h"

#include "platform/text_encoding.h"

#include <random>
#include <system_error>

namespace archive::testing {

TempDir::TempDir(const std::filesystem::path& base)
{
    std::random_device random;
    for (;;) {
        path_ = base / ("archive-tool-test-" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) {
            break;
        }
    }
}

std::string TempDir::File(const std::string& name) const
{
    return PathToUtf8(path_ / PathFromUtf8(name));
}

TempDir TempDir::InMemory()
{
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error)) {
        return TempDir("/dev/shm");
    }
    return TempDir();
}

TempDir::~TempDir()
{
    std::error_code error;
    // Undo read-only folders a test may have made, then remove everything.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path_, error);
}

} // namespace archive::testing
