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
