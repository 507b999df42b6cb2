#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// What differs by operating system when the tool touches files: opening with
// wide names on Windows, 64-bit positions, and writing a file so that it
// appears under its real name only once it is complete.
namespace archive {

std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode, std::string& error);
bool HostFileSize(std::FILE* file, std::uint64_t& size);
bool HostSeek(std::FILE* file, std::uint64_t position);

// The system's reason for the last failed call, as text.
std::string LastSystemError();

// Writes `size` bytes as the whole content of `target`: first to a temporary
// name in the same folder, then renamed over `target`. An existing file is
// replaced only by a complete one. Returns false with the reason in `error`.
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
