#include "platform/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace archive {

namespace {

// 0x80..0x9F of Windows-1252; the five undefined positions map to the C1
// control of the same number, as the system's own conversion does.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// What a terminal or a text box would take as a control rather than a
// character: C0, DEL, and the C1 controls that the five unassigned bytes become.
bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

std::string Windows1252ToUtf8Escaped(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        const char32_t c = CodePointOf(byte);
        if (IsControl(c)) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u32string Windows1252ToVisibleCodePoints(std::string_view bytes)
{
    std::u32string out = Windows1252ToCodePoints(bytes);
    for (char32_t& c : out) {
        if (c < 0x20) {
            c = 0x2400 + c; // the Control Pictures: NUL, SOH... as one visible symbol each
        } else if (c == 0x7F) {
            c = 0x2421;
        } else if (IsControl(c)) {
            c = 0xFFFD;
        }
    }
    return out;
}

std::u32string Windows1252ToCodePoints(std::string_view bytes)
{
    std::u32string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        out += CodePointOf(static_cast<unsigned char>(ch));
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out += ch;
        } else {
            AppendUtf8(out, CodePointOf(byte));
        }
    }
    return out;
}

std::wstring Windows1252ToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        out += static_cast<wchar_t>(CodePointOf(static_cast<unsigned char>(ch)));
    }
    return out;
}

namespace {

// UTF-8 to Windows-1252. Strict: false at the first invalid sequence or
// character the code page lacks. Lossy: each of those becomes "?".
bool ToWindows1252(std::string_view utf8, std::string& out, bool lossy)
{
    out.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        char32_t c = 0;
        std::size_t length = 0;
        if (lead < 0x80) {
            c = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            c = lead & 0x1F;
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            c = lead & 0x0F;
            length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            c = lead & 0x07;
            length = 4;
        }
        bool valid = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            if (!lossy) {
                return false;
            }
            out += '?';
            ++i;
            continue;
        }
        i += length;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        const auto* found = std::find(kHighControls.begin(), kHighControls.end(), c);
        if (found == kHighControls.end()) {
            if (!lossy) {
                return false;
            }
            out += '?';
            continue;
        }
        out += static_cast<char>(0x80 + (found - kHighControls.begin()));
    }
    return true;
}

} // namespace

bool Utf8ToWindows1252(std::string_view utf8, std::string& out)
{
    return ToWindows1252(utf8, out, false);
}

std::string HostTextToWindows1252(std::string_view utf8)
{
    std::string out;
    ToWindows1252(utf8, out, true);
    return out;
}

std::string LfLineEnds(std::string_view text)
{
    std::string lf;
    lf.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lf += text[i];
        }
    }
    return lf;
}

std::filesystem::path PathFromUtf8(std::string_view utf8)
{
#ifdef _WIN32
    std::u8string text(utf8.begin(), utf8.end());
    return std::filesystem::path(text);
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

std::string PathToUtf8(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

} // namespace archive
