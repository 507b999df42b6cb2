#include "about/about.h"

#include "version.h"
#include "version/version_text.h"

namespace archive {

std::string AboutVersionLine(int major, int minor, int revision)
{
    return "Version " + VersionText(major, minor, revision);
}

std::string AboutVersionLine()
{
    return AboutVersionLine(kVersionMajor, kVersionMinor, kVersionRevision);
}

std::string AboutCredits()
{
    return "Thanks to the modders who first decoded these archive formats and wrote a tool for them, and to "
           "the author of the earlier SV1 tool. Thanks also to the player who helped fix hand-made .BIG "
           "files.\r\n\r\n"
           "Compression class after the zlib class module of its author.";
}

std::string AboutAuthorLine()
{
    return "Archive Tool, written by its maintainers for players and modders.";
}

bool GetKeyValue(RegistryAndLauncher& registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal)
{
    KeyVal.clear();
    std::uintptr_t key = 0;
    if (!registry.OpenKey(KeyRoot, KeyName, kKeyAccess, key)) {
        return false;
    }
    std::uint32_t type = 0;
    std::string data;
    const bool found = registry.QueryValue(key, SubKeyRef, 1024, type, data);
    registry.CloseKey(key);
    if (!found || type != kRegSz) {
        return false;
    }
    KeyVal = data.substr(0, data.find('\0'));
    return true;
}

void StartSysInfo(RegistryAndLauncher& registry, const std::function<void(const std::string&)>& showMessage)
{
    std::string path;
    if (GetKeyValue(registry, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path)) {
        if (registry.StartProgram(path)) {
            return;
        }
    } else if (GetKeyValue(registry, kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                           "MSINFO", path)) {
        const std::string program = path + "\\MSINFO32.EXE";
        if (registry.FileExists(program) && registry.StartProgram(program)) {
            return;
        }
    }
    showMessage(kSysInfoUnavailable);
}

} // namespace archive
