#include "sga/sga_loader.h"

#include "sga/sga_node_key.h"

#include "platform/little_endian.h"
#include "platform/text_encoding.h"
#include "window/catalogue_budget.h"
#include "window/frm_big.h"
#include "window/load_session.h"
#include "window/number_text.h"
#include "window/path_helpers.h"

#include <cstring>

namespace archive {

namespace {

constexpr std::size_t kHeaderSize = 180;
constexpr std::size_t kDataHeaderSize = 24;
constexpr std::string_view kIdentifier = "_ARCHIVE";

// A fixed-width text field: every non-zero byte, in order; zero bytes are skipped, not ends.
std::string FixedText(const std::uint8_t* p, std::size_t width)
{
    std::string text;
    for (std::size_t i = 0; i < width; ++i) {
        if (p[i] != 0) {
            text += static_cast<char>(p[i]);
        }
    }
    return text;
}

class SgaLoader {
  public:
    explicit SgaLoader(FrmBig& frm) : frm_(frm), t_(frm.Sga), widgets_(frm.widgets()) {}

    LoadOutcome Run()
    {
        LoadSession session(frm_);
        file_ = &session.archive();
        budget_ = CatalogueBudget(file_->Size());

        if (!ReadHeader()) {
            session.EndTreeChange();
            widgets_.ShowMessage("Invalid Archive File");
            return LoadOutcome::Rejected;
        }
        LogHeader();
        ReadDataHeader();
        ReadTocs();
        ReadDirectories();
        ReadFiles();
        Need(file_->Remaining() >= 1, "the byte before the names");
        std::uint8_t skipped = 0;
        file_->ReadByte(skipped); // the root directory's empty name
        // A node per directory and file row at most: room for them at once.
        // The rows were read, so the file holds them: this asks for no more
        // than a few bytes per row of a file that exists.
        frm_.tree().Reserve(static_cast<std::size_t>(t_.SgaDataHeader.NumDirectories) +
                            static_cast<std::size_t>(t_.SgaDataHeader.NumFiles) + 1);
        AddRoot();
        ReadDirectoryNames();
        if (const int root = frm_.tree().IndexOfKey(kSgaRootKey); root != 0) {
            frm_.tree().Expand(root);
        }
        ReadFileNames();
        AddFileNodes();
        widgets_.SetStatusHostText(frm_.ArchivePath);
        session.CloseFiles();
        frm_.CatalogueFormat = ArchiveFormat::Sga;
        widgets_.SetButtonEnabled(5, true);
        widgets_.SetButtonEnabled(6, true);
        if (!frm_.tree().Empty()) {
            frm_.tree().Select(1);
        }
        return LoadOutcome::Loaded;
    }

  private:
    void Need(bool ok, const std::string& where)
    {
        if (!ok) {
            throw LoadFailure(file_->DeviceError() ? "the archive cannot be read inside " + where
                                                   : "the file ends inside " + where);
        }
    }

    // Reads the header, as far as the file holds it, and checks the
    // identifier first: a short file that is no archive is rejected as any
    // other, not reported as cut off.
    bool ReadHeader()
    {
        std::uint8_t raw[kHeaderSize] = {};
        const std::size_t got = file_->ReadSome(raw, kHeaderSize);
        SgaHeaderRecord& h = t_.SgaHeader;
        h = SgaHeaderRecord{};
        h.Identifier.assign(reinterpret_cast<const char*>(raw), 8);
        h.Version = LittleEndianAt<std::int32_t>(raw + 8);
        std::memcpy(h.Opaque1.data(), raw + 12, 16);
        h.ArchiveType.assign(reinterpret_cast<const char*>(raw + 28), 128);
        std::memcpy(h.Opaque2.data(), raw + 156, 16);
        h.DataHeaderSize = LittleEndianAt<std::int32_t>(raw + 172);
        h.DataOffset = LittleEndianAt<std::int32_t>(raw + 176);
        if (h.Identifier != kIdentifier) {
            return false;
        }
        Need(got == kHeaderSize, "the header (" + N(static_cast<long long>(got)) + " of 180 bytes)");
        return true;
    }

    void LogHeader()
    {
        const SgaHeaderRecord& h = t_.SgaHeader;
        frm_.sText("Identifier=" + h.Identifier);
        frm_.sText("Version=" + N(h.Version));
        frm_.sText("");
        frm_.sText("Archive Type=" + StripNulls(h.ArchiveType));
        frm_.sText("Data Header Size=" + N(h.DataHeaderSize));
        frm_.sText("Data Offset=" + N(h.DataOffset));
        frm_.sText("");
    }

    void ReadDataHeader()
    {
        std::uint8_t raw[kDataHeaderSize];
        Need(file_->Read(raw, sizeof raw), "the data header");
        SgaDataHeaderRecord& d = t_.SgaDataHeader;
        d.TocOffset = LittleEndianAt<std::int32_t>(raw);
        d.NumTocs = LittleEndianAt<std::int16_t>(raw + 4);
        d.DirectoryOffset = LittleEndianAt<std::int32_t>(raw + 6);
        d.NumDirectories = LittleEndianAt<std::int16_t>(raw + 10);
        d.FileOffset = LittleEndianAt<std::int32_t>(raw + 12);
        d.NumFiles = LittleEndianAt<std::int16_t>(raw + 16);
        d.ItemsOffset = LittleEndianAt<std::int32_t>(raw + 18);
        d.NumItems = LittleEndianAt<std::int16_t>(raw + 22);
        frm_.sText("TOC Offset=" + N(d.TocOffset));
        frm_.sText("Num TOCs=" + N(d.NumTocs));
        frm_.sText("Directory Offset=" + N(d.DirectoryOffset));
        frm_.sText("Num Directories=" + N(d.NumDirectories));
        frm_.sText("File Offset=" + N(d.FileOffset));
        frm_.sText("Num Files=" + N(d.NumFiles));
        frm_.sText("Items Offset=" + N(d.ItemsOffset));
        frm_.sText("Num Items=" + N(d.NumItems));
        frm_.sText("");
    }

    void ReadTocs()
    {
        const int count = t_.SgaDataHeader.NumTocs;
        if (count <= 0) {
            throw LoadFailure("Num TOCs is " + N(count) + ": the TOC table cannot be dimensioned");
        }
        t_.SgaTocs.assign(static_cast<std::size_t>(count) + 1, SgaToc{});
        for (int t = 1; t <= count; ++t) {
            std::uint8_t raw[138];
            Need(file_->Read(raw, sizeof raw), "TOC record " + N(t));
            SgaToc& toc = t_.SgaTocs[static_cast<std::size_t>(t)];
            toc.Alias = FixedText(raw, 64);
            toc.StartName = FixedText(raw + 64, 64);
            toc.StartDir = LittleEndianAt<std::int16_t>(raw + 128);
            toc.EndDir = LittleEndianAt<std::int16_t>(raw + 130);
            toc.StartFile = LittleEndianAt<std::int16_t>(raw + 132);
            toc.EndFile = LittleEndianAt<std::int16_t>(raw + 134);
            toc.FolderOffset = LittleEndianAt<std::int16_t>(raw + 136);
            frm_.sText("TOC Alias=" + toc.Alias);
            frm_.sText("TOC Start Name=" + toc.StartName);
            frm_.sText("TOC Start Dir=" + N(toc.StartDir) + ", End Dir=" + N(toc.EndDir) +
                       ", Start File=" + N(toc.StartFile) + ", End File=" + N(toc.EndFile));
            frm_.sText("TOC Folder Offset=" + N(toc.FolderOffset));
            frm_.sText("");
        }
    }

    void ReadDirectories()
    {
        const int count = t_.SgaDataHeader.NumDirectories;
        if (count < 0) {
            throw LoadFailure("Num Directories is " + N(count) +
                              ": the directory table cannot be dimensioned");
        }
        t_.SgaDirectories.assign(static_cast<std::size_t>(count) + 1, SgaDirectory{});
        t_.SgaDirNames.assign(static_cast<std::size_t>(count) + 1, std::string());
        t_.firstDirNameIndex.clear();
        t_.filledDirNames = 0;
        frm_.dText("ID\tOff\t1stDir\tNxtDir\t1stFil\tNxtFil");
        for (int r = 0; r < count; ++r) {
            std::uint8_t raw[12];
            Need(file_->Read(raw, sizeof raw), "directory record " + N(r));
            SgaDirectory& dir = t_.SgaDirectories[static_cast<std::size_t>(r)];
            dir.NameOffset = LittleEndianAt<std::int32_t>(raw);
            dir.FirstDir = LittleEndianAt<std::int16_t>(raw + 4);
            dir.NextDir = LittleEndianAt<std::int16_t>(raw + 6);
            dir.FirstFile = LittleEndianAt<std::int16_t>(raw + 8);
            dir.NextFile = LittleEndianAt<std::int16_t>(raw + 10);
            if (frm_.DebugFileOpen()) { // the line is not even made for no debug file
                frm_.dText(N(r) + "\t" + N(dir.NameOffset) + "\t" + N(dir.FirstDir) + "\t" + N(dir.NextDir) +
                           "\t" + N(dir.FirstFile) + "\t" + N(dir.NextFile));
            }
        }
    }

    void ReadFiles()
    {
        const int count = t_.SgaDataHeader.NumFiles;
        if (count < 0) {
            throw LoadFailure("Num Files is " + N(count) + ": the file table cannot be dimensioned");
        }
        t_.SgaFiles.assign(static_cast<std::size_t>(count) + 1, SgaFile{});
        t_.SgaFileNames.assign(static_cast<std::size_t>(count) + 1, std::string());
        for (int f = 0; f < count; ++f) {
            std::uint8_t raw[17];
            Need(file_->Read(raw, sizeof raw), "file record " + N(f));
            SgaFile& file = t_.SgaFiles[static_cast<std::size_t>(f)];
            file.NameOffset = LittleEndianAt<std::int32_t>(raw);
            file.SpareByte = raw[4];
            file.EntryOffset = LittleEndianAt<std::int32_t>(raw + 5);
            file.StoredSize = LittleEndianAt<std::int32_t>(raw + 9);
            file.ExpandedSize = LittleEndianAt<std::int32_t>(raw + 13);
            if (frm_.DebugFileOpen()) {
                frm_.dText(N(f) + "\t" + N(file.NameOffset) + "\t" + N(file.EntryOffset) + "\t" +
                           N(file.StoredSize) + "\t" + N(file.ExpandedSize));
            }
        }
    }

    void AddNode(std::optional<std::string_view> parent, const std::string& key, std::string_view text,
                 const std::string& what)
    {
        if (!frm_.tree().Add(parent, key, text)) {
            if (parent && frm_.tree().IndexOfKey(*parent) == 0) {
                throw LoadFailure(what + ": its parent node " + std::string(*parent) + " is not in the tree");
            }
            throw LoadFailure(what + ": the key " + key + " is in the tree already");
        }
        budget_.CheckTree(frm_.tree());
    }

    void AddRoot() { AddNode(std::nullopt, std::string(kSgaRootKey), t_.SgaTocs[1].Alias, "the root node"); }

    std::int16_t Depth(const std::string& path, const std::string& what)
    {
        try {
            return CountBackslashes(path);
        } catch (const PathTooLong& e) {
            throw LoadFailure(what + ": " + e.what());
        }
    }

    void ReadDirectoryNames()
    {
        std::string prefix;
        std::string stored;
        for (int i = 0; i <= t_.SgaDataHeader.NumDirectories - 2; ++i) {
            const std::string row = "directory row " + N(i + 1);
            Need(ReadZString(*file_, stored), "the name of " + row);
            std::string path = prefix + stored;
            if (path.empty()) {
                if (!t_.HasToc(2)) {
                    throw LoadFailure(row + " has an empty name and there is no second TOC to name it");
                }
                path = t_.SgaTocs[2].Alias;
                prefix = path + "\\";
            }
            t_.SetDirName(i, path);
            const std::int16_t depth = Depth(path, row);
            if (frm_.DebugFileOpen()) {
                frm_.dText(N(i + 1) + ": " + path);
            }
            if (path == ".") {
                continue;
            }
            std::string parentKey(kSgaRootKey);
            std::string text = path;
            if (depth != 0) {
                parentKey = NodeKeyOfDirectory(FindDirectoryIndex(t_, ParentPath(path)));
                text = std::string(AfterLast(path, '\\'));
            }
            const std::string key = SgaDirectoryKey(i);
            frm_.dText(key);
            AddNode(parentKey, key, text, row);
        }
    }

    void ReadFileNames()
    {
        for (int j = 0; j < t_.SgaDataHeader.NumFiles; ++j) {
            std::string& name = t_.SgaFileNames[static_cast<std::size_t>(j)];
            Need(ReadZString(*file_, name), "the name of file row " + N(j));
            if (frm_.DebugFileOpen()) {
                frm_.dText(N(j + 1) + ": " + name);
            }
        }
    }

    // A directory named "." is the archive's root folder under another name: it gets no node
    // of its own, and what it holds hangs from the root. Its files keep their keys (the
    // directory row's), so every command finds their row; they land in the output root.
    std::string NodeKeyOfDirectory(int idx) const
    {
        return t_.SgaDirNames[static_cast<std::size_t>(idx)] == "." ? std::string(kSgaRootKey)
                                                                    : SgaDirectoryKey(idx);
    }

    void AddFileNodes()
    {
        const int numFiles = t_.SgaDataHeader.NumFiles;
        for (int k = 0; k < t_.SgaDataHeader.NumDirectories; ++k) {
            const SgaDirectory& dir = t_.SgaDirectories[static_cast<std::size_t>(k)];
            if (!(dir.FirstFile < dir.NextFile && dir.FirstDir <= dir.NextDir)) {
                continue;
            }
            const std::string dirKey = k == 0 ? std::string(kSgaRootKey) : SgaDirectoryKey(k - 1);
            const std::string parentKey = k == 0 ? dirKey : NodeKeyOfDirectory(k - 1);
            for (int f = dir.FirstFile; f < dir.NextFile; ++f) {
                if (f < 0 || f > numFiles) {
                    throw LoadFailure("directory row " + N(k) + " lists file row " + N(f) +
                                      ", outside the file table (0 to " + N(numFiles) + ")");
                }
                const std::string& name = t_.SgaFileNames[static_cast<std::size_t>(f)];
                AddNode(parentKey, SgaFileKey(dirKey, f), name,
                        "file row " + N(f) + " of directory row " + N(k));
                SgaFile& file = t_.SgaFiles[static_cast<std::size_t>(f)];
                // Every file of a row repeats the row's path, which may be 32 KB long.
                budget_.ChargeText(name.size() +
                                   (k == 0 ? 0 : t_.SgaDirNames[static_cast<std::size_t>(k - 1)].size() + 1));
                file.Path = k == 0 ? name : t_.SgaDirNames[static_cast<std::size_t>(k - 1)] + "\\" + name;
                frm_.dText(file.Path);
            }
        }
    }

    FrmBig& frm_;
    SgaTables& t_;
    Widgets& widgets_;
    ArchiveFile* file_ = nullptr; // the session's, while Run lasts
    CatalogueBudget budget_{0};
};

} // namespace

LoadOutcome LoadSgaArchive(FrmBig& frm)
{
    return SgaLoader(frm).Run();
}

} // namespace archive
