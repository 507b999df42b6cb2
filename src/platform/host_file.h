#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// What differs by operating system when the tool touches files: opening with
// wide names on Windows and 64-bit positions. Extracted files are written
// through OutputTree (platform/output_tree.h).
namespace archive {

std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode, std::string& error);
// Opens a regular file for reading. A FIFO, socket, device or folder is
// refused at once with its kind in `error`: the open never blocks.
std::FILE* OpenRegularFile(const std::filesystem::path& path, std::string& error);
bool HostFileSize(std::FILE* file, std::uint64_t& size);

// What tells one file on disk from another, and from itself rewritten: its
// device and inode (on Windows its volume serial and file index), its size
// and its modification time.
struct FileIdentity {
    bool known = false;
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // in the host's finest unit
    bool operator==(const FileIdentity&) const = default;
};
bool HostFileIdentity(std::FILE* file, FileIdentity& identity);
bool HostSeek(std::FILE* file, std::uint64_t position);

// The system's reason for the last failed call, as text.
std::string LastSystemError();

// Writes `size` bytes as the whole content of `target`, which appears under
// its name only once complete (through OutputTree, in `target`'s folder).
bool WriteFileReplacing(const std::filesystem::path& target, const void* data, std::size_t size,
                        std::string& error);

// A text file written as raw bytes (the debug files). Lines are buffered;
// the file is closed by the destructor.
class TextFileWriter {
  public:
    bool Create(const std::filesystem::path& path, std::string& error);
    void Write(std::string_view bytes);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

} // namespace archive
