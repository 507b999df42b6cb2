// What only Windows does: the registry, starting a program, UTF-16 names,
// and the names Windows would misread. Run under Wine by scripts/windows-test,
// which adds the registry values read here.
#include "about/about.h"
#include "extract/extract.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace archive;
using namespace archive::testing;
namespace fs = std::filesystem;

namespace {
constexpr const char* kTestKey = "Software\\ArchiveToolTest";

bool TestKeyPresent(RegistryAndLauncher& registry)
{
    std::uintptr_t key = 0;
    if (!registry.OpenKey(kHkeyLocalMachine, kTestKey, kKeyAccess, key)) {
        return false;
    }
    registry.CloseKey(key);
    return true;
}
} // namespace

TEST(WindowsRegistry, ReadsTextValuesOnly)
{
    const auto registry = MakeSystemRegistry();
    if (!TestKeyPresent(*registry)) {
        GTEST_SKIP() << "scripts/windows-test adds HKLM\\" << kTestKey;
    }
    std::string value = "old";
    EXPECT_TRUE(GetKeyValue(*registry, kHkeyLocalMachine, kTestKey, "Text", value));
    EXPECT_EQ(value, "C:\\tools\\text value");
    EXPECT_FALSE(GetKeyValue(*registry, kHkeyLocalMachine, kTestKey, "Number", value)); // a DWORD
    EXPECT_EQ(value, "");
    EXPECT_FALSE(GetKeyValue(*registry, kHkeyLocalMachine, kTestKey, "Missing", value));
    EXPECT_FALSE(GetKeyValue(*registry, kHkeyLocalMachine, "Software\\NoSuchKeyHere", "Text", value));
}

TEST(WindowsRegistry, SystemInfoStartsTheProgramTheRegistryNames)
{
    const auto registry = MakeSystemRegistry();
    std::string path;
    if (!GetKeyValue(*registry, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                     path)) {
        GTEST_SKIP() << "scripts/windows-test names a program under Shared Tools\\MSINFO";
    }
    std::vector<std::string> messages;
    StartSysInfo(*registry, [&](const std::string& text) { messages.push_back(text); });
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(registry->StartProgram("C:\\windows\\system32\\hostname.exe"));
    EXPECT_FALSE(registry->StartProgram("C:\\no\\such\\program.exe"));

    // The second location names a folder; the program is looked for in it before it is started.
    std::string folder;
    ASSERT_TRUE(GetKeyValue(*registry, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                            "MSINFO", folder));
    EXPECT_EQ(folder, "C:\\windows\\system32");
    EXPECT_TRUE(registry->FileExists(folder + "\\hostname.exe"));
    EXPECT_FALSE(registry->FileExists(folder + "\\no-such-program.exe"));
}

TEST(WindowsPaths, NamesGoThroughUtf16AndTheRootIsRelativeToTheWorkingFolder)
{
    TestWindow w;
    SgaSpec recipe = SgaFromLayout({{"",
                                     {{.name = "\xE9t\xE9 \x80.txt", .content = "summer"},
                                      {.name = "C:\\x", .content = "drive"},
                                      {.name = "a:b", .content = "stream"},
                                      {.name = "CON", .content = "device"},
                                      {.name = "lpt1.txt", .content = "device"},
                                      {.name = "dot.", .content = "dot"},
                                      {.name = "blank ", .content = "blank"},
                                      {.name = "fine.txt", .content = "fine"}}}});
    ASSERT_EQ(w.Open(BuildSga(recipe)), LoadOutcome::Loaded);
    const fs::path before = fs::current_path();
    fs::current_path(w.dir.path());
    w.frm.OutputBase = ".";
    const ExtractReport report = ExtractAll(w.frm);
    fs::current_path(before);
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(report.failed, 6);
    EXPECT_TRUE(fs::exists(w.dir.path() / L"data" / L"\u00e9t\u00e9 \u20ac.txt"));
    EXPECT_TRUE(fs::exists(w.dir.path() / L"data" / L"fine.txt"));
    const std::vector<std::string> log = w.widgets.LogLines();
    for (const std::string refused : {"C:\\x", "a:b", "CON", "lpt1.txt", "dot.", "blank "}) {
        EXPECT_NE(std::find(log.begin(), log.end(), "Skipped unsafe path: " + refused), log.end()) << refused;
    }
}
