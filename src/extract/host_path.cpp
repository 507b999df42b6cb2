#include "extract/host_path.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace archive {

namespace {

bool IsUnsafeComponent(std::string_view name)
{
    if (name == ".." || name.find('\0') != std::string_view::npos) {
        return true;
    }
#ifdef _WIN32
    if (name.find(':') != std::string_view::npos) {
        return true; // drive letters and alternate data streams
    }
    if (name.back() == '.' || name.back() == ' ') {
        return true; // Windows drops them, so "x." and "x" would be one file
    }
    if (IsWindowsDeviceName(name)) {
        return true;
    }
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || std::string_view("<>\"|?*").find(ch) != std::string_view::npos) {
            return true;
        }
    }
#endif
    return false;
}

} // namespace

bool IsWindowsDeviceName(std::string_view name)
{
    // The device names stay reserved with any extension ("CON.txt").
    const std::string_view stem = name.substr(0, name.find('.'));
    std::string upper(stem);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::toupper(c)) : static_cast<char>(c);
    });
    while (!upper.empty() && upper.back() == ' ') {
        upper.pop_back();
    }
    static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end()) {
        return true;
    }
    if (upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT"))) {
        // Any digit, 0 included, and the superscript digits one to three
        // (Windows-1252 B9, B2, B3), which Windows also takes for ports.
        const auto digit = static_cast<unsigned char>(upper[3]);
        return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return upper == "CONIN$" || upper == "CONOUT$";
}

std::optional<std::filesystem::path> MapArchivePath(std::string_view archivePath)
{
    // The host's text is put together first and made a path once: a path
    // grown a name at a time splits itself again at each step.
    auto mapped = MapArchiveText(archivePath);
    if (!mapped) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(*mapped));
}

std::optional<std::filesystem::path::string_type> MapArchiveText(std::string_view archivePath)
{
    std::filesystem::path::string_type mapped;
    std::size_t start = 0;
    while (start <= archivePath.size()) {
        const std::size_t end = archivePath.find_first_of("\\/", start);
        const std::string_view name =
            archivePath.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!name.empty() && name != ".") {
            if (IsUnsafeComponent(name)) {
                return std::nullopt;
            }
            if (!mapped.empty()) {
                mapped += std::filesystem::path::preferred_separator;
            }
#ifdef _WIN32
            mapped += Windows1252ToWide(name);
#else
            mapped += Windows1252ToUtf8(name);
#endif
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return mapped;
}

std::optional<std::filesystem::path::string_type>
MapArchiveTextIn(const std::optional<std::filesystem::path::string_type>& folder, std::string_view name)
{
    if (!folder) {
        return std::nullopt;
    }
    auto mapped = MapArchiveText(name);
    if (mapped && !folder->empty()) {
        std::filesystem::path::string_type joined;
        joined.reserve(folder->size() + 1 + mapped->size());
        joined = *folder;
        if (!mapped->empty()) { // a name such as "." maps to nothing: the folder alone
            joined += std::filesystem::path::preferred_separator;
            joined += *mapped;
        }
        *mapped = std::move(joined);
    }
    return mapped;
}

bool NamesAFolder(std::string_view archivePath)
{
    const std::size_t last = archivePath.find_last_of("\\/");
    const std::string_view name = last == std::string_view::npos ? archivePath : archivePath.substr(last + 1);
    return name.empty() || name == ".";
}

} // namespace archive
