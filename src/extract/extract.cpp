#include "extract/extract.h"

#include "extract/entry_fetch.h"
#include "extract/host_path.h"
#include "platform/output_tree.h"
#include "platform/text_encoding.h"
#include "sga/sga_node_key.h"
#include "window/frm_big.h"
#include "window/number_text.h"
#include "window/path_helpers.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace archive {

namespace {

std::string Upper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// Marks the window as busy extracting, so that the commands that would change
// what the extraction reads or writes refuse to run in the middle of it.
class ExtractingScope {
  public:
    explicit ExtractingScope(FrmBig& frm) : frm_(frm) { frm_.Extracting = true; }
    ~ExtractingScope() { frm_.Extracting = false; }
    ExtractingScope(const ExtractingScope&) = delete;
    ExtractingScope& operator=(const ExtractingScope&) = delete;

  private:
    FrmBig& frm_;
};

class Extractor {
  public:
    explicit Extractor(FrmBig& frm) : frm_(frm), t_(frm.Sga) {}

    bool OpenArchive()
    {
        std::string error;
        if (!frm_.SgaCatalogueShown() || !t_.HasToc(1)) {
            // After a rejected or failed open the tables may still hold an
            // older catalogue: never apply it to another file's bytes.
            Error(frm_.CatalogueFormat == ArchiveFormat::Rbf
                      ? "the files of an RBF archive cannot be extracted"
                      : "no SGA archive is loaded: open one first");
            return false;
        }
        if (!archive_.Open(PathFromUtf8(frm_.ArchivePath), error, frm_.CatalogueIdentity)) {
            Error("cannot open the archive " + frm_.ArchivePathText() + ": " + error);
            return false;
        }
        return true;
    }

    // The output root: ".\data\", or ".\data\" and the first TOC's alias.
    // ".\data" itself is the user's to choose and may be a link; below it
    // every folder is reached through open handles and no link is followed.
    bool PrepareOutputRoot()
    {
        rootText_ = ".\\data";
        const std::filesystem::path dataHost = frm_.OutputBase / "data";
        std::error_code error;
        if (!std::filesystem::exists(dataHost, error)) {
            frm_.sText("Creating directory: .\\data");
            std::filesystem::create_directory(dataHost, error);
            if (error) {
                Error("cannot create the folder .\\data: " + error.message());
                return false;
            }
        }
        std::string openError;
        if (!out_.Open(dataHost, openError)) {
            Error("cannot open the folder .\\data: " + openError);
            return false;
        }
        rootHost_ = dataHost;
        rootText_ = ".\\data\\";
        const std::string& alias = t_.SgaTocs[1].Alias;
        if (Upper(alias) != "DATA") {
            const auto mapped = MapArchivePath(alias);
            if (!mapped) {
                Unsafe(alias);
                return false;
            }
            if (!out_.Exists(*mapped)) {
                frm_.sText("Creating directory: .\\data\\" + alias);
                if (!CreateFolder(*mapped, ".\\data\\" + alias)) {
                    return false;
                }
            }
            rootText_ = ".\\data\\" + alias + "\\";
            alias_ = *mapped;
            rootHost_ = dataHost / *mapped;
        }
        return true;
    }

    // A destination folder of the user's choosing instead of ".\data": made
    // when missing, followed if it is a link (the user chose it); below it the
    // same rules as below ".\data".
    bool UseDestination(const std::filesystem::path& folder)
    {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(folder, error).lexically_normal();
        const std::string shown = PathToUtf8(absolute);
        std::filesystem::create_directories(absolute, error);
        if (error) {
            Error("cannot create the folder " + shown + ": " + error.message());
            return false;
        }
        std::string openError;
        if (!out_.Open(absolute, openError)) {
            Error("cannot open the folder " + shown + ": " + openError);
            return false;
        }
        rootHost_ = absolute;
        rootText_ = shown + std::string(1, std::filesystem::path::preferred_separator);
        return true;
    }

    const std::string& RootText() const { return rootText_; }
    // The output root as the host names it.
    const std::filesystem::path& RootHost() const { return rootHost_; }
    // Where `mapped`, a path below the output root, lies below ".\data".
    std::filesystem::path BelowData(const std::filesystem::path& mapped) const { return alias_ / mapped; }

    // A failure of the command, counted; `item` names what failed for the summary.
    void Error(const std::string& what, const std::string& item = {})
    {
        frm_.ReportFailure("Error: " + what);
        Failed(item);
        lastProblem_ = what;
    }

    void Unsafe(const std::string& archivePath)
    {
        frm_.sText("Skipped unsafe path: " + archivePath);
        Failed(archivePath);
        lastProblem_ = "unsafe path";
    }

    void Failed(const std::string& item)
    {
        ++report_.failed;
        if (!item.empty()) {
            report_.failedEntries.push_back(item);
        }
    }

    // Whether something of that name exists below the output root (`mapped` as BelowData takes it).
    bool Exists(const std::filesystem::path& mapped) { return out_.Exists(BelowData(mapped)); }

    // Makes the folder unless something of that name is there: true when it
    // made it. A failure is reported as CreateFolder reports it.
    bool MakeFolderIfMissing(const std::filesystem::path& mapped, const std::string& shown, bool& failed)
    {
        failed = false;
        switch (out_.MakeFolder(BelowData(mapped))) {
        case OutputTree::Make::Made:
            return true;
        case OutputTree::Make::Existed:
            return false;
        case OutputTree::Make::Unknown:
            break;
        }
        if (Exists(mapped)) {
            return false;
        }
        failed = !CreateFolder(mapped, shown);
        return !failed;
    }

    // Makes the folder (and those on its way) unless a link stands there.
    bool CreateFolder(const std::filesystem::path& mapped, const std::string& shown)
    {
        std::string error;
        switch (out_.Enter(BelowData(mapped), error)) {
        case OutputTree::Reach::Done:
            return true;
        case OutputTree::Reach::Link:
            frm_.sText("Skipped path through a link below the output root: " + shown);
            lastProblem_ = "a folder on its way is a link";
            Failed(shown);
            return false;
        case OutputTree::Reach::Failed:
            break;
        }
        Error("cannot create the folder " + shown + ": " + error, shown);
        return false;
    }

    // The "Error: " lines of one entry, each naming it and the reason; the
    // entry counts once however many there are. Reading comes first: a short
    // entry is reported before its position line.
    void ReportShort(const FetchedEntry& entry, const std::string& path)
    {
        if (entry.got != entry.stored) {
            entryFailed_ = true;
            frm_.ReportFailure("Error: " + path + " runs past the end of the archive: " + N(entry.got) +
                               " of " + N(entry.stored) + " bytes read");
        }
    }
    void ReportInflate(const FetchedEntry& entry, const std::string& path)
    {
        if (!entry.refused.empty()) {
            entryFailed_ = true;
            frm_.ReportFailure("Error: " + path + " cannot be decompressed: " + entry.refused);
        } else if (InflateFailed(entry)) {
            entryFailed_ = true;
            frm_.ReportFailure("Error: " + path + " failed to inflate: zlib status " + N(entry.status) +
                               ", " + clsZlib::StatusText(entry.status) +
                               "; written as far as it inflated (" +
                               N(static_cast<long long>(entry.buffer.size())) + " bytes)");
        }
    }
    static bool InflateFailed(const FetchedEntry& entry)
    {
        return entry.compressed && entry.refused.empty() && entry.status != 0;
    }
    void EndEntry(const std::string& path)
    {
        if (entryFailed_) {
            Failed(path);
        }
        entryFailed_ = false;
    }

    clsZlib& Zlib()
    {
        if (!frm_.Zlib) {
            frm_.Zlib = std::make_unique<clsZlib>();
        }
        return *frm_.Zlib;
    }

    // Writes an entry; a failure is the entry's (EndEntry counts it). A folder
    // that no directory row made (a name with "\\" or "/" inside) is made here.
    bool Write(const std::filesystem::path& mapped, FetchedEntry& entry, const std::string& shown)
    {
        std::string error;
        switch (out_.Enter(BelowData(mapped.parent_path()), error)) {
        case OutputTree::Reach::Done:
            break;
        case OutputTree::Reach::Link:
            entryFailed_ = true;
            lastProblem_ = "a folder on its way is a link";
            frm_.sText("Skipped path through a link below the output root: " + shown);
            return false;
        case OutputTree::Reach::Failed:
            return WriteFailed(shown, error);
        }
        if (!out_.WriteFile(mapped.filename(), entry.buffer.data(), entry.buffer.size(), error,
                            &entry.prepared)) {
            return WriteFailed(shown, error);
        }
        ++report_.written;
        return true;
    }

    bool WriteFailed(const std::string& shown, const std::string& error)
    {
        entryFailed_ = true;
        lastProblem_ = "cannot write " + shown + ": " + error;
        frm_.ReportFailure("Error: " + lastProblem_);
        return false;
    }

    // Writes each fetched entry's file, under no name yet, on the thread that
    // fetched it; Write then only names it. The output root must be open.
    EntryPrefetcher::Prepare Preparer() const
    {
        return [this](const EntryPrefetcher::Job& job, FetchedEntry& entry) {
            entry.prepared = out_.Prepare(job.folder, entry.buffer.data(), entry.buffer.size());
        };
    }
    // Until it ends, files written ahead wait for their folders to be made.
    OutputTree::FolderPass StartFolderPass() { return OutputTree::FolderPass(out_); }

    // What the last failure was, for a job's report.
    const std::string& LastProblem() const { return lastProblem_; }
    ExtractReport Report() const { return report_; }
    ArchiveFile& archive() { return archive_; }

  private:
    FrmBig& frm_;
    SgaTables& t_;
    ArchiveFile archive_;
    OutputTree out_;
    std::string rootText_;
    std::filesystem::path alias_; // the alias folder below ".\data", or nothing
    std::filesystem::path rootHost_;
    ExtractReport report_;
    bool entryFailed_ = false;
    std::string lastProblem_;
};

// How a failure names an entry: its path, or its row when the path is empty.
std::string NameOfEntry(int row, const std::string& path)
{
    return path.empty() ? "file row " + N(row) : path;
}

std::int64_t EntryPosition(const SgaTables& t, const SgaFile& file)
{
    return static_cast<std::int64_t>(t.SgaHeader.DataOffset) + file.EntryOffset;
}

// The folder path of a node's key: "" for the archive root, the directory's
// path and "\" for a file node; nothing for a directory node.
std::optional<std::string> FolderPathOfKey(const SgaTables& t, const std::string& key, bool& badKey)
{
    const std::optional<SgaNodeKey> parsed = ParseSgaNodeKey(key);
    badKey = !parsed ||
             (parsed->directory >= 0 && static_cast<std::size_t>(parsed->directory) >= t.SgaDirNames.size());
    if (badKey || parsed->kind == SgaNodeKey::Kind::Directory) {
        return std::nullopt;
    }
    if (parsed->directory < 0) {
        return std::string(); // the archive root, or a file in it
    }
    return t.SgaDirNames[static_cast<std::size_t>(parsed->directory)] + "\\";
}

// How many files the file pass would write: the rows that have a case, their ranges added up.
std::int64_t ListedFiles(const SgaTables& t, int numDirectories)
{
    std::int64_t listed = 0;
    for (int d = 0; d < numDirectories; ++d) {
        const SgaDirectory& dir = t.SgaDirectories[static_cast<std::size_t>(d)];
        if (dir.FirstDir <= dir.NextDir && dir.FirstFile < dir.NextFile) {
            listed += dir.NextFile - dir.FirstFile;
        }
    }
    return listed;
}

// The directory rows the file pass walks: those with both a name and a record.
int WalkedDirectories(const SgaTables& t)
{
    return std::min<int>(t.SgaDataHeader.NumDirectories,
                         static_cast<int>(std::min(t.SgaDirNames.size(), t.SgaDirectories.size())));
}

// Overlapping ranges are allowed, but a small table must not make us write a
// billion files: what is wrong when the rows list far more files than there
// are, or "".
std::string Overlisted(const SgaTables& t, int numDirectories)
{
    const std::int64_t listed = ListedFiles(t, numDirectories);
    if (listed > 65536 + 4 * (t.SgaDataHeader.NumFiles + 1)) {
        return "the directory rows list " + N(listed) + " files for " + N(t.SgaDataHeader.NumFiles) +
               " file rows";
    }
    return {};
}

// One step of the file pass, in the walk's order.
struct FileStep {
    enum class Kind { Entry, Unsafe, NoFileName, OutsideTable, RowEnd };
    Kind kind;
    int d = 0;
    int j = 0;
    std::string m = {}; // the file's name as its row places it
    std::filesystem::path target = {};
    const SgaFile* file = nullptr;
    bool doubledFailure = false;
};

// The file pass's walk. A row's files go into the output root under their bare
// names when the row is row 0, or a row without subdirectories named "."; into
// the row's folder otherwise. A row with FirstDir > NextDir writes nothing.
std::vector<FileStep> PlanFilePass(const SgaTables& t, int numDirectories)
{
    std::vector<FileStep> plan;
    for (int d = 0; d < numDirectories; ++d) {
        const SgaDirectory& dir = t.SgaDirectories[static_cast<std::size_t>(d)];
        const std::string* dirName = d >= 1 ? &t.SgaDirNames[static_cast<std::size_t>(d - 1)] : nullptr;
        bool hasCase = true;
        bool bareName = false;
        bool doubledFailure = false;
        if (dir.FirstDir < dir.NextDir) {
            bareName = d == 0; // a row with subdirectories
        } else if (dir.FirstDir == dir.NextDir) {
            bareName = d == 0 || *dirName == "."; // a row without subdirectories
            doubledFailure = bareName;
        } else {
            hasCase = false;
        }
        for (int j = dir.FirstFile; hasCase && j < dir.NextFile; ++j) {
            FileStep step{.kind = FileStep::Kind::Entry, .d = d, .j = j};
            if (j < 0 || static_cast<std::size_t>(j) >= t.SgaFiles.size() ||
                static_cast<std::size_t>(j) >= t.SgaFileNames.size()) {
                step.kind = FileStep::Kind::OutsideTable;
                plan.push_back(std::move(step));
                continue;
            }
            const std::string& bare = t.SgaFileNames[static_cast<std::size_t>(j)];
            step.m = bareName ? bare : *dirName + "\\" + bare;
            const auto mapped = MapArchivePath(step.m);
            if (!mapped) {
                step.kind = FileStep::Kind::Unsafe;
            } else if (NamesAFolder(step.m)) {
                step.kind = FileStep::Kind::NoFileName;
            } else {
                step.target = *mapped;
                step.file = &t.SgaFiles[static_cast<std::size_t>(j)];
                step.doubledFailure = doubledFailure;
            }
            plan.push_back(std::move(step));
        }
        plan.push_back({.kind = FileStep::Kind::RowEnd, .d = d});
    }
    return plan;
}

} // namespace

ExtractReport ExtractSelected(FrmBig& frm, int nodeIndex)
{
    if (frm.Extracting) {
        return {};
    }
    Extractor x(frm);
    const CatalogueTree& tree = frm.tree();
    if (!x.OpenArchive()) {
        return x.Report();
    }
    if (nodeIndex < 1 || static_cast<std::size_t>(nodeIndex) > tree.Count()) {
        frm.sText("No file is selected: choose a file in the tree first");
        return {};
    }
    const CatalogueNode& node = tree.Node(nodeIndex);
    frm.sText(node.children.empty() ? "Extracting: " + node.text : std::string("Cannot extract directory"));
    if (!x.PrepareOutputRoot()) {
        return x.Report();
    }
    const SgaTables& t = frm.Sga;
    bool badKey = false;
    const std::optional<std::string> folder = FolderPathOfKey(t, node.key, badKey);
    if (badKey) {
        x.Error("the node " + node.key + " belongs to no directory of the loaded archive", node.key);
    }
    if (!folder) {
        return x.Report();
    }
    const std::string path = *folder + node.text;
    // The folders of the folder path, outermost first; an unsafe one stops the command there.
    std::int16_t levels = 0;
    try {
        levels = CountBackslashes(*folder);
    } catch (const PathTooLong& e) {
        x.Error(path + ": " + e.what(), path);
        return x.Report();
    }
    std::size_t start = 0;
    for (int level = 0; level < levels; ++level) {
        const std::size_t p = folder->find('\\', start);
        const std::string q = folder->substr(0, p);
        const auto mappedFolder = MapArchivePath(q);
        if (!mappedFolder) {
            x.Unsafe(q);
            return x.Report();
        }
        const std::filesystem::path host = *mappedFolder;
        if (!x.Exists(host)) {
            frm.sText("Creating directory: " + x.RootText() + q);
            if (!x.CreateFolder(host, x.RootText() + q)) {
                return x.Report();
            }
        }
        start = p + 1;
    }
    const std::optional<std::filesystem::path> target = MapArchivePath(path);
    if (!target) {
        x.Unsafe(path);
        return x.Report();
    }
    const int numFiles = std::min<int>(t.SgaDataHeader.NumFiles, static_cast<int>(t.SgaFiles.size()));
    for (int r = 0; r < numFiles; ++r) {
        const SgaFile& file = t.SgaFiles[static_cast<std::size_t>(r)];
        if (file.Path != path) {
            continue;
        }
        const std::int64_t position = EntryPosition(t, file);
        FetchedEntry entry = FetchEntry(x.archive(), x.Zlib(), file, position);
        x.ReportShort(entry, file.Path);
        frm.sText(N(position) + ": " + file.Path);
        if (Extractor::InflateFailed(entry)) {
            frm.dText("Error: " + N(entry.status) + ", Extract of " + N(r) + " " + file.Path + " Failed");
        }
        x.ReportInflate(entry, file.Path);
        if (NamesAFolder(path)) {
            // An empty name (or ".") leaves the path naming its folder.
            x.Error(NameOfEntry(r, file.Path) + " has no file name: a folder cannot be written as a file",
                    NameOfEntry(r, file.Path));
        } else {
            x.Write(*target, entry, x.RootText() + file.Path);
        }
        x.EndEntry(file.Path);
        break;
    }
    return x.Report();
}

ExtractReport ExtractAll(FrmBig& frm)
{
    if (frm.Extracting) {
        return {};
    }
    ExtractingScope busy(frm);
    Extractor x(frm);
    Widgets& widgets = frm.widgets();
    if (!x.OpenArchive()) {
        return x.Report();
    }
    const SgaTables& t = frm.Sga;
    const int numDirectories = WalkedDirectories(t);
    if (const std::string wrong = Overlisted(t, numDirectories); !wrong.empty()) {
        x.Error(wrong + "; nothing was extracted");
        return x.Report();
    }
    DebugFileScope debugScope(frm);
    std::string error;
    if (!frm.DebugFileStart(".debug.extract.txt", error)) {
        x.Error(error);
    }
    if (!x.PrepareOutputRoot()) {
        return x.Report();
    }
    // Exit or the close box, while events ran: stop between two steps, never mid-file.
    const auto closing = [&frm] { return frm.PendingClose != FrmBig::CloseRequest::None; };
    // The file pass's plan comes first, so that its entries are read,
    // inflated and written under no name yet on the other cores while this
    // thread makes the folders. This thread then names and reports them in
    // the walk's order: every log line, debug line and file-system effect
    // comes as without it, and what a stop leaves unnamed disappears.
    const std::vector<FileStep> plan = PlanFilePass(t, numDirectories);
    std::optional<EntryPrefetcher> prefetcher;
    {
        std::vector<EntryPrefetcher::Job> jobs;
        for (const FileStep& step : plan) {
            if (step.kind == FileStep::Kind::Entry) {
                jobs.push_back(
                    {step.file, EntryPosition(t, *step.file), x.BelowData(step.target.parent_path())});
            }
        }
        if (std::thread::hardware_concurrency() > 1 && jobs.size() > 1) {
            prefetcher.emplace(frm.ArchivePath, std::move(jobs), EntryPrefetcher::DefaultThreads(),
                               x.Preparer(), x.archive().Identity());
        }
    }
    // Folder pass. Files written ahead wait for their folders while it
    // runs, and no longer: a folder the file pass makes is not waited for.
    OutputTree::FolderPass folderPass = x.StartFolderPass();
    for (int d = 0; d < numDirectories && !closing(); ++d) {
        const std::string& s = t.SgaDirNames[static_cast<std::size_t>(d)];
        if (s.empty()) {
            continue;
        }
        const auto mapped = MapArchivePath(s);
        if (!mapped) {
            x.Unsafe(s);
            continue;
        }
        bool failed = false;
        if (x.MakeFolderIfMissing(*mapped, x.RootText() + s, failed)) {
            frm.sText("Creating directory: " + s);
            widgets.SetStatusText(s);
        } else if (!failed) {
            continue; // it was there
        }
        widgets.DoEvents();
    }
    folderPass.End();

    widgets.SetProgressMinimum(0);
    widgets.SetProgressMaximum(static_cast<float>(t.SgaDataHeader.NumDirectories - 1));
    widgets.SetProgressValue(0);
    frm.sText(""); // the log shows an empty line, then the start line
    frm.sText("Starting file extract...");

    // File pass: the walk its plan laid out before the folder pass.
    for (const FileStep& step : plan) {
        if (closing()) {
            frm.sText("...Extract stopped: the window is closing");
            return x.Report();
        }
        switch (step.kind) {
        case FileStep::Kind::OutsideTable:
            x.Error("directory row " + N(step.d) + " lists file row " + N(step.j) +
                        ", outside the file table",
                    "file row " + N(step.j));
            break;
        case FileStep::Kind::Unsafe:
            x.Unsafe(step.m);
            break;
        case FileStep::Kind::NoFileName:
            x.Error(NameOfEntry(step.j, step.m) + " has no file name: a folder cannot be written as a file",
                    NameOfEntry(step.j, step.m));
            break;
        case FileStep::Kind::RowEnd:
            widgets.SetProgressValue(static_cast<float>(step.d));
            widgets.DoEvents();
            break;
        case FileStep::Kind::Entry: {
            const std::int64_t position = EntryPosition(t, *step.file);
            FetchedEntry entry =
                prefetcher ? prefetcher->Next() : FetchEntry(x.archive(), x.Zlib(), *step.file, position);
            x.ReportShort(entry, step.m);
            frm.dText(N(position) + ": .\\" + step.m);
            widgets.SetStatusText(step.m);
            std::string failureLine;
            if (Extractor::InflateFailed(entry)) {
                failureLine =
                    "Error: " + N(entry.status) + ", Extract of " + N(step.j) + " " + step.m + " Failed";
                frm.dText(failureLine);
            }
            x.ReportInflate(entry, step.m);
            x.Write(step.target, entry, x.RootText() + step.m);
            // A row of the output root itself without subdirectories repeats the
            // failure line after the write. The debug file keeps that form line
            // for line, so debug files of every version compare equal.
            if (step.doubledFailure && !failureLine.empty()) {
                frm.dText(failureLine);
            }
            x.EndEntry(step.m);
            if (prefetcher) {
                prefetcher->Release(std::move(entry));
            }
            break;
        }
        }
    }
    frm.sText("...Extract finished");
    widgets.SetStatusHostText(frm.ArchivePath);
    return x.Report();
}

namespace {

// What is wrong with an entry's data, or "" when it is sound: bytes missing at
// the end of the archive, a refused or failed inflate, a result that is not
// ExpandedSize bytes long.
std::string DamageOf(const FetchedEntry& entry, const SgaFile& file)
{
    if (entry.got != entry.stored) {
        return "runs past the end of the archive: " + N(entry.got) + " of " + N(entry.stored) + " bytes read";
    }
    if (!entry.refused.empty()) {
        return "cannot be decompressed: " + entry.refused;
    }
    if (entry.compressed && entry.status != 0) {
        return "failed to inflate: zlib status " + N(entry.status) + ", " + clsZlib::StatusText(entry.status);
    }
    if (entry.compressed && static_cast<std::int64_t>(entry.buffer.size()) != file.ExpandedSize) {
        return "inflates to " + N(static_cast<long long>(entry.buffer.size())) + " bytes, not the " +
               N(file.ExpandedSize) + " bytes the table gives";
    }
    return {};
}

// The bytes an entry is expected to give: what progress counts.
std::int64_t ExpectedBytes(const SgaFile& file)
{
    return std::max<std::int64_t>(file.StoredSize == file.ExpandedSize ? file.StoredSize : file.ExpandedSize,
                                  0);
}

// Fetches the jobs in order: on a second core when there is one and it pays.
class EntrySource {
  public:
    EntrySource(const std::string& archivePath, clsZlib& zlib, ArchiveFile& archive,
                std::vector<EntryPrefetcher::Job> jobs, EntryPrefetcher::Prepare prepare = {})
        : zlib_(zlib), archive_(archive), jobs_(jobs)
    {
        if (std::thread::hardware_concurrency() > 1 && jobs.size() > 1) {
            prefetcher_.emplace(archivePath, std::move(jobs), EntryPrefetcher::DefaultThreads(),
                                std::move(prepare), archive.Identity());
        }
    }

    std::size_t Count() const { return jobs_.size(); }
    const SgaFile& FileOf(std::size_t i) const { return *jobs_[i].file; }

    FetchedEntry Next()
    {
        const EntryPrefetcher::Job& job = jobs_[next_++];
        return prefetcher_ ? prefetcher_->Next() : FetchEntry(archive_, zlib_, *job.file, job.position);
    }
    void Release(FetchedEntry&& entry)
    {
        if (prefetcher_) {
            prefetcher_->Release(std::move(entry));
        }
    }

  private:
    clsZlib& zlib_;
    ArchiveFile& archive_;
    std::vector<EntryPrefetcher::Job> jobs_;
    std::size_t next_ = 0;
    std::optional<EntryPrefetcher> prefetcher_;
};

std::string ShownBytes(std::int64_t bytes)
{
    return N(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string ShownFiles(std::int64_t files)
{
    return N(files) + (files == 1 ? " file" : " files");
}

// A job starts neither while another command extracts nor on an RBF archive,
// which says why (`rbfRefusal`).
bool JobMayStart(FrmBig& frm, const std::string& rbfRefusal)
{
    if (frm.Extracting) {
        return false;
    }
    if (frm.CatalogueFormat == ArchiveFormat::Rbf) {
        frm.ReportFailure("Error: " + frm.ArchivePath + " is an RBF archive: " + rbfRefusal);
        return false;
    }
    return true;
}

// A job's walk over its entries, in order: before each one it asks for a
// cancel (the user's, or Exit and the close box: between two entries, never
// inside one), then `done(i, entry)` handles it and returns its archive path,
// and progress goes out. Returns how many entries were not reached.
template <typename Done>
std::int64_t WalkEntries(const FrmBig& frm, const JobControl& control, EntrySource& source,
                         JobProgress& progress, Done done)
{
    progress.totalFiles = static_cast<std::int64_t>(source.Count());
    control.Report(progress);
    for (std::size_t i = 0; i < source.Count(); ++i) {
        if (control.Cancelled() || frm.PendingClose != FrmBig::CloseRequest::None) {
            return static_cast<std::int64_t>(source.Count() - i);
        }
        FetchedEntry entry = source.Next();
        progress.current = done(i, entry);
        source.Release(std::move(entry));
        ++progress.files;
        progress.bytes += ExpectedBytes(source.FileOf(i));
        control.Report(progress);
    }
    return 0;
}

} // namespace

SetReport ExtractSet(FrmBig& frm, const ExtractionSet& set, const SetDestination& where,
                     const JobControl& control)
{
    SetReport report;
    report.refused = true;
    if (!JobMayStart(frm, "its files can be listed but not extracted")) {
        return report;
    }
    ExtractingScope busy(frm);
    Extractor x(frm);
    if (!x.OpenArchive()) {
        return report;
    }
    if (where.outputRoot ? !x.PrepareOutputRoot() : !x.UseDestination(where.folder)) {
        return report;
    }
    report.refused = false;
    std::error_code absoluteError;
    report.destination = std::filesystem::absolute(x.RootHost(), absoluteError).lexically_normal();
    const SgaTables& t = frm.Sga;

    // The files are planned first, so that their entries are read, inflated
    // and written under no name yet on the other cores while this thread
    // makes the folders. What planning finds wrong is reported after the
    // folders, in the order it always was.
    std::vector<SetFile> files = set.files;
    // Row order is the archive's data order in practice: reads stay sequential.
    std::stable_sort(files.begin(), files.end(),
                     [](const SetFile& a, const SetFile& b) { return a.row < b.row; });
    struct Planned {
        const SetFile* file;
        std::filesystem::path target;
    };
    std::vector<Planned> planned;
    std::vector<EntryPrefetcher::Job> jobs;
    std::vector<std::function<void()>> planProblems;
    std::unordered_map<std::filesystem::path::string_type, int> rowOfTarget;
    JobProgress progress;
    for (const SetFile& file : files) {
        if (file.row < 0 || static_cast<std::size_t>(file.row) >= t.SgaFiles.size()) {
            planProblems.push_back([&x, &report, &file] {
                x.Error(file.path + ": file row " + N(file.row) + " is outside the file table");
                report.failed.push_back({file.path, x.LastProblem()});
            });
            continue;
        }
        if (file.path.empty() || file.path.back() == '\\') {
            planProblems.push_back([&x, &report, &file] {
                x.Error(NameOfEntry(file.row, file.path) +
                        " has no file name: a folder cannot be written as a file");
                report.failed.push_back({NameOfEntry(file.row, file.path), x.LastProblem()});
            });
            continue;
        }
        const auto mapped = MapArchivePath(file.path);
        if (!mapped || mapped->empty()) {
            planProblems.push_back([&x, &report, &file] {
                x.Unsafe(file.path);
                report.failed.push_back({file.path, x.LastProblem()});
            });
            continue;
        }
        const auto [at, fresh] = rowOfTarget.emplace(mapped->native(), file.row);
        if (!fresh) {
            if (at->second != file.row) { // the same path twice in the table: the first row wins
                planProblems.push_back([&report, &file, first = at->second] {
                    report.skipped.push_back({file.path, "file row " + N(first) + " has the same path"});
                });
            }
            continue;
        }
        const SgaFile& row = t.SgaFiles[static_cast<std::size_t>(file.row)];
        planned.push_back({&file, *mapped});
        jobs.push_back({&row, EntryPosition(t, row), x.BelowData(mapped->parent_path())});
        progress.totalBytes += ExpectedBytes(row);
    }
    EntrySource source(frm.ArchivePath, x.Zlib(), x.archive(), std::move(jobs), x.Preparer());

    OutputTree::FolderPass folderPass = x.StartFolderPass(); // as in ExtractAll
    std::vector<std::string> folders = set.folders;
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) {
        const auto mapped = MapArchivePath(folder);
        if (!mapped) {
            x.Unsafe(folder);
            report.failed.push_back({folder, x.LastProblem()});
        } else if (!mapped->empty()) {
            bool failed = false;
            x.MakeFolderIfMissing(*mapped, x.RootText() + folder, failed);
            if (failed) {
                report.failed.push_back({folder, x.LastProblem()});
            }
        }
    }
    folderPass.End();
    for (const std::function<void()>& problem : planProblems) {
        problem();
    }
    report.notReached = WalkEntries(frm, control, source, progress, [&](std::size_t i, FetchedEntry& entry) {
        const SetFile& file = *planned[i].file;
        const SgaFile& row = source.FileOf(i);
        frm.sText(N(EntryPosition(t, row)) + ": " + file.path);
        if (const std::string damage = DamageOf(entry, row); !damage.empty()) {
            x.Error(file.path + " " + damage + "; not written");
            report.failed.push_back({file.path, damage});
        } else if (x.Write(planned[i].target, entry, x.RootText() + file.path)) {
            ++report.written;
            report.bytesWritten += static_cast<std::int64_t>(entry.buffer.size());
        } else {
            report.failed.push_back({file.path, x.LastProblem()});
        }
        x.EndEntry(file.path);
        return file.path;
    });
    report.cancelled = report.notReached > 0;

    const std::string shown = PathToUtf8(report.destination);
    std::string end = report.cancelled ? "Extraction cancelled: " : "Extracted ";
    end += ShownFiles(report.written) + " (" + ShownBytes(report.bytesWritten) + ") to " + shown;
    if (!report.failed.empty()) {
        end += "; " + N(static_cast<long long>(report.failed.size())) + " failed";
    }
    if (!report.skipped.empty()) {
        end += "; " + N(static_cast<long long>(report.skipped.size())) + " skipped";
    }
    if (report.cancelled) {
        end += "; " + ShownFiles(report.notReached) + " not reached";
    }
    frm.sText(end);
    return report;
}

ArchiveTestReport TestArchiveEntries(FrmBig& frm, const JobControl& control)
{
    ArchiveTestReport report;
    report.refused = true;
    if (!JobMayStart(frm, "its entries cannot be read, so they cannot be tested")) {
        return report;
    }
    ExtractingScope busy(frm);
    Extractor x(frm);
    if (!x.OpenArchive()) {
        return report;
    }
    const SgaTables& t = frm.Sga;
    const int numDirectories = WalkedDirectories(t);
    if (const std::string wrong = Overlisted(t, numDirectories); !wrong.empty()) {
        x.Error(wrong + "; nothing was tested");
        return report;
    }
    report.refused = false;

    // The entries the file pass would write, each row once.
    struct Planned {
        int j;
        std::string m;
    };
    std::vector<Planned> planned;
    std::vector<EntryPrefetcher::Job> jobs;
    std::unordered_set<int> seen;
    JobProgress progress;
    for (const FileStep& step : PlanFilePass(t, numDirectories)) {
        if (step.kind == FileStep::Kind::OutsideTable) {
            const std::string what =
                "directory row " + N(step.d) + " lists file row " + N(step.j) + ", outside the file table";
            x.Error(what);
            report.failed.push_back({"file row " + N(step.j), what});
        } else if (step.kind == FileStep::Kind::Entry && seen.insert(step.j).second) {
            planned.push_back({step.j, step.m});
            jobs.push_back({step.file, EntryPosition(t, *step.file)});
            progress.totalBytes += ExpectedBytes(*step.file);
        }
    }
    EntrySource source(frm.ArchivePath, x.Zlib(), x.archive(), std::move(jobs));
    report.notReached = WalkEntries(frm, control, source, progress, [&](std::size_t i, FetchedEntry& entry) {
        if (const std::string damage = DamageOf(entry, source.FileOf(i)); !damage.empty()) {
            x.Error(planned[i].m + " " + damage);
            report.failed.push_back({planned[i].m, damage});
        }
        ++report.entries;
        report.bytes += static_cast<std::int64_t>(entry.buffer.size());
        return planned[i].m;
    });
    report.cancelled = report.notReached > 0;
    std::string summary = report.cancelled ? "Test cancelled: " : "Tested ";
    summary += N(report.entries) + (report.entries == 1 ? " entry, " : " entries, ") +
               ShownBytes(report.bytes) + ": " +
               (report.failed.empty() ? std::string("no failures")
                                      : N(static_cast<long long>(report.failed.size())) + " failed");
    if (report.cancelled) {
        summary += "; " + N(report.notReached) + " not reached";
    }
    frm.sText(summary);
    if (!report.failed.empty()) {
        frm.widgets().SetStatusText(summary);
    }
    return report;
}

} // namespace archive
