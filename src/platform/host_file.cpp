#include "platform/host_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace archive {

std::string LastSystemError()
{
    return std::generic_category().message(errno);
}

std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode, std::string& error)
{
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::strlen(mode));
    std::FILE* file = _wfopen(path.c_str(), wideMode.c_str());
#else
    std::FILE* file = std::fopen(path.c_str(), mode);
#endif
    if (file == nullptr) {
        error = LastSystemError();
    }
    return file;
}

std::FILE* OpenRegularFile(const std::filesystem::path& path, std::string& error)
{
#ifdef _WIN32
    std::FILE* file = OpenHostFile(path, "rb", error);
    if (file != nullptr) {
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
        const DWORD type = GetFileType(handle);
        if (type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR) {
            std::fclose(file);
            error = "not a regular file (a device or a pipe)";
            return nullptr;
        }
    }
    return file;
#else
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = LastSystemError();
        return nullptr;
    }
    struct stat info;
    const char* kind = nullptr;
    if (fstat(fd, &info) != 0) {
        error = LastSystemError();
    } else if (S_ISDIR(info.st_mode)) {
        kind = "a folder";
    } else if (S_ISFIFO(info.st_mode)) {
        kind = "a FIFO";
    } else if (S_ISSOCK(info.st_mode)) {
        kind = "a socket";
    } else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        kind = "a device";
    } else if (!S_ISREG(info.st_mode)) {
        kind = "a special file";
    } else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
        if (std::FILE* file = fdopen(fd, "rb")) {
            return file;
        }
        error = LastSystemError();
    } else {
        error = LastSystemError();
    }
    if (kind != nullptr) {
        error = std::string("not a regular file (") + kind + ")";
    }
    close(fd);
    return nullptr;
#endif
}

bool HostSeek(std::FILE* file, std::uint64_t position)
{
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool HostFileSize(std::FILE* file, std::uint64_t& size)
{
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) {
        return false;
    }
    const __int64 end = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0) {
        return false;
    }
    const off_t end = ftello(file);
#endif
    if (end < 0 || !HostSeek(file, 0)) {
        return false;
    }
    size = static_cast<std::uint64_t>(end);
    return true;
}

bool HostFileIdentity(std::FILE* file, FileIdentity& identity)
{
    identity = {};
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
        return false;
    }
    identity.device = info.dwVolumeSerialNumber;
    identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.modified =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                  info.ftLastWriteTime.dwLowDateTime);
#else
    struct stat info;
    if (fstat(fileno(file), &info) != 0) {
        return false;
    }
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.index = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#endif
    identity.known = true;
    return true;
}

bool TextFileWriter::Create(const std::filesystem::path& path, std::string& error)
{
    std::FILE* raw = OpenHostFile(path, "wb", error);
    if (raw == nullptr) {
        return false;
    }
    file_.reset(raw);
    std::setvbuf(raw, nullptr, _IOFBF, 1 << 16);
    return true;
}

void TextFileWriter::Write(std::string_view bytes)
{
    if (file_ && !bytes.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
    }
}

void TextFileWriter::Close()
{
    file_.reset();
}

} // namespace archive
