#pragma once

#include <filesystem>
#include <string>

namespace archive::testing {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
    explicit TempDir(const std::filesystem::path& base);
    // A folder in memory where the system has one (/dev/shm), for tests that
    // make tens of thousands of folders and are not about the disk.
    static TempDir InMemory();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A file's path in the folder, as UTF-8 like every host path the core takes.
    // Through PathFromUtf8 before std::filesystem gets it: on Windows a plain
    // std::string is read in the system's code page.
    std::string File(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

} // namespace archive::testing
