#include "platform/output_tree.h"

#include "platform/host_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <cwchar>
#include <iterator>
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/openat2.h>
#endif
#endif

namespace archive {

namespace {

// The named temporary being written, for the interrupt handler. A signal
// handler can reach no object of ours, so this is the one piece of
// process-wide state: set by the thread that writes, read by the handler.
struct PendingTemporary {
    std::atomic<bool> armed{false};
#ifdef _WIN32
    wchar_t path[32768] = {};
#else
    int folder = -1;
    char name[64] = {};
#endif
    int exitStatus = 1;
    const char* message = "";
};

PendingTemporary& Pending()
{
    static PendingTemporary pending;
    return pending;
}

class ArmedTemporary {
  public:
    ArmedTemporary() = default;
    ArmedTemporary(const ArmedTemporary&) = delete;
    ArmedTemporary& operator=(const ArmedTemporary&) = delete;
    ~ArmedTemporary() { Pending().armed = false; }
};

// A temporary name of ours: short whatever the target's length, and fresh.
std::string TemporaryName()
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    char name[40];
    std::snprintf(name, sizeof name, ".at-%016llx.part", static_cast<unsigned long long>(random()));
    return name;
}

constexpr int kAttempts = 16;

#ifndef _WIN32
std::string ErrnoText(int error)
{
    return std::generic_category().message(error);
}

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

void Arm(int folder, const std::string& name)
{
    PendingTemporary& p = Pending();
    p.armed = false;
    p.folder = folder;
    std::snprintf(p.name, sizeof p.name, "%s", name.c_str());
    p.armed = true;
}

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = write(fd, p, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; false when the close reports a failure (a late write error).
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

  private:
    int fd_;
};

void OnInterrupt(int)
{
    PendingTemporary& p = Pending();
    if (p.armed) {
        unlinkat(p.folder, p.name, 0);
    }
    const ssize_t ignored = write(STDERR_FILENO, p.message, std::strlen(p.message));
    (void)ignored;
    _exit(p.exitStatus);
}
#else
std::string LastErrorText()
{
    return std::system_category().message(static_cast<int>(GetLastError()));
}

void Arm(const std::filesystem::path& path)
{
    PendingTemporary& p = Pending();
    p.armed = false;
    const std::wstring& text = path.native();
    const std::size_t length = std::min(text.size(), std::size(p.path) - 1);
    std::wmemcpy(p.path, text.c_str(), length);
    p.path[length] = L'\0';
    p.armed = true;
}

BOOL WINAPI OnInterrupt(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    PendingTemporary& p = Pending();
    if (p.armed) {
        DeleteFileW(p.path);
    }
    std::fputs(p.message, stderr);
    std::fflush(stderr);
    ExitProcess(static_cast<UINT>(p.exitStatus));
}
#endif

} // namespace

bool WriteFileReplacing(const std::filesystem::path& target, const void* data, std::size_t size,
                        std::string& error)
{
    OutputTree folder;
    const std::filesystem::path parent = target.parent_path();
    return folder.Open(parent.empty() ? std::filesystem::path(".") : parent, error) &&
           folder.WriteFile(target.filename(), data, size, error);
}

OutputTree::~OutputTree()
{
    CloseFrom(0);
    if (open_) {
#ifdef _WIN32
        CloseHandle(root_);
#else
        close(root_);
#endif
    }
}

bool OutputTree::IsOpen() const
{
    return open_;
}

OutputTree::Handle OutputTree::Current() const
{
    return levels_.empty() ? root_ : levels_.back().handle;
}

void OutputTree::CloseFrom(std::size_t depth)
{
    while (levels_.size() > depth) {
        if (levels_.back().opened) {
#ifdef _WIN32
            CloseHandle(levels_.back().handle);
#else
            close(levels_.back().handle);
#endif
        }
        levels_.pop_back();
    }
}

OutputTree::Reach OutputTree::Walk(const std::filesystem::path& relative, bool create, std::string& error)
{
    std::vector<std::filesystem::path> names;
    for (const std::filesystem::path& name : relative) {
        if (!name.empty() && name != ".") {
            names.push_back(name);
        }
    }
    // The folders already open that lead the way are kept; a walk goes on
    // only from a folder that has a handle of its own.
    std::size_t depth = 0;
    while (depth < names.size() && depth < levels_.size() && levels_[depth].name == names[depth]) {
        ++depth;
    }
    while (depth > 0 && !levels_[depth - 1].opened) {
        --depth;
    }
    CloseFrom(depth);
    const bool lastMissing = create && !missing_.empty() && relative == missing_;
    if (names.size() - depth >= 2 && !lastMissing && OpenBeneath(names, depth)) {
        return Reach::Done;
    }
    for (; depth < names.size(); ++depth) {
        const bool missing = lastMissing && depth + 1 == names.size();
        if (const Reach reach = Descend(names[depth], create, missing, error); reach != Reach::Done) {
            return reach;
        }
    }
    return Reach::Done;
}

OutputTree::Reach OutputTree::Enter(const std::filesystem::path& relative, std::string& error)
{
    if (!open_) {
        error = "the output root is not open";
        return Reach::Failed;
    }
    const Reach reach = Walk(relative, true, error);
    missing_.clear();
    return reach;
}

bool OutputTree::Exists(const std::filesystem::path& relative)
{
    if (!open_) {
        return false;
    }
    if (relative.empty()) {
        return true;
    }
    std::string ignored;
    const Reach reach = Walk(relative.parent_path(), false, ignored);
    if (reach != Reach::Done) {
        return false; // what lies below a link is not ours to look at
    }
#ifdef _WIN32
    return GetFileAttributesW((FullPath() / relative.filename()).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat info;
    if (fstatat(Current(), relative.filename().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        return true;
    }
    missing_ = errno == ENOENT ? relative : std::filesystem::path();
    return false;
#endif
}

OutputTree::Make OutputTree::MakeFolder(const std::filesystem::path& relative)
{
    std::string ignored;
    if (!open_ || relative.filename().empty() || relative.filename() == "." ||
        Walk(relative.parent_path(), false, ignored) != Reach::Done) {
        return Make::Unknown;
    }
#ifdef _WIN32
    if (CreateDirectoryW((FullPath() / relative.filename()).c_str(), nullptr)) {
        return Make::Made;
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? Make::Existed : Make::Unknown;
#else
    if (mkdirat(Current(), relative.filename().c_str(), 0777) == 0) {
        return Make::Made;
    }
    return errno == EEXIST ? Make::Existed : Make::Unknown;
#endif
}

#ifndef _WIN32

bool OutputTree::Open(const std::filesystem::path& root, std::string& error)
{
    CloseFrom(0);
    if (open_) {
        close(root_);
        open_ = false;
    }
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    root_ = fd;
    open_ = true;
    return true;
}

OutputTree::Reach OutputTree::Descend(const std::filesystem::path& name, bool create, bool missing,
                                      std::string& error)
{
    const int parent = Current();
    int fd = -1;
    if (missing) {
        errno = ENOENT;
    } else {
        fd = openat(parent, name.c_str(), kFolderFlags);
    }
    if (fd < 0 && errno == ENOENT && create) {
        if (mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
            error = ErrnoText(errno);
            return Reach::Failed;
        }
        fd = openat(parent, name.c_str(), kFolderFlags);
    }
    if (fd < 0) {
        const int reason = errno;
        struct stat info;
        if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
            return Reach::Link;
        }
        error = ErrnoText(reason);
        return Reach::Failed;
    }
    levels_.push_back({name, fd});
    return Reach::Done;
}

bool OutputTree::OpenBeneath(const std::vector<std::filesystem::path>& names, std::size_t from)
{
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
    if (!openBeneath_) {
        return false;
    }
    std::filesystem::path rest;
    for (std::size_t i = from; i < names.size(); ++i) {
        rest /= names[i];
    }
    open_how how{};
    how.flags = kFolderFlags & ~O_NOFOLLOW; // a link at the end fails too: RESOLVE_NO_SYMLINKS
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
    const long fd = syscall(SYS_openat2, Current(), rest.c_str(), &how, sizeof how);
    if (fd < 0) {
        if (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG) {
            openBeneath_ = false; // an older kernel, or a sandbox that filters the call
        }
        return false;
    }
    for (std::size_t i = from; i + 1 < names.size(); ++i) {
        levels_.push_back({names[i], -1, false});
    }
    levels_.push_back({names.back(), static_cast<int>(fd)});
    return true;
#else
    (void)names;
    (void)from;
    return false;
#endif
}

int OutputTree::LinkAt(int file, int folder, const char* name)
{
    // Naming a file by its descriptor spares the kernel a walk through
    // /proc for every file. Linux lets a process do that for files it opened
    // itself since 6.10 (before, only with CAP_DAC_READ_SEARCH); a kernel
    // that refuses says ENOENT, as it does when the folder is gone, so /proc
    // tells the two apart.
    if (linkByDescriptor_) {
        if (linkat(file, "", folder, name, AT_EMPTY_PATH) == 0) {
            return 0;
        }
        if (errno != ENOENT) {
            return -1;
        }
    }
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", file);
    const int done = linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW);
    if (done == 0) {
        linkByDescriptor_ = false;
    }
    return done;
}

OutputTree::Link OutputTree::LinkIn(int file, const std::filesystem::path& name, std::string& error)
{
    const int folder = Current();
    // A new name is taken in one step; an existing one is replaced through a temporary name.
    if (LinkAt(file, folder, name.c_str()) == 0) {
        return Link::Done;
    }
    if (errno == ENOENT || errno == EXDEV) {
        return Link::Unavailable; // no /proc to name the file by, or another file system
    }
    if (errno != EEXIST) {
        error = ErrnoText(errno);
        return Link::Failed;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        ArmedTemporary armed;
        Arm(folder, temporary);
        if (LinkAt(file, folder, temporary.c_str()) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            error = ErrnoText(errno);
            return Link::Failed;
        }
        if (renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            error = ErrnoText(errno);
            unlinkat(folder, temporary.c_str(), 0);
            return Link::Failed;
        }
        return Link::Done;
    }
    error = "no free temporary name";
    return Link::Failed;
}

PreparedFile OutputTree::Prepare(const void* data, std::size_t size) const
{
#ifdef O_TMPFILE
    if (!open_ || !prepare_.load(std::memory_order_relaxed)) {
        return {};
    }
    PreparedFile file(openat(root_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            prepare_.store(false, std::memory_order_relaxed);
        }
        return {};
    }
    if (!WriteAll(file.fd_, data, size)) {
        return {};
    }
    return file;
#else
    (void)data;
    (void)size;
    return {};
#endif
}

void PreparedFile::Close()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool OutputTree::WriteFile(const std::filesystem::path& name, const void* data, std::size_t size,
                           std::string& error, PreparedFile* prepared)
{
#ifdef O_TMPFILE
    if (prepared != nullptr && prepared->Valid()) {
        std::string ignored;
        if (LinkIn(prepared->fd_, name, ignored) == Link::Done) {
            return true; // its owner closes it
        }
        prepared->Close();
        // Written again below: whatever stood in the way is met again and reported.
    }
    if (unnamedFiles_) {
        Descriptor file(openat(Current(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (file.get() < 0) {
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                error = ErrnoText(errno);
                return false;
            }
            unnamedFiles_ = false; // this file system has no unnamed files
            return WriteNamed(name, data, size, error);
        }
        if (!WriteAll(file.get(), data, size)) {
            error = ErrnoText(errno);
            return false; // the unnamed file goes with its descriptor
        }
        switch (LinkIn(file.get(), name, error)) {
        case Link::Done:
            return true;
        case Link::Failed:
            return false;
        case Link::Unavailable:
            unnamedFiles_ = false;
            break;
        }
    }
#else
    (void)prepared;
#endif
    return WriteNamed(name, data, size, error);
}

bool OutputTree::WriteNamed(const std::filesystem::path& name, const void* data, std::size_t size,
                            std::string& error)
{
    const int folder = Current();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        ArmedTemporary armed;
        Arm(folder, temporary);
        Descriptor file(
            openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.get() < 0) {
            if (errno == EEXIST) {
                continue;
            }
            error = ErrnoText(errno);
            return false;
        }
        const bool written = WriteAll(file.get(), data, size);
        const int reason = errno;
        if (!written || !file.Close()) {
            error = ErrnoText(written ? errno : reason);
            unlinkat(folder, temporary.c_str(), 0);
            return false;
        }
        if (renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            error = ErrnoText(errno);
            unlinkat(folder, temporary.c_str(), 0);
            return false;
        }
        return true;
    }
    error = "no free temporary name";
    return false;
}

void AllowManyOpenFiles()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return;
    }
    const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    // The kernel grows the descriptor table by doubling, and once threads
    // share it each growth waits for an RCU grace period, holding up every
    // thread that opens a file meanwhile: 10-20 ms a time, seven or eight
    // times on the way to thousands of files written ahead. Growing it now,
    // while this is the only thread, costs nothing of that: open one
    // descriptor as high as an extraction may go, and close it.
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t highest = std::min<rlim_t>(limit.rlim_cur, 16384 + 1024) - 1;
    const int base = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (base >= 0) {
        const int high = fcntl(base, F_DUPFD_CLOEXEC, static_cast<int>(highest));
        if (high >= 0) {
            close(high);
        }
        close(base);
    }
}

std::size_t OpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::size_t{1} << 20;
    }
    return static_cast<std::size_t>(limit.rlim_cur);
}

void InstallInterruptCleanup(int exitStatus, const char* message)
{
    PendingTemporary& p = Pending();
    p.exitStatus = exitStatus;
    p.message = message;
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

#else // _WIN32

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

bool OutputTree::Open(const std::filesystem::path& root, std::string& error)
{
    CloseFrom(0);
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
PreparedFile OutputTree::Prepare(const void*, std::size_t) const
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
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::filesystem::path temporary = folder / TemporaryName();
        ArmedTemporary armed;
        Arm(temporary);
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

void AllowManyOpenFiles() {}

std::size_t OpenFileLimit()
{
    return std::size_t{1} << 24; // handles are not limited this way here
}

void InstallInterruptCleanup(int exitStatus, const char* message)
{
    PendingTemporary& p = Pending();
    p.exitStatus = exitStatus;
    p.message = message;
    SetConsoleCtrlHandler(&OnInterrupt, TRUE);
}

#endif

} // namespace archive
