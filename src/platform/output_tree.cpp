// What the disk writers of every platform share: the walk through the
// folders held open, and the temporary names. Each platform's writer is in
// its own file (output_tree_posix.cpp, output_tree_windows.cpp).
#include "platform/output_tree.h"

#include "platform/host_file.h"
#include "platform/temporary_name.h"

#include <cstdio>
#include <random>
#include <utility>

namespace archive {

std::string TemporaryName()
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    char name[40];
    std::snprintf(name, sizeof name, ".at-%016llx.part", static_cast<unsigned long long>(random()));
    return name;
}

bool WriteFileReplacing(const std::filesystem::path& target, const void* data, std::size_t size,
                        std::string& error)
{
    OutputTree folder;
    const std::filesystem::path parent = target.parent_path();
    return folder.Open(parent.empty() ? std::filesystem::path(".") : parent, error) &&
           folder.WriteFile(target.filename(), data, size, error);
}

OutputTree::FolderPass::FolderPass(OutputTree& tree) : tree_(tree)
{
    // A folder kept open costs a descriptor until its files are written:
    // half of what the limit leaves, beside the quarter for files written
    // ahead. Of the two, folders kept save more: a walk each, where a
    // thousand files ahead already keep both cores busy.
    const std::size_t limit = OpenFileLimit();
    tree_.keepAtMost_ = limit < 512 ? 0 : std::min<std::size_t>((limit - 256) / 2, 32768);
    tree_.makingFolders_ = true;
    std::lock_guard lock(tree_.prepareMutex_);
    tree_.folderPass_ = true;
}

void OutputTree::FolderPass::End()
{
    if (std::exchange(ended_, true)) {
        return;
    }
    tree_.makingFolders_ = false;
    std::lock_guard lock(tree_.prepareMutex_);
    tree_.folderPass_ = false;
    ++tree_.foldersMade_;
    tree_.folderMade_.notify_all();
}

void OutputTree::FolderMade()
{
    // Waiting threads look again every so many folders, not at each: a
    // thread that caught up with the pass would otherwise wake, look and
    // sleep once per folder (a futex call pair and an open each time).
    constexpr unsigned kFoldersPerLook = 64;
    if (++madeSinceLook_ >= kFoldersPerLook && waitingForFolder_.load() > 0) {
        madeSinceLook_ = 0;
        std::lock_guard lock(prepareMutex_);
        ++foldersMade_;
        folderMade_.notify_all();
    }
}

OutputTree::~OutputTree()
{
    CloseFrom(0);
    ForgetKept();
    if (open_) {
        CloseFolder(root_);
    }
}

bool OutputTree::IsOpen() const
{
    return open_;
}

OutputTree::Handle OutputTree::Current() const
{
    if (keptCurrent_) {
        return *keptCurrent_;
    }
    return levels_.empty() ? root_ : levels_.back().handle;
}

void OutputTree::LeaveKept()
{
    if (!keptCurrent_) {
        return;
    }
    if (!makingFolders_ && walked_) {
        Retire(*keptCurrent_);
        kept_.erase(*walked_);
    }
    keptCurrent_.reset();
}

void OutputTree::ForgetKept()
{
    keptCurrent_.reset();
    for (const auto& [name, handle] : kept_) {
        CloseFolder(handle);
    }
    kept_.clear();
}

void OutputTree::Retire(Handle folder)
{
#ifndef _WIN32
    if (collectRetired_) {
        try {
            retired_.push_back(PreparedFile(folder));
            return;
        } catch (const std::bad_alloc&) {
            // closed here, then
        }
    }
#endif
    CloseFolder(folder);
}

void OutputTree::CloseFrom(std::size_t depth)
{
    LeaveKept();
    walked_.reset();
    while (levels_.size() > depth) {
        if (levels_.back().opened) {
            Retire(levels_.back().handle);
        }
        levels_.pop_back();
    }
}

OutputTree::Reach OutputTree::Walk(const std::filesystem::path& relative, bool create, std::string& error)
{
    // Files of one folder come one after another: the folder reached last
    // is where the next file goes, with nothing to split or compare but its text.
    if (walked_ && relative.native() == *walked_) {
        return Reach::Done;
    }
    LeaveKept();
    walked_.reset();
    if (const auto kept = kept_.find(relative.native()); kept != kept_.end()) {
        keptCurrent_ = kept->second;
        walked_ = relative.native();
        return Reach::Done;
    }
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
    if (!(names.size() - depth >= 2 && !lastMissing && OpenBeneath(names, depth))) {
        for (; depth < names.size(); ++depth) {
            const bool missing = lastMissing && depth + 1 == names.size();
            if (const Reach reach = Descend(names[depth], create, missing, error); reach != Reach::Done) {
                return reach;
            }
        }
    }
    walked_ = relative.native();
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
    bool absent = false;
    if (ExistsHere(relative.filename(), absent)) {
        return true;
    }
    missing_ = absent ? relative : std::filesystem::path();
    return false;
}

OutputTree::Make OutputTree::MakeFolder(const std::filesystem::path& relative)
{
    std::string ignored;
    if (!open_ || relative.filename().empty() || relative.filename() == "." ||
        Walk(relative.parent_path(), false, ignored) != Reach::Done) {
        return Make::Unknown;
    }
    const Make made = MakeHere(relative.filename());
    Handle handle{};
    if (made == Make::Made && makingFolders_ && kept_.size() < keepAtMost_ &&
        OpenHere(relative.filename(), handle)) {
        try {
            kept_.emplace(relative.native(), handle);
        } catch (const std::bad_alloc&) {
            CloseFolder(handle); // walked to, then
        }
    }
    return made;
}

} // namespace archive
