// The Windows disk writer: every folder held open without FILE_SHARE_DELETE
// while in use and checked for reparse points as it is opened; files written
// under a temporary name and moved into place when complete.
#include "platform/interrupt_cleanup.h"
#include "platform/output_tree.h"
#include "platform/temporary_name.h"

#include <algorithm>
#include <system_error>

#include <windows.h>

namespace archive {

namespace {

std::string LastErrorText()
{
    return std::system_category().message(static_cast<int>(GetLastError()));
}

} // namespace

void OutputTree::CloseFolder(Handle folder)
{
    CloseHandle(folder);
}

bool OutputTree::ExistsHere(const std::filesystem::path& name, bool& absent)
{
    absent = false; // the walk looks again
    return GetFileAttributesW((FullPath() / name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

OutputTree::Make OutputTree::MakeHere(const std::filesystem::path& name)
{
    if (CreateDirectoryW((FullPath() / name).c_str(), nullptr)) {
        return Make::Made;
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? Make::Existed : Make::Unknown;
}

bool OutputTree::OpenBeneath(const std::vector<std::filesystem::path>&, std::size_t)
{
    return false; // each folder is checked for reparse points as it is opened
}

std::filesystem::path OutputTree::FullPath() const
{
    std::filesystem::path path = rootPath_;
    for (const Level& level : levels_) {
        path /= level.name;
    }
    return path;
}

bool OutputTree::OpenHere(const std::filesystem::path&, Handle&)
{
    return false; // folders are reached by their full paths here: none is kept
}

bool OutputTree::Open(const std::filesystem::path& root, std::string& error)
{
    CloseFrom(0);
    ForgetKept();
    if (open_) {
        CloseHandle(root_);
        open_ = false;
    }
    std::error_code pathError;
    rootPath_ = std::filesystem::absolute(root, pathError);
    if (pathError) {
        error = pathError.message();
        return false;
    }
    HANDLE handle = CreateFileW(rootPath_.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return false;
    }
    root_ = handle;
    open_ = true;
    return true;
}

// Each folder is opened without FILE_SHARE_DELETE and kept open while it is in
// use: nobody can rename it or swap it for a link until we let go of it.
OutputTree::Reach OutputTree::Descend(const std::filesystem::path& name, bool create, bool,
                                      std::string& error)
{
    const std::filesystem::path path = FullPath() / name;
    auto openFolder = [&] {
        return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE handle = openFolder();
    if (handle == INVALID_HANDLE_VALUE && create &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = LastErrorText();
            return Reach::Failed;
        }
        handle = openFolder();
    }
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return Reach::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
        error = LastErrorText();
        CloseHandle(handle);
        return Reach::Failed;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        return Reach::Link;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        error = "not a folder";
        return Reach::Failed;
    }
    levels_.push_back({name, handle});
    return Reach::Done;
}

// No unnamed files here: every file is written in turn.
PreparedFile OutputTree::Prepare(const std::filesystem::path&, const void*, std::size_t) const
{
    return {};
}

void PreparedFile::Close()
{
    fd_ = -1;
}

bool OutputTree::WriteFile(const std::filesystem::path& name, const void* data, std::size_t size,
                           std::string& error, PreparedFile*)
{
    return WriteNamed(name, data, size, error);
}

bool OutputTree::WriteNamed(const std::filesystem::path& name, const void* data, std::size_t size,
                            std::string& error)
{
    const std::filesystem::path folder = FullPath();
    const std::filesystem::path target = folder / name;
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const std::filesystem::path temporary = folder / TemporaryName();
        ArmedTemporary armed(temporary.c_str());
        HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            error = LastErrorText();
            return false;
        }
        const auto* p = static_cast<const char*>(data);
        std::size_t left = size;
        bool written = true;
        while (left > 0 && written) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
            DWORD done = 0;
            written = ::WriteFile(file, p, chunk, &done, nullptr) && done == chunk;
            p += done;
            left -= done;
        }
        if (!written) {
            error = LastErrorText();
        }
        CloseHandle(file);
        if (written && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            error = LastErrorText();
            written = false;
        }
        if (!written) {
            DeleteFileW(temporary.c_str());
        }
        return written;
    }
    error = "no free temporary name";
    return false;
}

} // namespace archive
