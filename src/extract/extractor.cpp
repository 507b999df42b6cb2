#include "extract/extractor.h"

#include "extract/host_path.h"
#include "platform/text_encoding.h"
#include "window/frm_big.h"
#include "window/number_text.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <system_error>

namespace archive {

namespace {

std::string Upper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

} // namespace

ExtractingScope::ExtractingScope(FrmBig& frm) : frm_(frm)
{
    frm_.Extracting = true;
}

ExtractingScope::~ExtractingScope()
{
    frm_.Extracting = false;
}

Extractor::Extractor(FrmBig& frm) : frm_(frm), t_(frm.Sga) {}

bool Extractor::OpenArchive()
{
    std::string error;
    if (!frm_.SgaCatalogueShown() || !t_.HasToc(1)) {
        // After a rejected or failed open the tables may still hold an
        // older catalogue: never apply it to another file's bytes.
        Error(frm_.CatalogueFormat == ArchiveFormat::Rbf ? "the files of an RBF archive cannot be extracted"
                                                         : "no SGA archive is loaded: open one first");
        return false;
    }
    if (!archive_.Open(PathFromUtf8(frm_.ArchivePath), error, frm_.CatalogueIdentity)) {
        Error("cannot open the archive " + frm_.ArchivePathText() + ": " + error);
        return false;
    }
    return true;
}

bool Extractor::PrepareOutputRoot()
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

bool Extractor::UseDestination(const std::filesystem::path& folder)
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

void Extractor::Error(const std::string& what, const std::string& item)
{
    frm_.ReportFailure("Error: " + what);
    Failed(item);
    lastProblem_ = what;
}

void Extractor::Unsafe(const std::string& archivePath)
{
    frm_.sText("Skipped unsafe path: " + archivePath);
    Failed(archivePath);
    lastProblem_ = "unsafe path";
}

void Extractor::Failed(const std::string& item)
{
    ++report_.failed;
    if (!item.empty()) {
        report_.failedEntries.push_back(item);
    }
}

bool Extractor::Exists(const std::filesystem::path& mapped)
{
    return out_.Exists(BelowData(mapped));
}

bool Extractor::MakeFolderIfMissing(const std::filesystem::path& mapped, const std::string& archivePath,
                                    bool& failed)
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
    failed = !CreateFolder(mapped, archivePath);
    return !failed;
}

bool Extractor::CreateFolder(const std::filesystem::path& mapped, const std::string& archivePath)
{
    std::string error;
    const OutputTree::Reach reach = out_.Enter(BelowData(mapped), error);
    if (reach == OutputTree::Reach::Done) {
        return true;
    }
    const std::string shown = rootText_ + archivePath;
    switch (reach) {
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

void Extractor::EntryError(const std::string& what)
{
    entryFailed_ = true;
    lastProblem_ = what;
    frm_.ReportFailure("Error: " + what);
}

bool Extractor::InflateFailed(const FetchedEntry& entry)
{
    return entry.compressed && entry.refused.empty() && entry.status != 0;
}

void Extractor::EndEntry(const std::string& path)
{
    if (entryFailed_) {
        Failed(path);
    }
    entryFailed_ = false;
}

clsZlib& Extractor::Zlib()
{
    if (!frm_.Zlib) {
        frm_.Zlib = std::make_unique<clsZlib>();
    }
    return *frm_.Zlib;
}

std::basic_string_view<std::filesystem::path::value_type>
FolderOf(const std::filesystem::path::string_type& text)
{
    const std::size_t last = text.rfind(std::filesystem::path::preferred_separator);
    return std::basic_string_view<std::filesystem::path::value_type>(text).substr(
        0, last == std::filesystem::path::string_type::npos ? 0 : last);
}

const std::filesystem::path* FileFolders::Of(const std::filesystem::path::string_type& mapped)
{
    const auto folder = FolderOf(mapped);
    if (folders_.empty() || folder != last_) {
        last_.assign(folder);
        folders_.push_back(x_.BelowData(std::filesystem::path(last_)));
    }
    return &folders_.back();
}

bool Extractor::Write(const std::filesystem::path::string_type& mapped, FetchedEntry& entry,
                      const std::string& path)
{
    std::string error;
    // The folder's path is made once for the run of files it holds.
    const auto folder = FolderOf(mapped);
    if (writtenInBelowData_.empty() || folder != writtenIn_) {
        writtenIn_.assign(folder);
        writtenInBelowData_ = BelowData(std::filesystem::path(writtenIn_));
    }
    switch (out_.Enter(writtenInBelowData_, error)) {
    case OutputTree::Reach::Done:
        break;
    case OutputTree::Reach::Link:
        entryFailed_ = true;
        lastProblem_ = "a folder on its way is a link";
        frm_.sText("Skipped path through a link below the output root: " + rootText_ + path);
        return false;
    case OutputTree::Reach::Failed:
        return WriteFailed(rootText_ + path, error);
    }
    const std::filesystem::path name(folder.empty() ? mapped : mapped.substr(folder.size() + 1));
    if (!out_.WriteFile(name, entry.buffer.empty() ? nullptr : entry.buffer.data(), entry.Size(), error,
                        &entry.prepared)) {
        return WriteFailed(rootText_ + path, error);
    }
    return true;
}

namespace {

// "plan (2).dat" beside "plan.dat": the first such name not taken.
std::filesystem::path FreeNameBeside(const std::filesystem::path& mapped,
                                     const std::function<bool(const std::filesystem::path&)>& taken)
{
    for (int n = 2;; ++n) {
        std::filesystem::path name = mapped.stem();
        name += " (" + std::to_string(n) + ")";
        name += mapped.extension();
        const std::filesystem::path candidate = mapped.parent_path() / name;
        if (!taken(candidate) || n == 1000000) {
            return candidate;
        }
    }
}

} // namespace

Extractor::Outcome Extractor::WriteEntry(const std::filesystem::path::string_type& mapped,
                                         FetchedEntry& entry, const EntryDamage& damage,
                                         const std::string& path)
{
    switch (damage.kind) {
    case EntryDamage::Kind::Refused:
        EntryError(path + " " + damage.reason + "; not written");
        return Outcome::NotWritten;
    case EntryDamage::Kind::Damaged:
        // What inflated may be all the user gets of a file, but never in
        // place of one that is there: that may be the good copy.
        if (Exists(std::filesystem::path(mapped))) {
            EntryError(path + " " + damage.reason + "; the file already there was kept");
            return Outcome::Kept;
        }
        if (!Write(mapped, entry, path)) {
            EntryError(path + " " + damage.reason + "; not written");
            return Outcome::NotWritten;
        }
        EntryError(path + " " + damage.reason + "; written as far as it " +
                   (entry.compressed ? "inflated (" : "was read (") +
                   ShownBytes(static_cast<std::int64_t>(entry.Size())) + ")");
        return Outcome::Salvaged;
    case EntryDamage::Kind::Sound:
        break;
    }
    std::filesystem::path::string_type besides; // the new name, when both are kept
    const bool replaceAll = forAll_ && forAll_->choice == ExistingChoice::Replace;
    if ((ask_ || forAll_) && !replaceAll && Exists(std::filesystem::path(mapped))) {
        ExistingAnswer answer;
        if (forAll_) {
            answer = *forAll_;
        } else {
            answer = ask_({path, rootHost_ / mapped, static_cast<std::int64_t>(entry.Size())});
            if (answer.forAll) {
                forAll_ = answer;
            }
        }
        if (answer.choice == ExistingChoice::Skip) {
            ++report_.skipped;
            lastProblem_ = "a file of that name is there; the user kept it";
            return Outcome::Skipped;
        }
        if (answer.choice == ExistingChoice::KeepBoth) {
            besides = FreeNameBeside(std::filesystem::path(mapped), [this](const std::filesystem::path& p) {
                          return Exists(p);
                      }).native();
        }
    }
    if (!Write(besides.empty() ? mapped : besides, entry, path)) {
        return Outcome::NotWritten;
    }
    ++report_.written;
    return Outcome::Written;
}

bool Extractor::WriteFailed(const std::string& shown, const std::string& error)
{
    entryFailed_ = true;
    lastProblem_ = "cannot write " + shown + ": " + error;
    frm_.ReportFailure("Error: " + lastProblem_);
    return false;
}

void Extractor::TellFailures()
{
    if (report_.failed > 0) {
        const std::string line = WrittenAndFailed(report_.written, report_.failed);
        frm_.sText(line);
        frm_.widgets().SetStatusText(line);
    }
}

EntryPrefetcher::Prepare Extractor::Preparer() const
{
    return [this](const EntryPrefetcher::Job& job, FetchedEntry& entry) {
        entry.prepared = out_.Prepare(job.folder != nullptr ? *job.folder : std::filesystem::path(),
                                      entry.buffer.data(), entry.buffer.size());
        if (entry.prepared.Valid()) {
            // The file holds the bytes now: freed here, the thread's next
            // entry gets the same memory back while it is still in its cache,
            // and what waits for the writer costs no memory.
            entry.buffer.Clear();
        }
    };
}

std::string NameOfEntry(int row, const std::string& path)
{
    return path.empty() ? "file row " + N(row) : path;
}

std::int64_t EntryPosition(const SgaTables& t, const SgaFile& file)
{
    return static_cast<std::int64_t>(t.SgaHeader.DataOffset) + file.EntryOffset;
}

std::string WrittenAndFailed(std::int64_t written, std::int64_t failed)
{
    return ShownFiles(written) + " written, " + N(failed) + " failed";
}

std::string ShownBytes(std::int64_t bytes)
{
    return N(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string ShownFiles(std::int64_t files)
{
    return N(files) + (files == 1 ? " file" : " files");
}

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

} // namespace archive
