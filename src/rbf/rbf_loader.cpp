#include "rbf/rbf_loader.h"

#include "platform/little_endian.h"
#include "platform/text_encoding.h"
#include "window/catalogue_budget.h"
#include "window/frm_big.h"
#include "window/load_session.h"
#include "window/number_text.h"
#include "window/path_helpers.h"

#include <cstring>
#include <limits>

namespace archive {

namespace {

constexpr std::size_t kHeaderSize = 15;
constexpr std::size_t kRecordSize = 32;

class RbfLoader {
  public:
    explicit RbfLoader(FrmBig& frm) : frm_(frm), t_(frm.Rbf), widgets_(frm.widgets()) {}

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
        const RbfHeaderRecord& h = t_.RbfHeader;
        frm_.sText("Identifier=" + h.Identifier);
        frm_.sText("Version=" + h.Version);
        frm_.sText("Records=" + N(h.Records));
        frm_.sText("Sort Flag=" + N(h.SortFlag));
        frm_.sText("");
        ReadEntries();
        ReadNames();
        BuildTree();
        widgets_.SetStatusHostText(frm_.ArchivePath);
        session.CloseFiles();
        frm_.CatalogueFormat = ArchiveFormat::Rbf;
        widgets_.SetButtonEnabled(5, false);
        widgets_.SetButtonEnabled(6, false);
        if (!frm_.tree().Empty()) {
            frm_.tree().Select(1);
        }
        return LoadOutcome::Loaded;
    }

  private:
    bool ReadHeader()
    {
        std::uint8_t raw[kHeaderSize] = {};
        const std::size_t got = file_->ReadSome(raw, kHeaderSize);
        RbfHeaderRecord& h = t_.RbfHeader;
        h = RbfHeaderRecord{};
        h.Identifier.assign(reinterpret_cast<const char*>(raw), 3);
        h.Version.assign(reinterpret_cast<const char*>(raw + 3), 4);
        h.Records = LittleEndianAt<std::int32_t>(raw + 7);
        h.SortFlag = LittleEndianAt<std::int32_t>(raw + 11);
        if (h.Identifier != "RBF") {
            return false;
        }
        if (got != kHeaderSize) {
            throw LoadFailure("the file ends inside the header (" + N(static_cast<long long>(got)) +
                              " of 15 bytes)");
        }
        return true;
    }

    void ReadEntries()
    {
        const std::int32_t records = t_.RbfHeader.Records;
        if (records <= 0) {
            throw LoadFailure("Records is " + N(records) + ": the entry table cannot be dimensioned");
        }
        widgets_.SetProgressMaximum(static_cast<float>(records));
        // A damaged count must not decide how much memory the load takes.
        const std::uint64_t tableEnd = kHeaderSize + kRecordSize * static_cast<std::uint64_t>(records);
        if (tableEnd > file_->Size()) {
            throw LoadFailure("the file ends inside the entry table (" + N(records) + " records need " +
                              N(static_cast<long long>(tableEnd)) + " bytes; the file has " +
                              N(static_cast<long long>(file_->Size())) + ")");
        }
        t_.RbfEntries.assign(static_cast<std::size_t>(records), RbfEntry{});
        frm_.dText("CRC              \tName Sz\tCompr  \tUncompr\tOffset");
        for (std::int32_t i = 0; i < records; ++i) {
            std::uint8_t raw[kRecordSize];
            if (!file_->Read(raw, sizeof raw)) {
                throw LoadFailure("the file ends inside entry record " + N(i));
            }
            RbfEntry& e = t_.RbfEntries[static_cast<std::size_t>(i)];
            e.Crc = LittleEndianAt<std::int64_t>(raw);
            e.NameSize = LittleEndianAt<std::int32_t>(raw + 8);
            e.ComprSize = LittleEndianAt<std::int32_t>(raw + 12);
            e.UncomprSize = LittleEndianAt<std::int32_t>(raw + 16);
            e.Offset = LittleEndianAt<std::int32_t>(raw + 20);
            std::memcpy(e.Unused.data(), raw + 24, 8);
            if (frm_.DebugFileOpen()) { // the line is not even made for no debug file
                frm_.dText(FormatCrc(e.Crc, frm_.DecimalSeparator) + "\t" + N(e.NameSize) + "\t" +
                           N(e.ComprSize) + "\t" + N(e.UncomprSize) + "\t" + N(e.Offset));
            }
        }
        frm_.dText("");
    }

    std::string ReadName(std::int32_t i, const RbfEntry& e)
    {
        const std::string entry = "entry " + N(i);
        if (e.Offset <= -1) {
            throw LoadFailure(entry + " has the name offset " + N(e.Offset) + ", which is no position");
        }
        if (e.Offset == std::numeric_limits<std::int32_t>::max()) {
            throw LoadFailure(entry + " has the name offset " + N(e.Offset) + ", beyond the 32-bit range");
        }
        if (e.NameSize == std::numeric_limits<std::int32_t>::min()) {
            throw LoadFailure(entry + " has the name size " + N(e.NameSize) + ", beyond the 32-bit range");
        }
        if (e.NameSize <= 0) {
            return {};
        }
        const std::uint64_t end =
            static_cast<std::uint64_t>(e.Offset) + static_cast<std::uint64_t>(e.NameSize);
        if (end > file_->Size()) {
            throw LoadFailure("the file ends inside the name of " + entry + " (" + N(e.NameSize) +
                              " bytes at offset " + N(e.Offset) + ")");
        }
        // The name and the file name cut from it; records may all point at the same bytes.
        budget_.ChargeText(2 * static_cast<std::uint64_t>(e.NameSize));
        buffer_.resize(static_cast<std::size_t>(e.NameSize));
        if (!file_->Seek(static_cast<std::uint64_t>(e.Offset)) ||
            !file_->Read(buffer_.data(), buffer_.size())) {
            throw LoadFailure("the name of " + entry + " cannot be read");
        }
        return UnscrambleName(buffer_.data(), buffer_.size());
    }

    void ReadNames()
    {
        const std::int32_t records = t_.RbfHeader.Records;
        t_.RbfPaths.assign(static_cast<std::size_t>(records), std::string());
        t_.RbfFileNames.assign(static_cast<std::size_t>(records), std::string());
        for (std::int32_t i = 0; i < records; ++i) {
            std::string& name = t_.RbfPaths[static_cast<std::size_t>(i)];
            name = ReadName(i, t_.RbfEntries[static_cast<std::size_t>(i)]);
            if (frm_.DebugFileOpen()) {
                frm_.dText(N(i) + ": " + name);
            }
            widgets_.SetProgressValue(static_cast<float>(i));
            widgets_.SetStatusText("Reading: " + name);
        }
    }

    // From here on a failing step is skipped: a node whose key is taken or
    // whose parent is absent is simply not added.
    void BuildTree()
    {
        frm_.tree().Add(std::nullopt, "Root", RbfRootText(frm_.ArchivePathText()));
        widgets_.SetProgressValue(0);
        const std::int32_t records = t_.RbfHeader.Records;
        for (std::int32_t i = 0; i < records; ++i) {
            PlaceEntry(i);
            budget_.CheckTree(frm_.tree());
            widgets_.SetProgressValue(static_cast<float>(i));
            widgets_.SetStatusText("Processing: " + t_.RbfFileNames[static_cast<std::size_t>(i)]);
        }
        if (const int root = frm_.tree().IndexOfKey("Root"); root != 0) {
            frm_.tree().Expand(root);
        }
    }

    void PlaceEntry(std::int32_t i)
    {
        const std::string& name = t_.RbfPaths[static_cast<std::size_t>(i)];
        std::string& fileName = t_.RbfFileNames[static_cast<std::size_t>(i)];
        std::int16_t n = 0;
        try {
            n = CountBackslashes(name);
        } catch (const PathTooLong&) {
            return; // without a level count nothing of this entry can be placed
        }
        CatalogueTree& tree = frm_.tree();
        if (n == 0) {
            fileName = name;
            tree.Add("Root", name, name);
            return;
        }
        const std::size_t last = name.rfind('\\');
        fileName = name.substr(last + 1);
        const std::string_view justDirectory = std::string_view(name).substr(0, last + 1);
        std::size_t searchStart = 0;
        std::string_view parentKey;
        for (int j = 1; j <= n; ++j) {
            const std::size_t pos = justDirectory.find('\\', searchStart);
            const std::string_view directory = justDirectory.substr(0, pos);
            std::string_view current;
            if (j == 1) {
                current = directory;
                parentKey = "Root";
            } else {
                current = AfterLast(directory, '\\');
            }
            searchStart = pos + 1;
            budget_.AddWork(directory.size() + 1);
            if (frm_.DebugToFile) {
                if (frm_.DebugFileOpen()) {
                    frm_.dText("sJustDirectory(" + N(i) + ":" + N(j) + "): " + std::string(justDirectory) +
                               " | sDirectory: " + std::string(directory) +
                               " | sCurrentDirectory: " + std::string(current));
                }
            }
            tree.Add(parentKey, directory, current);
            parentKey = directory;
        }
        tree.Add(justDirectory.substr(0, justDirectory.size() - 1), name, fileName);
    }

    FrmBig& frm_;
    RbfTables& t_;
    Widgets& widgets_;
    ArchiveFile* file_ = nullptr; // the session's, while Run lasts
    CatalogueBudget budget_{0};
    std::vector<std::uint8_t> buffer_;
};

} // namespace

std::string RbfRootText(std::string_view archivePath)
{
#ifdef _WIN32
    return std::string(AfterLast(archivePath, '\\'));
#else
    return std::string(AfterLast(archivePath, '/'));
#endif
}

LoadOutcome LoadRbfArchive(FrmBig& frm)
{
    return RbfLoader(frm).Run();
}

} // namespace archive
