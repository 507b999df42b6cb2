// Makes benchmark archives and measures the core against references in the
// same run. Usage:
//   archive-bench make-catalogue FILE DIRS FILES   SGA catalogue of DIRS directories and FILES files
//   archive-bench make-mixed FILE MEGABYTES FILES  mixed compressible / semi / stored SGA archive
//   archive-bench make-realistic FILE MB FILES FOLDERS  a shipped game's mix (media, textures, tables, text)
//   archive-bench make-tiny FILE FILES FOLDERS     many tiny, mostly deflated files deep in many folders
//   archive-bench make-rbf FILE ENTRIES            RBF archive with realistic paths
//   archive-bench load FILE...                     median load time of each archive (in-process)
//   archive-bench extract FILE OUTDIR RUNS         ExtractAll against a minimal read-inflate-write loop
//   archive-bench make-zip FILE.sga FILE.zip       a zip of the same files, same compression level
//   archive-bench floor FILE OUTDIR                the minimal loop once, zlib (for timing from outside)
//   archive-bench floor-libdeflate FILE OUTDIR     the same loop with libdeflate
//   archive-bench floor-read FILE                  the zlib loop without writing (the floor of a test)
//   archive-bench largest FILE                     the largest entry's expanded size, MB
//   archive-bench claims FILE ENTRIES              entries that claim 2 GB each; extracts, prints peak memory
#include "commands/open_flow.h"
#include "extract/extract.h"
#include "extract/host_path.h"
#include "support/archive_builders.h"
#include "support/memory_widgets.h"
#include "window/frm_big.h"

#include <zlib.h>
#ifdef ARCHIVE_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace archive;
using namespace archive::testing;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char* const kWords[] = {"unit",  "texture", "model", "sound", "attrib", "terrain", "ui",    "effects",
                              "orc",   "human",   "elf",   "tower", "wall",   "banner",  "armor", "weapon",
                              "spell", "fire",    "water", "stone", "wood",   "gold",    "map",   "scenario"};

std::string Word(std::mt19937& random)
{
    return kWords[random() % std::size(kWords)];
}

// A window in memory, for loading an archive the way the tool does.
struct BenchWindow {
    MemoryWidgets widgets;
    FrmBig frm{widgets};

    BenchWindow() { frm.Form_Load(); }
    // Loads the archive; says why on standard error when it does not load.
    bool Load(const std::string& path)
    {
        if (OpenChosenFile(frm, fs::absolute(path).string()) == LoadOutcome::Loaded) {
            return true;
        }
        std::cerr << path << ": " << widgets.statusText << "\n";
        return false;
    }
};

int MakeCatalogue(const std::string& path, int dirs, int files)
{
    std::mt19937 random(7);
    std::vector<SgaLayoutDir> layout = {{"", {}}};
    std::vector<std::string> paths;
    for (int d = 1; d < dirs; ++d) {
        // Realistic nesting: most folders sit two to four levels down under an earlier one.
        std::string path;
        if (paths.empty() || random() % 8 == 0) {
            path = Word(random) + std::to_string(d);
        } else {
            path = paths[random() % paths.size()] + "\\" + Word(random) + std::to_string(d);
        }
        if (std::count(path.begin(), path.end(), '\\') > 4) {
            path = Word(random) + std::to_string(d);
        }
        paths.push_back(path);
        layout.push_back({path, {}});
    }
    for (int f = 0; f < files; ++f) {
        layout[static_cast<std::size_t>(f) % layout.size()].files.push_back(
            {.name = Word(random) + "_" + std::to_string(f) + ".tga", .content = ""});
    }
    SgaSpec recipe = SgaFromLayout(layout);
    // Keep rows in order: the layout's files are grouped by directory already.
    WriteBytes(path, BuildSga(recipe));
    return 0;
}

std::string MixedContent(std::mt19937& random, std::size_t size, int kind)
{
    std::string content(size, '\0');
    if (kind == 0) { // text-like, compresses well
        std::size_t at = 0;
        while (at < size) {
            const std::string word = Word(random) + (random() % 5 == 0 ? "\n" : " ");
            const std::size_t take = std::min(word.size(), size - at);
            content.replace(at, take, word, 0, take);
            at += take;
        }
    } else if (kind == 1) { // semi-compressible: small alphabet noise
        for (char& c : content) {
            c = static_cast<char>('a' + random() % 16);
        }
    } else { // stored: random bytes
        for (char& c : content) {
            c = static_cast<char>(random());
        }
    }
    return content;
}

int MakeMixed(const std::string& path, int megabytes, int files)
{
    std::mt19937 random(11);
    const std::size_t average =
        static_cast<std::size_t>(megabytes) * 1024 * 1024 / static_cast<std::size_t>(files);
    const int dirs = std::max(1, files / 100);
    std::vector<SgaLayoutDir> layout = {{"", {}}};
    for (int d = 1; d < dirs; ++d) {
        // Every tenth row a top folder, the nine after it inside it (parents come first).
        const int top = d - (d - 1) % 10;
        const std::string name = Word(random) + std::to_string(d);
        layout.push_back({top == d ? name : layout[static_cast<std::size_t>(top)].path + "\\" + name, {}});
    }
    for (int f = 0; f < files; ++f) {
        const int kind = f % 5 == 4 ? 2 : f % 5 == 3 ? 1 : 0;
        const std::size_t size = average / 2 + random() % average;
        layout[static_cast<std::size_t>(f) % layout.size()].files.push_back(
            {.name = "file" + std::to_string(f) + ".dat",
             .content = MixedContent(random, size, kind),
             .compress = kind != 2});
    }
    WriteBytes(path, BuildSga(SgaFromLayout(layout)));
    return 0;
}

// A number near 1 with a long tail above: sizes of game files spread over
// two orders of magnitude around their kind's average.
double SizeFactor(std::mt19937& random)
{
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        sum += static_cast<double>(random()) / 4294967296.0;
    }
    return std::exp((sum - 2.0) * 1.7) / 1.6;
}

// Texture-like bytes: RGBA pixels of smooth gradients with a little noise;
// deflate keeps about two thirds of them.
std::string TextureContent(std::mt19937& random, std::size_t size)
{
    std::string content(size, '\0');
    const unsigned width = 64u << (random() % 4);
    const unsigned base = random();
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t pixel = i / 4;
        const unsigned channel = static_cast<unsigned>(i % 4);
        const unsigned x = static_cast<unsigned>(pixel % width);
        const unsigned y = static_cast<unsigned>(pixel / width);
        const unsigned smooth = (base >> (channel * 8)) + x * (channel + 1) / 2 + y * (3 - channel) / 2;
        content[i] = static_cast<char>(channel == 3 ? 255u : smooth + random() % 24);
    }
    return content;
}

// Record-structured binaries: 32-byte rows of an increasing id, a few small
// fields and floats that vary freely; deflate keeps about half of them.
std::string RecordContent(std::mt19937& random, std::size_t size)
{
    std::string content(size, '\0');
    std::uint32_t id = random() % 100000;
    for (std::size_t at = 0; at < size; at += 32) {
        unsigned char row[32] = {};
        id += 1 + random() % 3;
        std::memcpy(row, &id, 4);
        row[4] = static_cast<unsigned char>(random() % 6);
        row[6] = static_cast<unsigned char>(random() % 2);
        for (int f = 0; f < 4; ++f) {
            const float value = static_cast<float>(random() % 100000) / 7.0f;
            std::memcpy(row + 8 + 4 * f, &value, 4);
        }
        const std::uint32_t flags = random() % 4 == 0 ? random() : 0;
        std::memcpy(row + 24, &flags, 4);
        content.replace(at, std::min<std::size_t>(32, size - at), reinterpret_cast<const char*>(row),
                        std::min<std::size_t>(32, size - at));
    }
    return content;
}

// A folder tree of `count` folders below the root, 1 to `maxDepth` deep,
// each under a folder made earlier (parents always come first).
std::vector<SgaLayoutDir> FolderTree(std::mt19937& random, int count, int maxDepth)
{
    std::vector<SgaLayoutDir> layout = {{"", {}}};
    std::vector<int> depth = {0};
    for (int d = 1; d <= count; ++d) {
        std::size_t parent = 0;
        if (layout.size() > 1 && random() % 6 != 0) {
            parent = 1 + random() % (layout.size() - 1);
            if (depth[parent] >= maxDepth) {
                parent = 0;
            }
        }
        const std::string name = Word(random) + std::to_string(d);
        layout.push_back({parent == 0 ? name : layout[parent].path + "\\" + name, {}});
        depth.push_back(depth[parent] + 1);
    }
    return layout;
}

// An entry whose deflated bytes are exactly as long as its content would be
// read back as stored: grow the content by a byte until they differ.
SgaFileSpec Deflated(std::string name, std::string content)
{
    while (ZlibCompress(content).size() == content.size()) {
        content += ' ';
    }
    return {.name = std::move(name), .content = std::move(content), .compress = true};
}

// A game archive as shipped: a tenth of the files media already compressed
// (stored as is), textures and record tables that deflate poorly, six large
// files of 5 to 30 MB, and text for the rest. The same bytes every run.
int MakeRealistic(const std::string& path, int megabytes, int files, int folders)
{
    std::mt19937 random(17);
    std::vector<SgaLayoutDir> layout = FolderTree(random, folders, 4);
    const double scale = megabytes / 441.0;
    const std::size_t bigSizes[] = {30, 24, 18, 12, 8, 5};
    for (int f = 0; f < files; ++f) {
        const int kind = f % 10 == 0 ? 0 : f % 10 <= 3 ? 1 : f % 10 <= 5 ? 2 : 3;
        const double averageKb[] = {40, 25, 12, 8};
        std::size_t size = static_cast<std::size_t>(averageKb[kind] * 1024 * scale * SizeFactor(random)) + 16;
        if (f % 3331 == 7 && f / 3331 < 6) {
            size = static_cast<std::size_t>(static_cast<double>(bigSizes[f / 3331]) * 1048576 * scale);
        }
        SgaLayoutDir& dir = layout[1 + random() % (layout.size() - 1)];
        const std::string stem = Word(random) + "_" + std::to_string(f);
        if (kind == 0) {
            dir.files.push_back({.name = stem + ".ogg", .content = MixedContent(random, size, 2)});
        } else if (kind == 1) {
            dir.files.push_back(Deflated(stem + ".tga", TextureContent(random, size)));
        } else if (kind == 2) {
            dir.files.push_back(Deflated(stem + ".rgd", RecordContent(random, size)));
        } else {
            dir.files.push_back(Deflated(stem + ".lua", MixedContent(random, size, 0)));
        }
    }
    WriteBytes(path, BuildSga(SgaFromLayout(layout)));
    return 0;
}

// Many tiny files deep in many folders: FILES files of 16 to 400 bytes, nine
// in ten deflated, in FOLDERS folders 1 to 5 deep.
int MakeTiny(const std::string& path, int files, int folders)
{
    std::mt19937 random(23);
    std::vector<SgaLayoutDir> layout = FolderTree(random, folders, 5);
    for (int f = 0; f < files; ++f) {
        SgaLayoutDir& dir = layout[static_cast<std::size_t>(f) % layout.size()];
        std::string content = MixedContent(random, 16 + random() % 385, 0);
        std::string name = Word(random) + "_" + std::to_string(f) + ".txt";
        if (f % 10 == 9) {
            dir.files.push_back({.name = std::move(name), .content = std::move(content)});
        } else {
            dir.files.push_back(Deflated(std::move(name), std::move(content)));
        }
    }
    WriteBytes(path, BuildSga(SgaFromLayout(layout)));
    return 0;
}

int MakeRbf(const std::string& path, int entries)
{
    std::mt19937 random(5);
    RbfSpec recipe;
    recipe.entries.reserve(static_cast<std::size_t>(entries));
    std::vector<std::string> folders;
    for (int i = 0; i < 5000; ++i) {
        std::string folder = Word(random);
        for (int depth = 1 + static_cast<int>(random() % 4); depth > 0; --depth) {
            folder += "\\" + Word(random) + std::to_string(random() % 50);
        }
        folders.push_back(folder);
    }
    for (int i = 0; i < entries; ++i) {
        recipe.entries.push_back({.name = folders[static_cast<std::size_t>(i) / 200 % folders.size()] + "\\" +
                                          Word(random) + "_" + std::to_string(i) + ".tga",
                                  .crc = static_cast<std::int64_t>(random()) * 7919,
                                  .compr = 1000,
                                  .uncompr = 2000});
    }
    WriteBytes(path, BuildRbf(recipe));
    return 0;
}

int Load(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        std::vector<double> times;
        std::size_t nodes = 0;
        for (int run = 0; run < 5; ++run) {
            BenchWindow window;
            const auto start = Clock::now();
            if (!window.Load(path)) {
                return 1;
            }
            times.push_back(Seconds(start));
            nodes = window.frm.tree().Count();
        }
        std::printf("load\t%s\t%zu nodes\t%.3f s\n", path.c_str(), nodes, Median(times));
    }
    return 0;
}

// The floor: all folders first, one mkdir each in walk order, then for each
// entry one pread, an inflate and one write to the file under its final
// name; no logging, no temporary names, no checks, and buffers that grow but
// are never zero-filled (both are overwritten). `inflater` is zlib's
// uncompress or libdeflate. Without `write`, nothing is made or written: the
// floor of a test.
enum class Inflater { Zlib, Libdeflate };

// A buffer that keeps its largest size and fills nothing.
class RawBuffer {
  public:
    unsigned char* Reserve(std::size_t size)
    {
        if (size > capacity_) {
            capacity_ = std::max(size, capacity_ * 2);
            bytes_.reset(new unsigned char[capacity_]); // default-initialised: not filled
        }
        return bytes_.get();
    }

  private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t capacity_ = 0;
};

void MinimalLoop(const SgaTables& t, const std::string& archivePath, const fs::path& out, Inflater inflater,
                 bool write = true)
{
    const int archive = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
    RawBuffer stored;
    RawBuffer expanded;
    const int dirs = write ? t.SgaDataHeader.NumDirectories : 0;
    if (write) {
        fs::create_directories(out);
    }
    for (int d = 1; d < dirs; ++d) {
        const fs::path folder = out / *MapArchivePath(t.SgaDirNames[static_cast<std::size_t>(d - 1)]);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            fs::create_directories(folder); // a row before its parent's: not in the bench's archives
        }
    }
#ifdef ARCHIVE_BENCH_LIBDEFLATE
    libdeflate_decompressor* fast = libdeflate_alloc_decompressor();
#else
    if (inflater == Inflater::Libdeflate) {
        std::fprintf(stderr, "built without libdeflate\n");
        std::exit(1);
    }
#endif
    for (int f = 0; f < t.SgaDataHeader.NumFiles; ++f) {
        const SgaFile& file = t.SgaFiles[static_cast<std::size_t>(f)];
        const std::size_t storedSize = static_cast<std::size_t>(file.StoredSize);
        unsigned char* storedBytes = stored.Reserve(storedSize);
        if (::pread(archive, storedBytes, storedSize, t.SgaHeader.DataOffset + file.EntryOffset) !=
            static_cast<ssize_t>(storedSize)) {
            std::abort();
        }
        const unsigned char* data = storedBytes;
        std::size_t size = storedSize;
        if (file.StoredSize != file.ExpandedSize) {
            const std::size_t expandedSize = static_cast<std::size_t>(file.ExpandedSize);
            unsigned char* expandedBytes = expanded.Reserve(expandedSize);
            bool inflated = false;
            if (inflater == Inflater::Zlib) {
                uLongf length = static_cast<uLongf>(expandedSize);
                inflated =
                    uncompress(expandedBytes, &length, storedBytes, static_cast<uLong>(storedSize)) == Z_OK;
                size = length;
            }
#ifdef ARCHIVE_BENCH_LIBDEFLATE
            else {
                inflated = libdeflate_zlib_decompress(fast, storedBytes, storedSize, expandedBytes,
                                                      expandedSize, &size) == LIBDEFLATE_SUCCESS;
            }
#endif
            if (!inflated) {
                std::abort();
            }
            data = expandedBytes;
        }
        if (!write) {
            continue;
        }
        const int target = ::open((out / *MapArchivePath(file.Path)).c_str(),
                                  O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (target < 0 || ::write(target, data, size) != static_cast<ssize_t>(size)) {
            std::abort();
        }
        ::close(target);
    }
#ifdef ARCHIVE_BENCH_LIBDEFLATE
    libdeflate_free_decompressor(fast);
#endif
    ::close(archive);
}

} // namespace

namespace {

std::uint64_t TreeBytes(const fs::path& root)
{
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            total += entry.file_size();
        }
    }
    return total;
}

int Extract(const std::string& path, const fs::path& outDir, int runs)
{
    BenchWindow window;
    FrmBig& frm = window.frm;
    if (!window.Load(path)) {
        return 1;
    }
    std::vector<double> ours;
    std::vector<double> floor;
    std::uint64_t bytes = 0;
    for (int run = 0; run < runs; ++run) {
        // Alternate the two so that both see the same machine.
        fs::remove_all(outDir);
        fs::create_directories(outDir / "ours");
        frm.OutputBase = outDir / "ours";
        auto start = Clock::now();
        const ExtractReport report = ExtractAll(frm);
        ours.push_back(Seconds(start));
        if (report.failed != 0) {
            std::cerr << "extraction failed: " << report.failed << "\n";
            return 1;
        }
        bytes = TreeBytes(outDir / "ours");
        fs::remove_all(outDir);
        start = Clock::now();
        MinimalLoop(frm.Sga, frm.ArchivePath, outDir / "floor" / "data", Inflater::Zlib);
        floor.push_back(Seconds(start));
    }
    fs::remove_all(outDir);
    const double a = Median(ours);
    const double b = Median(floor);
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("extract-all of %s: %.0f MB in %d files, output in %s, median of %d runs\n", path.c_str(), mb,
                frm.Sga.SgaDataHeader.NumFiles, outDir.string().c_str(), runs);
    std::printf("  ExtractAll                      %7.3f s  %7.1f MB/s\n", a, mb / a);
    std::printf("  minimal read-inflate-write loop %7.3f s  %7.1f MB/s\n", b, mb / b);
    std::printf("  ratio ExtractAll / loop         %7.2f\n", a / b);
    return 0;
}

// A zip with the same files: deflated at the builder's level where the SGA
// entry is compressed, stored where it is stored.
int MakeZip(const std::string& sgaPath, const std::string& zipPath)
{
    BenchWindow window;
    if (!window.Load(sgaPath)) {
        return 1;
    }
    const std::string archive = ReadBytes(sgaPath);
    const SgaTables& t = window.frm.Sga;
    std::string out;
    std::string central;
    auto put16 = [](std::string& to, unsigned v) {
        to += static_cast<char>(v & 0xFF);
        to += static_cast<char>((v >> 8) & 0xFF);
    };
    auto put32 = [&](std::string& to, std::uint32_t v) {
        put16(to, v & 0xFFFF);
        put16(to, v >> 16);
    };
    int count = 0;
    for (int f = 0; f < t.SgaDataHeader.NumFiles; ++f) {
        const SgaFile& file = t.SgaFiles[static_cast<std::size_t>(f)];
        std::string name = "data/" + file.Path;
        std::replace(name.begin(), name.end(), '\\', '/');
        std::string content =
            archive.substr(static_cast<std::size_t>(t.SgaHeader.DataOffset + file.EntryOffset),
                           static_cast<std::size_t>(file.StoredSize));
        const bool deflated = file.StoredSize != file.ExpandedSize;
        std::string stored = content;
        if (deflated) {
            std::string expanded(static_cast<std::size_t>(file.ExpandedSize), '\0');
            uLongf length = static_cast<uLongf>(expanded.size());
            uncompress(reinterpret_cast<Bytef*>(expanded.data()), &length,
                       reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()));
            content = expanded;
            z_stream z{};
            deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
            stored.assign(deflateBound(&z, static_cast<uLong>(content.size())), '\0');
            z.next_in = reinterpret_cast<Bytef*>(content.data());
            z.avail_in = static_cast<uInt>(content.size());
            z.next_out = reinterpret_cast<Bytef*>(stored.data());
            z.avail_out = static_cast<uInt>(stored.size());
            deflate(&z, Z_FINISH);
            stored.resize(z.total_out);
            deflateEnd(&z);
        }
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
        const auto offset = static_cast<std::uint32_t>(out.size());
        std::string header;
        put32(header, 0x04034b50);
        put16(header, 20);
        put16(header, 0);
        put16(header, deflated ? 8 : 0);
        put16(header, 0);
        put16(header, 0x21);
        put32(header, crc);
        put32(header, static_cast<std::uint32_t>(stored.size()));
        put32(header, static_cast<std::uint32_t>(content.size()));
        put16(header, static_cast<unsigned>(name.size()));
        put16(header, 0);
        out += header + name + stored;
        put32(central, 0x02014b50);
        put16(central, 20);
        central += header.substr(4, 26);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central += name;
        ++count;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(count));
    put16(out, static_cast<unsigned>(count));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    WriteBytes(zipPath, out);
    return 0;
}

int Floor(const std::string& path, const fs::path& outDir, Inflater inflater, bool write = true)
{
    BenchWindow window;
    if (!window.Load(path)) {
        return 1;
    }
    MinimalLoop(window.frm.Sga, window.frm.ArchivePath, outDir / "data", inflater, write);
    return 0;
}

// Entries that claim 2 GB each but inflate to a few bytes: memory must follow what they inflate to.
int Claims(const std::string& path, int entries)
{
    std::vector<SgaFileSpec> files;
    for (int i = 0; i < entries; ++i) {
        files.push_back({.name = "claim" + std::to_string(i),
                         .content = std::string(1000, 'c'),
                         .compress = true,
                         .expandedSize = 2000000000});
    }
    WriteBytes(path, BuildSga(SgaFromLayout({{"", files}})));
    BenchWindow window;
    const fs::path out = fs::path(path).parent_path() / "claims-out";
    fs::remove_all(out);
    fs::create_directories(out);
    window.frm.OutputBase = out;
    if (!window.Load(path)) {
        return 1;
    }
    const ExtractReport report = ExtractAll(window.frm);
    fs::remove_all(out);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d entries claiming 2 GB each: %d written, %d failed; peak memory %.1f MB\n", entries,
                report.written, report.failed, static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "make-catalogue") {
        return MakeCatalogue(args[1], std::stoi(args[2]), std::stoi(args[3]));
    }
    if (args.size() == 4 && args[0] == "make-mixed") {
        return MakeMixed(args[1], std::stoi(args[2]), std::stoi(args[3]));
    }
    if (args.size() == 5 && args[0] == "make-realistic") {
        return MakeRealistic(args[1], std::stoi(args[2]), std::stoi(args[3]), std::stoi(args[4]));
    }
    if (args.size() == 4 && args[0] == "make-tiny") {
        return MakeTiny(args[1], std::stoi(args[2]), std::stoi(args[3]));
    }
    if (args.size() == 3 && args[0] == "make-rbf") {
        return MakeRbf(args[1], std::stoi(args[2]));
    }
    if (args.size() >= 2 && args[0] == "load") {
        return Load(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    if (args.size() == 3 && args[0] == "make-zip") {
        return MakeZip(args[1], args[2]);
    }
    if (args.size() == 3 && args[0] == "floor") {
        return Floor(args[1], args[2], Inflater::Zlib);
    }
    if (args.size() == 2 && args[0] == "floor-read") {
        return Floor(args[1], ".", Inflater::Zlib, false);
    }
    if (args.size() == 3 && args[0] == "floor-libdeflate") {
        return Floor(args[1], args[2], Inflater::Libdeflate);
    }
    if (args.size() == 2 && args[0] == "largest") {
        BenchWindow window;
        if (!window.Load(args[1])) {
            return 1;
        }
        std::int32_t largest = 0;
        for (const SgaFile& file : window.frm.Sga.SgaFiles) {
            largest = std::max(largest, file.ExpandedSize);
        }
        std::printf("%.0f\n", largest / 1048576.0);
        return 0;
    }
    if (args.size() == 3 && args[0] == "claims") {
        return Claims(args[1], std::stoi(args[2]));
    }
    if (args.size() == 4 && args[0] == "extract") {
        return Extract(args[1], args[2], std::stoi(args[3]));
    }
    std::cerr << "usage: see the comment at the top of bench/archive_bench.cpp\n";
    return 1;
}
