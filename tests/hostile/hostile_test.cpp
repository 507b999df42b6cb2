// Damaged and crafted archives: every cut and every single-byte change of
// the samples loads or fails cleanly without leaking a handle; hostile names
// and planted links never lead a write out of the output root.
#include "extract/extract.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace archive;
using namespace archive::testing;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

int OpenDescriptors()
{
#ifdef __linux__
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
#else
    return 0;
#endif
}

std::string SampleSga()
{
    return BuildSga(SgaFromLayout(
        {{"", {{.name = "readme.txt", .content = "read me", .compress = true}}},
         {"maps", {{.name = "index.txt", .content = "town"}}},
         {"maps\\town", {{.name = "plan.dat", .content = std::string(400, 'p'), .compress = true}}},
         {"art", {}}},
        "Data"));
}

std::string SampleRbf()
{
    RbfSpec recipe;
    recipe.entries = {{.name = "readme.txt"}, {.name = "maps\\town\\plan.dat"}, {.name = "maps\\index.txt"}};
    return BuildRbf(recipe);
}

// Loads `bytes`; the outcome must be a success, a rejection or a failure that says so.
void ExpectCleanOutcome(TestWindow& w, const std::string& bytes, const std::string& what)
{
    const LoadOutcome outcome = w.Open(bytes, "damaged.sga", true);
    ASSERT_NE(outcome, LoadOutcome::CannotOpen) << what;
    if (outcome == LoadOutcome::Failed) {
        ASSERT_EQ(w.widgets.LogLines().back().rfind("Load failed: ", 0), 0u) << what;
    }
    ASSERT_FALSE(w.frm.DebugFileOpen()) << what;
}

Lines EntriesOf(const fs::path& folder)
{
    Lines names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Damaged, EveryCutAndEverySingleByteChangeEndsCleanly)
{
    TestWindow w;
    const int before = OpenDescriptors();
    int loads = 0;
    for (const std::string& sample : {SampleSga(), SampleRbf()}) {
        for (std::size_t length = 0; length < sample.size(); ++length) {
            ExpectCleanOutcome(w, sample.substr(0, length), "cut at " + std::to_string(length));
            ++loads;
        }
        for (std::size_t at = 0; at < sample.size(); ++at) {
            for (const unsigned char value : {0x00, 0xFF, 0x80}) {
                std::string changed = sample;
                changed[at] = static_cast<char>(static_cast<unsigned char>(changed[at]) ^ value);
                ExpectCleanOutcome(w, changed, "byte " + std::to_string(at) + " ^ " + std::to_string(value));
                ++loads;
                // A damaged catalogue must not make the extraction misbehave either.
                if (at % 7 == 0) {
                    ExtractAll(w.frm);
                }
            }
        }
    }
    EXPECT_GT(loads, 1000);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(Hostile, NamesNeverLeaveTheOutputRoot)
{
    const std::string longComponent(300, 'n');
    std::string longPath;
    while (longPath.size() < 5000) { // past the host's path limit, within the loader's
        longPath += "deep\\";
    }
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "..", .content = "a"},
                                      {.name = "..\\..\\x", .content = "b"},
                                      {.name = "/etc/x", .content = "c"},
                                      {.name = "\\x", .content = "d"},
                                      {.name = "C:\\x", .content = "e"},
                                      {.name = "in/side", .content = "f"},
                                      {.name = longComponent, .content = "g"},
                                      {.name = "CON", .content = "h"},
                                      {.name = "trailing. ", .content = "i"},
                                      {.name = "fine.txt", .content = "fine"}}},
                                    {"a", {}},
                                    {"a\\..\\..\\x", {{.name = "y", .content = "j"}}},
                                    {longPath + "end", {{.name = "z", .content = "k"}}},
                                    {"ok", {{.name = "kept.txt", .content = "kept"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded) << w.widgets.statusText;
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(ReadBytes(w.dir.File("data/fine.txt")), "fine");
    EXPECT_EQ(ReadBytes(w.dir.File("data/ok/kept.txt")), "kept");
    EXPECT_EQ(ReadBytes(w.dir.File("data/etc/x")), "c"); // a leading "/" is no root here
    EXPECT_EQ(ReadBytes(w.dir.File("data/x")), "d");
    EXPECT_EQ(ReadBytes(w.dir.File("data/in/side")), "f");
    EXPECT_GE(report.failed, 4);
    const Lines log = w.widgets.LogLines();
    for (const std::string refused :
         {"Skipped unsafe path: ..", "Skipped unsafe path: ..\\..\\x", "Skipped unsafe path: a\\..\\..\\x",
          "Skipped unsafe path: a\\..\\..\\x\\y"}) {
        EXPECT_NE(std::find(log.begin(), log.end(), refused), log.end()) << refused;
    }
    EXPECT_EQ(log[log.size() - 2], "...Extract finished"); // then the count of what failed
    EXPECT_EQ(EntriesOf(w.dir.path()), (Lines{"data", "test.sga"}));

    // The same names one at a time.
    for (int node = 1; node <= static_cast<int>(w.frm.tree().Count()); ++node) {
        ExtractSelected(w.frm, node);
    }
    EXPECT_EQ(EntriesOf(w.dir.path()), (Lines{"data", "test.sga"}));

    // A path of 40,000 characters is too long for the catalogue: the load stops and says so,
    // and nothing extracts from the tables as far as they got.
    std::string hugePath;
    while (hugePath.size() < 40000) {
        hugePath += "..\\";
    }
    TestWindow huge;
    ASSERT_EQ(huge.Open(BuildSga(SgaFromLayout({{"", {}}, {hugePath, {{.name = "z", .content = "z"}}}}))),
              LoadOutcome::Failed);
    EXPECT_NE(huge.widgets.LogLines().back().find("too long"), std::string::npos);
    EXPECT_EQ(ExtractAll(huge.frm).written, 0);
    EXPECT_EQ(EntriesOf(huge.dir.path()), (Lines{"test.sga"}));
}

#ifndef _WIN32
TEST(Hostile, NoLinkBelowTheOutputRootIsFollowed)
{
    TempDir outside;
    SgaSpec recipe = SgaFromLayout({{"", {{.name = "top.txt", .content = "top"}}},
                                    {"x", {{.name = "f.txt", .content = "through the link"}}},
                                    {"x\\sub", {{.name = "g.txt", .content = "deeper"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    fs::create_directories(w.dir.path() / "data");
    fs::create_directory_symlink(outside.path(), w.dir.path() / "data" / "x");
    const ExtractReport report = ExtractAll(w.frm);
    EXPECT_EQ(ReadBytes(w.dir.File("data/top.txt")), "top");
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_EQ(report.failed, 3); // the folder x\sub and the two files below the link
    const Lines log = w.widgets.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Skipped path through a link below the output root: .\\data\\x\\sub"),
              log.end());

    ExtractSelected(w.frm, w.frm.tree().IndexOfKey("n0\\f1"));
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_EQ(w.widgets.LogLines().back(),
              "Skipped path through a link below the output root: .\\data\\x\\f.txt");

    // Not even a link that stays inside: following one would mean resolving it, and a link
    // can change between the look and the write.
    fs::remove(w.dir.path() / "data" / "x");
    fs::create_directories(w.dir.path() / "data" / "real");
    fs::create_directory_symlink("real", w.dir.path() / "data" / "x");
    EXPECT_EQ(ExtractAll(w.frm).failed, 3);
    EXPECT_TRUE(fs::is_empty(w.dir.path() / "data" / "real"));

    // A link planted under a file's name is replaced, never written through.
    fs::remove(w.dir.path() / "data" / "x");
    WriteBytes((outside.path() / "victim").string(), "keep");
    fs::remove(w.dir.path() / "data" / "top.txt");
    fs::create_symlink(outside.path() / "victim", w.dir.path() / "data" / "top.txt");
    EXPECT_EQ(ExtractAll(w.frm).failed, 0);
    EXPECT_FALSE(fs::is_symlink(w.dir.path() / "data" / "top.txt"));
    EXPECT_EQ(ReadBytes(w.dir.File("data/top.txt")), "top");
    EXPECT_EQ(ReadBytes((outside.path() / "victim").string()), "keep");
}

TEST(Hostile, AFolderSwappedForALinkDuringTheRunCannotRedirectWrites)
{
    TempDir outside;
    std::vector<SgaFileSpec> town;
    for (int i = 0; i < 6; ++i) {
        town.push_back({.name = "r" + std::to_string(i) + ".bin", .content = "town " + std::to_string(i)});
    }
    SgaSpec recipe = SgaFromLayout({{"", {}},
                                    {"maps", {{.name = "r0500.bin", .content = "first"}}},
                                    {"maps\\town", town},
                                    {"maps\\zz", {{.name = "late.bin", .content = "late"}}}});
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    int late = 0;
    for (int node = 1; node <= static_cast<int>(w.frm.tree().Count()); ++node) {
        late = w.frm.tree().Node(node).text == "late.bin" ? node : late;
    }
    ASSERT_NE(late, 0);
    const fs::path maps = w.dir.path() / "data" / "maps";
    // Between two files of maps\town, and again before a later folder: the folder becomes a link.
    int swaps = 0;
    w.widgets.onStatusText = [&](const std::string& status) {
        if (status == "maps\\town\\r2.bin" || status == "maps\\zz\\late.bin") {
            const fs::path folder = status == "maps\\town\\r2.bin" ? maps / "town" : maps;
            fs::rename(folder, fs::path(folder.string() + ".real"));
            fs::create_directory_symlink(outside.path(), folder);
            ++swaps;
        }
    };
    EXPECT_EQ(ExtractAll(w.frm).failed, 0);
    EXPECT_EQ(swaps, 2);
    EXPECT_TRUE(fs::is_empty(outside.path()));
    // The writes went on into the folders they had open, wherever those were moved.
    EXPECT_EQ(ReadBytes(maps.string() + ".real/town.real/r5.bin"), "town 5");
    EXPECT_EQ(ReadBytes(maps.string() + ".real/zz/late.bin"), "late");
    // A later run meets the link and refuses it.
    w.widgets.onStatusText = nullptr;
    ExtractSelected(w.frm, late);
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_EQ(w.widgets.LogLines().back(),
              "Skipped path through a link below the output root: .\\data\\maps\\zz");
}

TEST(Hostile, TheDataFolderMayBeALinkTheUserMade)
{
    TempDir elsewhere;
    TestWindow w;
    ASSERT_EQ(w.Open(BuildSga(SgaFromLayout({{"", {}}, {"a", {{.name = "f.txt", .content = "f"}}}}))),
              LoadOutcome::Loaded);
    fs::create_directory_symlink(elsewhere.path(), w.dir.path() / "data");
    EXPECT_EQ(ExtractAll(w.frm).failed, 0);
    EXPECT_EQ(ReadBytes((elsewhere.path() / "a" / "f.txt").string()), "f");
}
#endif

#ifdef __linux__
namespace {

// The process's resident memory now and at its peak, in bytes (from /proc/self/status).
std::uint64_t StatusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stoull(line.substr(field.size() + 1)) * 1024;
        }
    }
    return 0;
}

// Starts a new peak: the kernel resets VmHWM to the current size.
bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

} // namespace

// Sanitizers keep freed memory resident (quarantine, shadow memory), so the
// peak they show is not the program's.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitizer = true;
#else
constexpr bool kSanitizer = false;
#endif
#else
constexpr bool kSanitizer = false;
#endif

TEST(Hostile, RecordsSharingNameBytesStayWithinTheLoadBudget)
{
    TestWindow w;
    // Every record names the same `shared` bytes; sound archives of the same shape load.
    struct Case {
        int records;
        std::int32_t shared;
        bool loads;
    };
    // The 250 MB case first: should the budget ever fail, the test stops there, before the 60 GB one.
    for (const Case c : {Case{30000, 4096, false}, Case{3000, 1 << 20, false}, Case{30000, 1 << 20, false},
                         Case{20, 1 << 20, true}, Case{30000, 40, true}}) {
        RbfSpec recipe;
        recipe.entries.push_back({.name = std::string(static_cast<std::size_t>(c.shared), 'n')});
        const std::int32_t at = 15 + 32 * c.records;
        for (int i = 1; i < c.records; ++i) {
            recipe.entries.push_back({.nameSize = c.shared, .offset = at});
        }
        const std::string bytes = BuildRbf(recipe);
        const std::string what = std::to_string(c.records) + " records naming " + std::to_string(c.shared) +
                                 " bytes in a file of " + std::to_string(bytes.size());
        if (!ResetPeak()) {
            GTEST_SKIP() << "the peak memory cannot be reset here";
        }
        const std::uint64_t before = StatusBytes("VmRSS");
        const LoadOutcome outcome = w.Open(bytes, "shared.big");
        const std::uint64_t peak = std::max(StatusBytes("VmHWM"), before) - before; // counters lag a little
        ASSERT_EQ(outcome, c.loads ? LoadOutcome::Loaded : LoadOutcome::Failed) << what;
        if (!c.loads) {
            EXPECT_NE(w.widgets.LogLines().back().find("Load failed: the catalogue would take more than"),
                      std::string::npos)
                << what;
        }
        // The budget: 32 bytes of catalogue per archive byte, plus 32 MiB; the file itself and
        // the test's own copies of it come on top. AddressSanitizer's red zones and quarantine
        // keep freed memory resident, so there only the outcome is checked.
        if (!kSanitizer) {
            ASSERT_LT(peak, 32 * bytes.size() + (32u << 20) + 4 * bytes.size() + (16u << 20)) << what;
        }
    }
}
#endif
