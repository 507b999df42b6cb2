#include "win32/shell_icons.h"

#include "commands/catalogue_details.h"
#include "win32/text.h"

#include <shellapi.h>

namespace archive::win32 {

int ShellIcons::Lookup(const std::wstring& name, DWORD attributes)
{
    SHFILEINFOW info{};
    const auto list = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(name.c_str(), attributes, &info, sizeof info,
                       SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (!list) {
        return -1;
    }
    images_ = list;
    return info.iIcon;
}

HIMAGELIST ShellIcons::Images()
{
    if (!images_) {
        Folder();
    }
    return images_;
}

int ShellIcons::Folder()
{
    if (folder_ == -2) {
        folder_ = Lookup(L"folder", FILE_ATTRIBUTE_DIRECTORY);
    }
    return folder_;
}

int ShellIcons::File(std::string_view name)
{
    const std::size_t dot = name.find_last_of('.');
    const std::string extension = dot == std::string_view::npos ? std::string() : FoldCase(name.substr(dot));
    if (const auto found = byExtension_.find(extension); found != byExtension_.end()) {
        return found->second;
    }
    const int image = Lookup(L"file" + DisplayWide(extension), FILE_ATTRIBUTE_NORMAL);
    byExtension_.emplace(extension, image);
    return image;
}

} // namespace archive::win32
