#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace archive {

// The About box's texts.
std::string AboutVersionLine(int major, int minor, int revision);
std::string AboutVersionLine();
std::string AboutCredits();
std::string AboutAuthorLine();
inline constexpr const char* kAboutCaption = "About Tavrin's SV1 / SV2 / MF Archive Tool";
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

inline constexpr std::int32_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::uint32_t kKeyAccess = 0x2003F;
inline constexpr std::uint32_t kRegSz = 1;

// The registry and the program launcher the "System Info" button needs.
class RegistryAndLauncher {
  public:
    virtual ~RegistryAndLauncher() = default;
    virtual bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                         std::uintptr_t& handle) = 0;
    // Reads at most `bufferSize` bytes of the value's data.
    virtual bool QueryValue(std::uintptr_t handle, const std::string& valueName, std::size_t bufferSize,
                            std::uint32_t& type, std::string& data) = 0;
    virtual void CloseKey(std::uintptr_t handle) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // Starts a program in a normal, focused window.
    virtual bool StartProgram(const std::string& path) = 0;
};

// This machine's registry and launcher: the Windows registry on Windows;
// elsewhere every lookup fails.
std::unique_ptr<RegistryAndLauncher> MakeSystemRegistry();

// Reads one text value. A missing key or value, or a value that is not
// text, gives false and an empty KeyVal.
bool GetKeyValue(RegistryAndLauncher& registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Finds and starts the system information program, or shows the message
// "System Information Is Unavailable At This Time" through `showMessage`.
void StartSysInfo(RegistryAndLauncher& registry, const std::function<void(const std::string&)>& showMessage);

} // namespace archive
