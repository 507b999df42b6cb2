#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>
// windows.h must come first
#include <shellapi.h>

#include <filesystem>
#endif

namespace archive {

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length - 1 : 0), L'\0');
    if (length > 1) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    }
    return wide;
}

std::string Narrow(const std::wstring& wide)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
    if (length > 1) {
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    }
    return text;
}

class WindowsRegistry : public RegistryAndLauncher {
  public:
    bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                 std::uintptr_t& handle) override
    {
        HKEY key = nullptr;
        const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<std::intptr_t>(root));
        if (RegOpenKeyExW(rootKey, Wide(keyName).c_str(), 0, access, &key) != ERROR_SUCCESS) {
            return false;
        }
        handle = reinterpret_cast<std::uintptr_t>(key);
        return true;
    }
    bool QueryValue(std::uintptr_t handle, const std::string& valueName, std::size_t bufferSize,
                    std::uint32_t& type, std::string& data) override
    {
        std::wstring buffer(bufferSize, L'\0');
        DWORD size = static_cast<DWORD>(bufferSize * sizeof(wchar_t));
        DWORD valueType = 0;
        if (RegQueryValueExW(reinterpret_cast<HKEY>(handle), Wide(valueName).c_str(), nullptr, &valueType,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
            return false;
        }
        type = valueType;
        buffer.resize(size / sizeof(wchar_t));
        data = Narrow(buffer.substr(0, buffer.find(L'\0')));
        return true;
    }
    void CloseKey(std::uintptr_t handle) override { RegCloseKey(reinterpret_cast<HKEY>(handle)); }
    bool FileExists(const std::string& path) override
    {
        std::error_code error;
        return std::filesystem::is_regular_file(std::filesystem::path(Wide(path)), error);
    }
    bool StartProgram(const std::string& path) override
    {
        const auto result = reinterpret_cast<std::intptr_t>(
            ShellExecuteW(nullptr, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }
};
#else
// No registry and no system information program here: every lookup fails.
class NoRegistry : public RegistryAndLauncher {
  public:
    bool OpenKey(std::int32_t, const std::string&, std::uint32_t, std::uintptr_t&) override { return false; }
    bool QueryValue(std::uintptr_t, const std::string&, std::size_t, std::uint32_t&, std::string&) override
    {
        return false;
    }
    void CloseKey(std::uintptr_t) override {}
    bool FileExists(const std::string&) override { return false; }
    bool StartProgram(const std::string&) override { return false; }
};
#endif

} // namespace

std::unique_ptr<RegistryAndLauncher> MakeSystemRegistry()
{
#ifdef _WIN32
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<NoRegistry>();
#endif
}

} // namespace archive
