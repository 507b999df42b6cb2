#include "platform/host_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
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

namespace {

// Creates a file that must not exist yet, for writing.
std::FILE* OpenNewHostFile(const std::filesystem::path& path, std::string& error)
{
#ifdef _WIN32
    // The C runtime of MinGW knows no "x" mode: ask for an exclusive create directly.
    const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        error = LastSystemError();
        return nullptr;
    }
    std::FILE* file = _wfdopen(fd, L"wb");
    if (file == nullptr) {
        error = LastSystemError();
        _close(fd);
    }
    return file;
#else
    return OpenHostFile(path, "wbx", error);
#endif
}

// Replaces `target` by `source` in one step.
bool ReplaceHostFile(const std::filesystem::path& source, const std::filesystem::path& target, std::string& error)
{
#ifdef _WIN32
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = std::system_category().message(static_cast<int>(GetLastError()));
        return false;
    }
    return true;
#else
    std::error_code renameError;
    std::filesystem::rename(source, target, renameError);
    if (renameError) {
        error = renameError.message();
        return false;
    }
    return true;
#endif
}

// Opens a new temporary file beside `target`; "x" never opens an existing
// file, so a leftover temporary or a link planted under that name is never
// written through; the next free name is taken instead.
std::FILE* CreateTemporarySibling(const std::filesystem::path& target, std::filesystem::path& temporary,
                                  std::string& error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target;
        temporary += attempt == 0 ? std::string(".part") : ".part" + std::to_string(attempt);
        std::FILE* file = OpenNewHostFile(temporary, error);
        if (file != nullptr || errno != EEXIST) {
            return file;
        }
    }
    return nullptr;
}

} // namespace

bool WriteFileReplacing(const std::filesystem::path& target, const void* data, std::size_t size,
                        std::string& error)
{
    std::filesystem::path temporary;
    std::FILE* raw = CreateTemporarySibling(target, temporary, error);
    if (raw == nullptr) {
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(raw, &std::fclose);
    std::setvbuf(raw, nullptr, _IONBF, 0);
    const bool written = size == 0 || std::fwrite(data, 1, size, raw) == size;
    const int savedErrno = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        errno = written ? errno : savedErrno;
        error = LastSystemError();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    if (!ReplaceHostFile(temporary, target, error)) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
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
