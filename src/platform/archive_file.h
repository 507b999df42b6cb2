#pragma once

#include "platform/host_file.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace archive {

// Read-only access to an archive with explicit bounds: every read says
// whether it got all of its bytes, and nothing is ever read past the end of
// the file. Reads go through a window buffer so that many small reads (one
// byte of a name at a time) cost a memory copy, not a system call.
class ArchiveFile {
  public:
    ArchiveFile() = default;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    ArchiveFile(ArchiveFile&&) noexcept = default;
    ArchiveFile& operator=(ArchiveFile&&) noexcept = default;
    ~ArchiveFile() = default;

    // Opens the file for reading; only a regular file is accepted. On failure
    // returns false and leaves the reason in `error`.
    bool Open(const std::filesystem::path& path, std::string& error);
    // Opens it as Open does, and only if it is still the file `loaded` was
    // taken from (when `loaded` is known): an archive replaced or rewritten
    // since its catalogue was read is refused with kChangedSinceLoad, for
    // the old catalogue would be applied to other bytes.
    bool Open(const std::filesystem::path& path, std::string& error, const FileIdentity& loaded);
    static constexpr const char* kChangedSinceLoad =
        "the file has changed on disk since it was loaded: open it again";
    // The open file's identity, taken when it was opened (not known for a
    // closed one, or where the host could not tell).
    const FileIdentity& Identity() const { return identity_; }
    // Reads from a stream opened elsewhere, which it now owns (closed on failure too).
    bool Adopt(std::FILE* stream, std::string& error);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    std::uint64_t Size() const { return size_; }
    std::uint64_t Position() const { return position_; }
    std::uint64_t Remaining() const { return size_ - position_; }

    // Moves the read position; a position past the end is refused.
    bool Seek(std::uint64_t position);

    // Reads exactly `count` bytes or, when fewer remain, reads nothing and
    // returns false with the position unchanged.
    bool Read(void* destination, std::size_t count);
    // Reads as many of `count` bytes as the file holds; returns the number read.
    std::size_t ReadSome(void* destination, std::size_t count);
    bool ReadByte(std::uint8_t& value);
    // Reads as many of `count` bytes at `position` as the file holds, straight
    // into `destination` (no window: an entry read whole is copied once),
    // and returns the number read. The read position is left alone where
    // the host has positioned reads; elsewhere it ends after the bytes read.
    std::size_t ReadAt(std::uint64_t position, void* destination, std::size_t count);

    // A read that failed on a device error, as opposed to the end of the file.
    bool DeviceError() const { return deviceError_; }

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool FillWindow(std::uint64_t position);

    std::unique_ptr<std::FILE, Closer> file_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    bool deviceError_ = false;
    FileIdentity identity_;
};

} // namespace archive
