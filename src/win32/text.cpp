#include "win32/text.h"

#include "platform/text_encoding.h"

#include <windows.h>

#include <algorithm>

namespace archive::win32 {

std::wstring DisplayWide(std::string_view bytes)
{
    std::wstring wide = Windows1252ToWide(bytes);
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    return wide;
}

std::wstring HostWide(std::string_view utf8)
{
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    return wide;
}

std::string WideToUtf8(std::wstring_view wide)
{
    const int size = static_cast<int>(wide.size());
    std::string utf8(static_cast<std::size_t>(
                         WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                        nullptr);
    return utf8;
}

} // namespace archive::win32
