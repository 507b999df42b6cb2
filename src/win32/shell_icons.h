#pragma once

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#include <string>
#include <string_view>
#include <unordered_map>

namespace archive::win32 {

// The shell's small icons for archive names, by extension, from the system
// image list. The files need not exist: SHGetFileInfo is asked by name and
// attributes alone, once per extension.
class ShellIcons {
  public:
    // The system image list (shared: nobody destroys it), or nullptr.
    HIMAGELIST Images();
    int Folder();
    // The icon of a file named `name` (Windows-1252 bytes; the extension decides).
    int File(std::string_view name);

  private:
    int Lookup(const std::wstring& name, DWORD attributes);

    HIMAGELIST images_ = nullptr;
    int folder_ = -2;
    std::unordered_map<std::string, int> byExtension_; // folded extension -> image
};

} // namespace archive::win32
