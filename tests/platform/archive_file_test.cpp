// Reads across the window's edges, refills that fail, and files that are no archive at all.
#include "commands/open_flow.h"
#include "extract/entry_fetch.h"
#include "extract/extract.h"
#include "platform/archive_file.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace archive;
using namespace archive::testing;

namespace {

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

constexpr std::size_t kWindow = 256 * 1024;

} // namespace

TEST(ArchiveFile, ReadsAcrossAndPastTheWindowBoundary)
{
    TempDir dir;
    const std::string bytes = Pattern(3 * kWindow + 123);
    WriteBytes(dir.File("big"), bytes);
    ArchiveFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir.File("big"), error));
    std::string buffer(2 * kWindow, '\0');
    // Small reads through the window, up to and over its edge.
    ASSERT_TRUE(file.Seek(kWindow - 3));
    ASSERT_TRUE(file.Read(buffer.data(), 7));
    EXPECT_EQ(buffer.substr(0, 7), bytes.substr(kWindow - 3, 7));
    std::uint8_t byte = 0;
    ASSERT_TRUE(file.ReadByte(byte));
    EXPECT_EQ(byte, static_cast<std::uint8_t>(bytes[kWindow + 4]));
    // An entry of a window and more, starting inside the window.
    ASSERT_TRUE(file.Seek(100));
    ASSERT_TRUE(file.Read(buffer.data(), kWindow + 1000));
    EXPECT_EQ(buffer.substr(0, kWindow + 1000), bytes.substr(100, kWindow + 1000));
    // Past the end: what is there, nothing more.
    ASSERT_TRUE(file.Seek(2 * kWindow));
    EXPECT_EQ(file.ReadSome(buffer.data(), buffer.size()), kWindow + 123);
    EXPECT_EQ(buffer.substr(0, kWindow + 123), bytes.substr(2 * kWindow));
    // An entry read whole at its position: small or large, up to the end and no further.
    EXPECT_EQ(file.ReadAt(kWindow - 3, buffer.data(), 7), 7u);
    EXPECT_EQ(buffer.substr(0, 7), bytes.substr(kWindow - 3, 7));
    EXPECT_EQ(file.ReadAt(2 * kWindow + 100, buffer.data(), buffer.size()), kWindow + 23);
    EXPECT_EQ(buffer.substr(0, kWindow + 23), bytes.substr(2 * kWindow + 100));
    EXPECT_EQ(file.ReadAt(bytes.size() + 1, buffer.data(), 10), 0u);
    EXPECT_FALSE(file.DeviceError());
    // A file that loses its tail after the open: at most the bytes that are
    // left (all of them with a positioned read, none through the window), and
    // a device error.
    std::filesystem::resize_file(dir.File("big"), kWindow);
    const std::size_t got = file.ReadAt(kWindow - 10, buffer.data(), 100);
    EXPECT_LE(got, 10u);
    EXPECT_EQ(buffer.substr(0, got), bytes.substr(kWindow - 10, got));
    EXPECT_TRUE(file.DeviceError());
}

TEST(ArchiveFile, AFailedRefillEndsTheReadAsADeviceError)
{
    TempDir dir;
    const std::string bytes = Pattern(2 * kWindow + 10);
    WriteBytes(dir.File("shrinks"), bytes);
    ArchiveFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir.File("shrinks"), error));
    std::uint8_t byte = 0;
    ASSERT_TRUE(file.ReadByte(byte)); // the window now holds the first 256 KiB
    // The file loses its tail after the open: the refill past the first window comes up short.
    std::filesystem::resize_file(dir.File("shrinks"), kWindow + 5);
    std::string buffer(1000, '\0');
    ASSERT_TRUE(file.Seek(kWindow - 10));
    EXPECT_FALSE(file.Read(buffer.data(), 100));
    EXPECT_TRUE(file.DeviceError());
    EXPECT_EQ(file.Position(), kWindow - 10);

#if defined(__GLIBC__)
    // A stream whose seeks fail once the first window is read: the old window must not be used
    // for a position it does not cover.
    struct Source {
        std::string bytes;
        std::size_t at = 0;
        int seeks = 0;
    } source{bytes};
    cookie_io_functions_t io = {};
    io.read = [](void* cookie, char* out, std::size_t size) -> ssize_t {
        auto* s = static_cast<Source*>(cookie);
        const std::size_t n = std::min(size, s->bytes.size() - std::min(s->at, s->bytes.size()));
        std::copy_n(s->bytes.data() + s->at, n, out);
        s->at += n;
        return static_cast<ssize_t>(n);
    };
    io.seek = [](void* cookie, off64_t* offset, int whence) -> int {
        auto* s = static_cast<Source*>(cookie);
        if (++s->seeks > 4) {
            return -1;
        }
        s->at = static_cast<std::size_t>(whence == SEEK_END ? static_cast<off64_t>(s->bytes.size()) + *offset
                                         : whence == SEEK_CUR ? static_cast<off64_t>(s->at) + *offset
                                                              : *offset);
        *offset = static_cast<off64_t>(s->at);
        return 0;
    };
    ArchiveFile failing;
    ASSERT_TRUE(failing.Adopt(fopencookie(&source, "rb", io), error));
    ASSERT_EQ(failing.Size(), bytes.size());
    ASSERT_TRUE(failing.Seek(2 * kWindow));
    ASSERT_TRUE(failing.ReadByte(byte)); // the window moves to the tail
    EXPECT_EQ(byte, static_cast<std::uint8_t>(bytes[2 * kWindow]));
    ASSERT_TRUE(failing.Seek(kWindow - 10));
    EXPECT_EQ(failing.ReadSome(buffer.data(), 100), 0u);
    EXPECT_TRUE(failing.DeviceError());
    EXPECT_FALSE(failing.ReadByte(byte));
#endif
}

#ifndef _WIN32
TEST(ArchiveFile, OnlyRegularFilesAreOpened)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo.sga").c_str(), 0600), 0);
    ArchiveFile file;
    std::string error;
    EXPECT_FALSE(file.Open(dir.File("fifo.sga"), error)); // no writer: a blocking open would hang
    EXPECT_EQ(error, "not a regular file (a FIFO)");
    EXPECT_FALSE(file.Open(dir.path(), error));
    EXPECT_EQ(error, "not a regular file (a folder)");
    EXPECT_FALSE(file.Open("/dev/zero", error));
    EXPECT_EQ(error, "not a regular file (a device)");

    TestWindow w;
    EXPECT_EQ(OpenChosenFile(w.frm, dir.File("fifo.sga")), LoadOutcome::CannotOpen);
    ASSERT_EQ(w.widgets.messages.size(), 1u);
    EXPECT_EQ(w.widgets.messages[0], "Cannot open " + dir.File("fifo.sga") + ": not a regular file (a FIFO)");
}
#endif

// The file read again must be the one loaded: replaced under its name (a new
// inode), or rewritten in place (size or modification time), it is refused;
// left alone, it opens as before.
TEST(ArchiveFile, AFileChangedSinceItWasLoadedIsRefused)
{
    TempDir dir;
    const std::string path = dir.File("a.sga");
    WriteBytes(path, "first bytes");
    ArchiveFile loaded;
    std::string error;
    ASSERT_TRUE(loaded.Open(path, error)) << error;
    const FileIdentity identity = loaded.Identity();
    ASSERT_TRUE(identity.known);
    loaded.Close();

    ArchiveFile again;
    EXPECT_TRUE(again.Open(path, error, identity)) << error;
    again.Close();

    WriteBytes(dir.File("other.sga"), "first bytes");
    std::filesystem::rename(dir.File("other.sga"), path); // same size, another file
    EXPECT_FALSE(again.Open(path, error, identity));
    EXPECT_EQ(error, ArchiveFile::kChangedSinceLoad);
    EXPECT_FALSE(again.IsOpen());

    ASSERT_TRUE(again.Open(path, error)) << error;
    const FileIdentity replaced = again.Identity();
    again.Close();
    {
        std::FILE* file = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        std::fputs("FIRST", file); // in place: same inode, same size, newer time
        std::fclose(file);
    }
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    EXPECT_FALSE(again.Open(path, error, replaced));
    EXPECT_EQ(error, ArchiveFile::kChangedSinceLoad);
}

// A command that reads the archive again after the load refuses another
// file put under its path, before it writes anything, and says to open it
// again; the fetching threads of an extraction refuse it too.
TEST(ArchiveFile, ExtractionRefusesAnArchiveReplacedAfterTheLoad)
{
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(WorkedExampleSga())), LoadOutcome::Loaded);
    const FileIdentity loaded = w.frm.CatalogueIdentity;
    // Another archive of the same layout, other bytes, under the same name.
    SgaSpec other = WorkedExampleSga();
    for (SgaFileSpec& file : other.files) {
        file.content = std::string(file.content.size(), 'X');
    }
    WriteBytes(w.dir.File("new.sga"), BuildSga(other));
    std::filesystem::rename(w.dir.File("new.sga"), w.dir.File("test.sga"));

    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(report.written, 0);
    EXPECT_EQ(report.failed, 1);
    EXPECT_NE(w.widgets.log.find(ArchiveFile::kChangedSinceLoad), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(w.dir.path() / "data"));

    const std::vector<SgaFile> files(w.frm.Sga.SgaFiles.begin(), w.frm.Sga.SgaFiles.end());
    std::vector<EntryPrefetcher::Job> jobs;
    for (const SgaFile& file : files) {
        jobs.push_back({&file, w.frm.Sga.SgaHeader.DataOffset + file.EntryOffset});
    }
    EntryPrefetcher prefetcher(w.frm.ArchivePath, jobs, 2, {}, loaded);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const FetchedEntry entry = prefetcher.Next();
        EXPECT_EQ(entry.refused, ArchiveFile::kChangedSinceLoad) << i;
        EXPECT_EQ(entry.buffer.size(), 0u) << i;
    }
}
