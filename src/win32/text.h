#pragma once

#include <string>
#include <string_view>

namespace archive::win32 {

// Archive text for a control: Windows-1252 to UTF-16, a NUL shown as a blank
// so that it cannot cut the rest of the text off.
std::wstring DisplayWide(std::string_view bytes);

// Host text (UTF-8: paths as the host names them, messages that may hold one) for a control.
std::wstring HostWide(std::string_view utf8);

// A control's text back as UTF-8 host text.
std::string WideToUtf8(std::wstring_view wide);

} // namespace archive::win32
