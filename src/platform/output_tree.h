#pragma once

#include "platform/interrupt_cleanup.h"
#include "platform/open_file_limit.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace archive {

// The content of one file written ahead of its turn, under no name yet (on
// Linux an unnamed file on the output root's file system), for
// OutputTree::WriteFile to name. Closing it without that leaves nothing.
class PreparedFile {
  public:
    PreparedFile() = default;
    ~PreparedFile() { Close(); }
    PreparedFile(PreparedFile&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0))
    {
    }
    PreparedFile& operator=(PreparedFile&& other) noexcept
    {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;
    bool Valid() const { return fd_ >= 0; }
    // The bytes written into it; still known once it is closed.
    std::size_t Size() const { return size_; }
    void Close();

  private:
    friend class OutputTree;
    explicit PreparedFile(int fd) : fd_(fd) {}
    int fd_ = -1;
    std::size_t size_ = 0;
};

// Writes below one folder, the output root, and never outside it. Every
// folder below the root is reached relative to the open handle of its parent,
// one name at a time, and a symbolic link (on Windows any reparse point) met
// on the way is refused: a folder swapped for a link while an extraction runs
// cannot redirect a write. The handles of the folders in use stay open across
// their files, so a run of files in one folder costs no lookups.
//
// Files appear under their names only when complete. On Linux a file is made
// without a name (O_TMPFILE) and linked in when written; elsewhere, or where
// the file system refuses that, it is written under a fresh random temporary
// name, created exclusively, and renamed into place. While a named temporary
// exists it is registered for InterruptCleanup.
class OutputTree {
  public:
    enum class Reach {
        Done,
        Link,   // a component is a symbolic link or reparse point
        Failed, // the reason is in `error`
    };

    OutputTree() = default;
    ~OutputTree();
    OutputTree(const OutputTree&) = delete;
    OutputTree& operator=(const OutputTree&) = delete;

    // Opens `root`, following a link there: the user chose it.
    bool Open(const std::filesystem::path& root, std::string& error);
    bool IsOpen() const;

    // True when `relative` names something below the root, a link included;
    // false for anything below a link.
    bool Exists(const std::filesystem::path& relative);
    // Makes the folder `relative` in one step when its parent is there and
    // no link stands on the way: Made, Existed (something of that name is
    // there already, a link included), or Unknown, when the long way
    // (Exists, then Enter) must find out and report.
    enum class Make { Made, Existed, Unknown };
    Make MakeFolder(const std::filesystem::path& relative);
    // Makes the folder `relative` (empty: the root) the current folder,
    // creating the folders that are missing.
    Reach Enter(const std::filesystem::path& relative, std::string& error);
    // Writes `size` bytes as the whole content of `name` in the current
    // folder, replacing a file (or a link) of that name only once complete.
    // A `prepared` file holding those bytes is named instead where it can be,
    // and stays open for its owner to close (closing costs the caller's
    // thread a system call); where it cannot, the bytes are written here as
    // usual and it is closed. With a prepared file `data` may be null: the
    // bytes are then read back from it when they must be written again.
    bool WriteFile(const std::filesystem::path& name, const void* data, std::size_t size, std::string& error,
                   PreparedFile* prepared = nullptr);
    // Writes `size` bytes into a file of no name yet, made in the folder
    // `folder` (relative to the root) where WriteFile will name it, so that
    // it takes that folder's group and default permissions as a file made
    // there by name would; empty when that cannot be done here (the bytes
    // are then written in turn, which reports what went wrong). Safe to call
    // from any thread while the tree is open: it reaches the folder from the
    // root's handle, refusing links as Enter does, and keeps the last few
    // folders open for the next files.
    PreparedFile Prepare(const std::filesystem::path& folder, const void* data, std::size_t size) const;

    // From now on the folders a walk leaves are not closed on this thread:
    // they wait in RetiredFolders for the caller to hand to a thread that
    // closes them (a PreparedFile closes its descriptor when it goes), which
    // it must do often, as each holds a descriptor until then. Only where
    // folders are reached through descriptors; elsewhere they close at once.
    void CollectRetiredFolders() { collectRetired_ = true; }
    std::vector<PreparedFile>& RetiredFolders() { return retired_; }

    // Until a FolderPass ends, Prepare waits for a folder that is not there
    // yet rather than giving up on it: the folders are being made, and its
    // file would otherwise be written in turn. Its end (End, or however it
    // goes out of scope) lets every waiting Prepare go; a pass must end
    // before its maker waits for a prepared entry.
    class FolderPass {
      public:
        explicit FolderPass(OutputTree& tree);
        ~FolderPass() { End(); }
        void End();
        FolderPass(const FolderPass&) = delete;
        FolderPass& operator=(const FolderPass&) = delete;

      private:
        OutputTree& tree_;
        bool ended_ = false;
    };

  private:
#ifdef _WIN32
    using Handle = void*;
#else
    using Handle = int;
#endif
    struct Level {
        std::filesystem::path name;
        Handle handle;
        bool opened = true; // false: passed through by a one-call open of a deeper folder
    };
    Handle Current() const;
    // Opens the folder `name` in the current folder, refusing a link, to be
    // kept; false when it cannot be (or nothing is kept on this platform).
    bool OpenHere(const std::filesystem::path& name, Handle& handle);
    // Leaves the kept folder that is current: closed, once the folders are
    // made, since the files that go in it come one after another.
    void LeaveKept();
    void ForgetKept();
    static void CloseFolder(Handle folder);
    // Closes a folder left, or keeps it in retired_ for the caller to close.
    void Retire(Handle folder);
    // Whether `name` exists in the current folder; `absent` when it surely does not.
    bool ExistsHere(const std::filesystem::path& name, bool& absent);
    Make MakeHere(const std::filesystem::path& name);
    // `missing`: the caller has just seen that the folder does not exist.
    Reach Descend(const std::filesystem::path& name, bool create, bool missing, std::string& error);
    Reach Walk(const std::filesystem::path& relative, bool create, std::string& error);
    // Opens the folders `names[from..]` below the current folder in one call
    // that refuses every link and any way out; false when it cannot (a
    // folder missing, a link, or no such call here): the walk then goes a
    // name at a time and finds out which.
    bool OpenBeneath(const std::vector<std::filesystem::path>& names, std::size_t from);
    void CloseFrom(std::size_t depth);
    bool WriteNamed(const std::filesystem::path& name, const void* data, std::size_t size,
                    std::string& error);
    enum class Link { Done, Failed, Unavailable };
    // Gives the unnamed file `file` the name `name` in the current folder.
    Link LinkIn(int file, const std::filesystem::path& name, std::string& error);
    // linkat for an unnamed file: through its descriptor where the kernel
    // allows it, else through /proc; 0 or -1 with errno as linkat sets it.
    int LinkAt(int file, int folder, const char* name);
    // The writer made a folder: a Prepare waiting for it may find it now.
    void FolderMade();

    // The open folder `folder` for Prepare on this thread (each thread keeps
    // its last few open), or -1 when it is not there or not to be used.
    int FolderToPrepareIn(const std::filesystem::path& folder) const;
    // A new unnamed file in `folder` below the root, reached with no link on
    // the way; -1 with errno when it cannot be made there.
    int MakeUnnamedIn(const std::filesystem::path& folder) const;
    // Opens `folder` below the root with no link on the way; false when it cannot.
    bool OpenFolderBeneathRoot(const std::filesystem::path& folder, Handle& handle) const;

#ifdef _WIN32
    std::filesystem::path FullPath() const;
    std::filesystem::path rootPath_;
#endif
    Handle root_{};
    bool open_ = false;
    bool unnamedFiles_ = true;                // until the file system refuses them
    bool linkByDescriptor_ = true;            // until the kernel refuses AT_EMPTY_PATH to us
    bool openBeneath_ = true;                 // until the kernel turns out not to have the call
    mutable std::atomic<bool> prepare_{true}; // until the root's file system refuses unnamed files
    std::vector<Level> levels_;
    std::optional<std::filesystem::path::string_type> walked_; // where Current() is, while it is known
    // The folders a FolderPass made, each kept open (as many as the
    // open-file limit spares) for the folders and files made in it next, so
    // neither pass walks to it again; by their path below the root.
    std::unordered_map<std::filesystem::path::string_type, Handle> kept_;
    std::size_t keepAtMost_ = 0;
    std::optional<Handle> keptCurrent_; // the current folder, when it is one of kept_
    bool makingFolders_ = false;        // a FolderPass runs: kept folders stay open when left
    std::filesystem::path missing_;     // what Exists last found missing: Enter creates it without a look
    bool collectRetired_ = false;
    std::vector<PreparedFile> retired_;

    // For Prepare, on any thread:
    std::uint64_t opening_ = 0; // which Open this is, for the folders threads keep open
    mutable std::mutex prepareMutex_;
    mutable std::condition_variable folderMade_;
    mutable std::atomic<unsigned> waitingForFolder_{0};
    bool folderPass_ = false;       // guarded by prepareMutex_
    std::uint64_t foldersMade_ = 0; // guarded by prepareMutex_: a waiting Prepare looks again when it changes
    unsigned madeSinceLook_ = 0;    // the writer's: folders made since waiting threads last looked
};

} // namespace archive
