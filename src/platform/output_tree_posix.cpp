// The POSIX disk writer: folders reached through open descriptors, files
// made unnamed (O_TMPFILE) where the kernel and file system allow it and
// linked in when complete, else written under a temporary name and renamed.
#include "platform/interrupt_cleanup.h"
#include "platform/output_tree.h"
#include "platform/temporary_name.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/openat2.h>
#endif

namespace archive {

namespace {

// Tells one Open of any OutputTree from every other.
std::atomic<std::uint64_t> openings{0};

std::string ErrnoText(int error)
{
    return std::generic_category().message(error);
}

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

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

// The first `size` bytes of the open file `fd`.
bool ReadAllAt(int fd, std::vector<char>& bytes, std::size_t size)
{
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, bytes.data() + done, size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = EIO; // shorter than what was written into it
            }
            return false;
        }
        done += static_cast<std::size_t>(got);
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

} // namespace

void OutputTree::CloseFolder(Handle folder)
{
    close(folder);
}

bool OutputTree::ExistsHere(const std::filesystem::path& name, bool& absent)
{
    struct stat info;
    if (fstatat(Current(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        absent = false;
        return true;
    }
    absent = errno == ENOENT;
    return false;
}

OutputTree::Make OutputTree::MakeHere(const std::filesystem::path& name)
{
    if (mkdirat(Current(), name.c_str(), 0777) == 0) {
        FolderMade();
        return Make::Made;
    }
    return errno == EEXIST ? Make::Existed : Make::Unknown;
}

bool OutputTree::OpenHere(const std::filesystem::path& name, int& handle)
{
    handle = openat(Current(), name.c_str(), kFolderFlags);
    return handle >= 0;
}

bool OutputTree::Open(const std::filesystem::path& root, std::string& error)
{
    CloseFrom(0);
    ForgetKept();
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
    opening_ = ++openings; // the folders threads keep open were below the old root
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
        FolderMade();
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
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        ArmedTemporary armed(folder, temporary.c_str());
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

bool OutputTree::OpenFolderBeneathRoot(const std::filesystem::path& folder, int& handle) const
{
    // A handle files can be made in: O_TMPFILE refuses an O_PATH one.
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
    open_how how{};
    how.flags = kFlags & ~O_NOFOLLOW; // a link at the end fails too: RESOLVE_NO_SYMLINKS
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
    const long fd = syscall(SYS_openat2, root_, folder.c_str(), &how, sizeof how);
    if (fd >= 0) {
        handle = static_cast<int>(fd);
        return true;
    }
    if (errno != ENOSYS && errno != EPERM && errno != EINVAL && errno != E2BIG) {
        return false; // missing, or a link on the way
    }
#endif
    // A name at a time, refusing a link at each step.
    int current = root_;
    for (const std::filesystem::path& name : folder) {
        if (name.empty() || name == ".") {
            continue;
        }
        const int next = openat(current, name.c_str(), kFlags);
        const int reason = errno;
        if (current != root_) {
            close(current);
        }
        if (next < 0) {
            errno = reason;
            return false;
        }
        current = next;
    }
    if (current == root_) {
        current = fcntl(root_, F_DUPFD_CLOEXEC, 0);
    }
    handle = current;
    return current >= 0;
}

namespace {

// The folders a fetching thread made files in last, each open: its own, so
// that two threads never wait for each other to find a folder.
struct ThreadFolders {
    std::uint64_t tree = 0;                        // the OutputTree::Open they belong to
    std::vector<std::pair<std::string, int>> open; // most recent first
    std::vector<std::pair<std::string, int>> met;  // reached without a handle (how often), most recent first
    bool oneCall = true;                           // until the kernel turns out not to have openat2
    ~ThreadFolders() { Forget(); }
    void Forget()
    {
        for (const auto& [name, handle] : open) {
            close(handle);
        }
        open.clear();
        met.clear();
    }
};

// How many folders a thread keeps open, and remembers having met once.
constexpr std::size_t kKeptFolders = 16;

ThreadFolders& FoldersOfThisThread(std::uint64_t tree)
{
    thread_local ThreadFolders mine;
    if (mine.tree != tree) {
        mine.Forget();
        mine.tree = tree;
    }
    return mine;
}

} // namespace

int OutputTree::FolderToPrepareIn(const std::filesystem::path& folder) const
{
    if (folder.empty()) {
        return root_;
    }
    // Files of one folder come together in the walk, and a thread works on
    // neighbouring entries: a few folders kept open serve nearly every file.
    ThreadFolders& mine = FoldersOfThisThread(opening_);
    for (const auto& [name, handle] : mine.open) {
        if (name == folder.native()) {
            return handle;
        }
    }
    for (;;) {
        std::unique_lock lock(prepareMutex_);
        ++waitingForFolder_;
        const std::uint64_t seen = foldersMade_;
        lock.unlock();
        int handle = -1;
        const bool opened = OpenFolderBeneathRoot(folder, handle);
        const int reason = errno;
        lock.lock();
        if (opened) {
            --waitingForFolder_;
            lock.unlock();
            if (mine.open.size() >= kKeptFolders) {
                close(mine.open.back().second);
                mine.open.pop_back();
            }
            mine.open.insert(mine.open.begin(), {folder.native(), handle});
            return handle;
        }
        // Not there yet while the folders are being made: wait for the pass to make more.
        while (reason == ENOENT && folderPass_ && foldersMade_ == seen) {
            folderMade_.wait(lock);
        }
        --waitingForFolder_;
        if (reason != ENOENT || foldersMade_ == seen) {
            return -1; // a link, or a folder that will not be made: written in turn
        }
    }
}

int OutputTree::MakeUnnamedIn(const std::filesystem::path& folder) const
{
    // Read and write: the bytes can be read back should the file have to be
    // written again under a temporary name.
    constexpr int kFileFlags = O_TMPFILE | O_RDWR | O_CLOEXEC;
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
    // A folder this thread has not met lately is not opened for one or two
    // files: the file is made in it by one call that walks from the root,
    // refusing every link and any way out, as the folder's own open would.
    // Met a third time, it is opened and kept (below). On a catalogue of a
    // file or two per folder that spares an open and a close of a folder per file.
    constexpr int kMeetingsBeforeOpening = 2;
    ThreadFolders& mine = FoldersOfThisThread(opening_);
    if (!folder.empty() && mine.oneCall) {
        const auto same = [&folder](const auto& entry) { return entry.first == folder.native(); };
        const bool kept = std::any_of(mine.open.begin(), mine.open.end(), same);
        auto met = std::find_if(mine.met.begin(), mine.met.end(), same);
        if (!kept && (met == mine.met.end() || met->second < kMeetingsBeforeOpening)) {
            if (met == mine.met.end()) {
                if (mine.met.size() >= kKeptFolders) {
                    mine.met.pop_back();
                }
                met = mine.met.insert(mine.met.begin(), {folder.native(), 0});
            }
            ++met->second;
            open_how how{};
            how.flags = kFileFlags;
            how.mode = 0666;
            how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
            const long fd = syscall(SYS_openat2, root_, folder.c_str(), &how, sizeof how);
            if (fd >= 0) {
                return static_cast<int>(fd);
            }
            if (errno == EOPNOTSUPP || errno == EISDIR) {
                return -1; // no unnamed files here: Prepare gives up on them
            }
            if (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG) {
                mine.oneCall = false; // an older kernel, or a sandbox that filters the call
            }
            // Missing (perhaps not made yet), a link on the way, or no such
            // call: the folder's own open below waits or finds out.
        } else if (!kept) {
            mine.met.erase(met);
        }
    }
#endif
    const int where = FolderToPrepareIn(folder);
    if (where < 0) {
        errno = ENOENT; // not a refusal of unnamed files
        return -1;
    }
    return openat(where, ".", kFileFlags, 0666);
}

PreparedFile OutputTree::Prepare(const std::filesystem::path& folder, const void* data,
                                 std::size_t size) const
{
#ifdef O_TMPFILE
    if (!open_ || !prepare_.load(std::memory_order_relaxed)) {
        return {};
    }
    PreparedFile file;
    try {
        file = PreparedFile(MakeUnnamedIn(folder));
    } catch (const std::exception&) {
        return {}; // written in turn
    }
    if (!file.Valid()) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            prepare_.store(false, std::memory_order_relaxed);
        }
        return {};
    }
    if (!WriteAll(file.fd_, data, size)) {
        return {};
    }
    file.size_ = size;
    return file;
#else
    (void)folder;
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
    std::vector<char> readBack; // the prepared file's bytes, when its owner kept none
    if (prepared != nullptr && prepared->Valid()) {
        std::string ignored;
        const Link linked = LinkIn(prepared->fd_, name, ignored);
        if (linked == Link::Done) {
            return true; // its owner closes it
        }
        if (data == nullptr && size > 0) {
            if (!ReadAllAt(prepared->fd_, readBack, size)) {
                error = ErrnoText(errno);
                prepared->Close();
                return false;
            }
            data = readBack.data();
        }
        prepared->Close();
        if (linked == Link::Unavailable) {
            // Unnamed files cannot be named here (no /proc, another file
            // system): no more are prepared, and this one and the rest are
            // written once each, under a temporary name.
            prepare_.store(false, std::memory_order_relaxed);
            unnamedFiles_ = false;
        }
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
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        ArmedTemporary armed(folder, temporary.c_str());
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

} // namespace archive
