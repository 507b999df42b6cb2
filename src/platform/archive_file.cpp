#include "platform/archive_file.h"

#include "platform/host_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace archive {

namespace {
constexpr std::size_t kWindowSize = 256 * 1024;
}

bool ArchiveFile::Open(const std::filesystem::path& path, std::string& error)
{
    Close();
    std::FILE* raw = OpenRegularFile(path, error);
    return raw != nullptr && Adopt(raw, error);
}

bool ArchiveFile::Open(const std::filesystem::path& path, std::string& error, const FileIdentity& loaded)
{
    if (!Open(path, error)) {
        return false;
    }
    if (loaded.known && identity_ != loaded) {
        Close();
        error = kChangedSinceLoad;
        return false;
    }
    return true;
}

bool ArchiveFile::Adopt(std::FILE* raw, std::string& error)
{
    Close();
    file_.reset(raw);
    std::uint64_t size = 0;
    if (!HostFileSize(raw, size)) {
        error = "cannot tell the file's length";
        Close();
        return false;
    }
    size_ = size;
    position_ = 0;
    HostFileIdentity(raw, identity_);
    // A small archive needs no more window than its own size.
    window_.resize(
        static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, std::max<std::uint64_t>(size, 1))));
    windowStart_ = 0;
    windowLength_ = 0;
    deviceError_ = false;
    return true;
}

void ArchiveFile::Close()
{
    file_.reset();
    identity_ = {};
    size_ = 0;
    position_ = 0;
    windowLength_ = 0;
    window_.clear();
    window_.shrink_to_fit();
}

bool ArchiveFile::Seek(std::uint64_t position)
{
    if (!file_ || position > size_) {
        return false;
    }
    position_ = position;
    return true;
}

bool ArchiveFile::FillWindow(std::uint64_t position)
{
    if (!HostSeek(file_.get(), position)) {
        windowLength_ = 0; // what the window held may no longer be what the caller wants
        deviceError_ = true;
        return false;
    }
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(window_.size(), size_ - position));
    const std::size_t got = std::fread(window_.data(), 1, wanted, file_.get());
    windowStart_ = position;
    windowLength_ = got;
    if (got != wanted) {
        deviceError_ = true;
        return false;
    }
    return true;
}

std::size_t ArchiveFile::ReadSome(void* destination, std::size_t count)
{
    if (!file_) {
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    std::size_t done = 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, Remaining()));
    while (done < count) {
        const bool inWindow = position_ >= windowStart_ && position_ < windowStart_ + windowLength_;
        if (!inWindow) {
            // Large reads bypass the window: one system call straight into the caller's buffer.
            if (count - done >= window_.size()) {
                if (!HostSeek(file_.get(), position_)) {
                    deviceError_ = true;
                    break;
                }
                const std::size_t wanted = count - done;
                const std::size_t got = std::fread(out + done, 1, wanted, file_.get());
                done += got;
                position_ += got;
                if (got != wanted) {
                    deviceError_ = true;
                }
                break;
            }
            // A failed refill ends the read: the window may not cover the position.
            if (!FillWindow(position_) || windowLength_ == 0) {
                break;
            }
        }
        const std::size_t offset = static_cast<std::size_t>(position_ - windowStart_);
        const std::size_t take = std::min(count - done, windowLength_ - offset);
        std::memcpy(out + done, window_.data() + offset, take);
        done += take;
        position_ += take;
    }
    return done;
}

std::size_t ArchiveFile::ReadAt(std::uint64_t position, void* destination, std::size_t count)
{
    if (!file_ || position > size_) {
        return 0;
    }
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position));
#ifndef _WIN32
    const int fd = fileno(file_.get());
    if (fd < 0) { // a stream with no descriptor (one adopted from elsewhere)
        Seek(position);
        return ReadSome(destination, count);
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, out + done, count - done, static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            deviceError_ = true; // a device error, or the file shrank since it was opened
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
#else
    Seek(position);
    return ReadSome(destination, count);
#endif
}

bool ArchiveFile::Read(void* destination, std::size_t count)
{
    if (!file_ || count > Remaining()) {
        return false;
    }
    const std::uint64_t start = position_;
    if (ReadSome(destination, count) != count) {
        position_ = start;
        return false;
    }
    return true;
}

bool ArchiveFile::ReadByte(std::uint8_t& value)
{
    if (file_ && position_ >= windowStart_ && position_ < windowStart_ + windowLength_) {
        value = window_[static_cast<std::size_t>(position_ - windowStart_)];
        ++position_;
        return true;
    }
    return Read(&value, 1);
}

} // namespace archive
