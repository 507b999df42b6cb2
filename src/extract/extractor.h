#pragma once

// The machinery every extract command shares: the archive handle, the output
// root and the tree below it, the writer, and how failures are told and
// counted. Each command (its own file) walks its entries and calls it.

#include "extract/entry_damage.h"
#include "extract/entry_fetch.h"
#include "extract/extract.h"
#include "platform/archive_file.h"
#include "platform/output_tree.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

class FrmBig;
struct SgaTables;
struct SgaFile;

// Marks the window as busy extracting, so that the commands that would change
// what the extraction reads or writes refuse to run in the middle of it.
class ExtractingScope {
  public:
    explicit ExtractingScope(FrmBig& frm);
    ~ExtractingScope();
    ExtractingScope(const ExtractingScope&) = delete;
    ExtractingScope& operator=(const ExtractingScope&) = delete;

  private:
    FrmBig& frm_;
};

class Extractor {
  public:
    explicit Extractor(FrmBig& frm);

    // Opens the archive of the catalogue shown; refuses (and says why) when
    // no whole SGA catalogue of ArchivePath is shown.
    bool OpenArchive();

    // The output root: ".\data\", or ".\data\" and the first TOC's alias.
    // ".\data" itself is the user's to choose and may be a link; below it
    // every folder is reached through open handles and no link is followed.
    bool PrepareOutputRoot();

    // A destination folder of the user's choosing instead of ".\data": made
    // when missing, followed if it is a link (the user chose it); below it the
    // same rules as below ".\data".
    bool UseDestination(const std::filesystem::path& folder);

    const std::string& RootText() const { return rootText_; }
    // The output root as the host names it.
    const std::filesystem::path& RootHost() const { return rootHost_; }
    // Where `mapped`, a path below the output root, lies below ".\data".
    std::filesystem::path BelowData(const std::filesystem::path& mapped) const { return alias_ / mapped; }

    // A failure of the command, counted; `item` names what failed for the summary.
    void Error(const std::string& what, const std::string& item = {});
    void Unsafe(const std::string& archivePath);
    void Failed(const std::string& item);

    // Whether something of that name exists below the output root (`mapped` as BelowData takes it).
    bool Exists(const std::filesystem::path& mapped);

    // Makes the folder unless something of that name is there: true when it
    // made it. A failure is reported as CreateFolder reports it.
    bool MakeFolderIfMissing(const std::filesystem::path& mapped, const std::string& archivePath,
                             bool& failed);

    // Makes the folder (and those on its way) unless a link stands there. A
    // failure names the folder by RootText and its archive path.
    bool CreateFolder(const std::filesystem::path& mapped, const std::string& archivePath);

    // A failure of the entry in hand: its "Error: " line; the entry counts
    // once (at EndEntry) however many lines it has.
    void EntryError(const std::string& what);
    static bool InflateFailed(const FetchedEntry& entry);
    void EndEntry(const std::string& path);

    clsZlib& Zlib();

    // How an entry ended.
    enum class Outcome {
        Written,    // sound, in place (under a new name beside it when the user kept both)
        Salvaged,   // damaged, written as far as it went where no file of its name was
        Kept,       // damaged, and a file of its name was there: left as it was
        Skipped,    // sound, and the user chose to keep the file that was there
        NotWritten, // refused, or the write failed
    };

    // Writes an entry by the one rule for damaged data, the same for every
    // command: a sound entry replaces what is there (or asks, see
    // AskWhenExisting); a damaged one is written as far as it inflated only
    // where no file of its name exists, and otherwise leaves that file; a
    // refused one writes nothing. `path` names the entry in the "Error: "
    // line, and after RootText the file in a failed write's. `mapped` is the
    // host's text of the file's path below the output root.
    Outcome WriteEntry(const std::filesystem::path::string_type& mapped, FetchedEntry& entry,
                       const EntryDamage& damage, const std::string& path);
    // Asks before a sound entry replaces a file; without a question, files are replaced.
    void AskWhenExisting(AskExisting ask) { ask_ = std::move(ask); }

    // Writes an entry's bytes; a failure is the entry's (EndEntry counts it). A folder
    // that no directory row made (a name with "\\" or "/" inside) is made here.
    bool Write(const std::filesystem::path::string_type& mapped, FetchedEntry& entry,
               const std::string& path);
    bool WriteFailed(const std::string& shown, const std::string& error);

    // Writes each fetched entry's file, under no name yet, on the thread that
    // fetched it; Write then only names it. The output root must be open.
    EntryPrefetcher::Prepare Preparer() const;
    // Until it ends, files written ahead wait for their folders to be made.
    OutputTree::FolderPass StartFolderPass() { return OutputTree::FolderPass(out_); }
    // The folders the writer leaves from now on wait in RetiredFolders for
    // the caller to have them closed elsewhere (EntryPrefetcher::Release):
    // after the folder pass, and only with a thread to close them.
    void CollectRetiredFolders() { out_.CollectRetiredFolders(); }
    std::vector<PreparedFile>& RetiredFolders() { return out_.RetiredFolders(); }

    // Whenever anything failed: a line after the command's last with the
    // files written and failed, and the status text says it too.
    void TellFailures();

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
    AskExisting ask_;
    std::optional<ExistingAnswer> forAll_;
    std::filesystem::path::string_type writtenIn_; // the folder of the last file written, as mapped
    std::filesystem::path writtenInBelowData_;     // and as BelowData gives it
};

// The folders of an extraction's files as BelowData gives them, made once
// per run of files in one folder (files of one folder come together)
// rather than once per file, for the jobs that write files ahead.
class FileFolders {
  public:
    explicit FileFolders(const Extractor& x) : x_(x) {}
    // The folder of `mapped` below ".\data"; the pointer stays valid while this lives.
    const std::filesystem::path* Of(const std::filesystem::path::string_type& mapped);

  private:
    const Extractor& x_;
    std::deque<std::filesystem::path> folders_;
    std::filesystem::path::string_type last_;
};

// The folder part of `mapped`, the text of a path MapArchivePath made: what
// parent_path gives, without making a path.
std::basic_string_view<std::filesystem::path::value_type>
FolderOf(const std::filesystem::path::string_type& mapped);

// How a failure names an entry: its path, or its row when the path is empty.
std::string NameOfEntry(int row, const std::string& path);

// Where an entry's first byte lies in the archive file.
std::int64_t EntryPosition(const SgaTables& t, const SgaFile& file);

std::string ShownBytes(std::int64_t bytes);
std::string ShownFiles(std::int64_t files);

// A job starts neither while another command extracts nor on an RBF archive,
// which says why (`rbfRefusal`).
bool JobMayStart(FrmBig& frm, const std::string& rbfRefusal);

} // namespace archive
