#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace archive {

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

} // namespace archive
