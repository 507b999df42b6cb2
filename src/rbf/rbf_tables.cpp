#include "rbf/rbf_tables.h"

namespace archive {

std::string UnscrambleName(const std::uint8_t* stored, std::size_t size)
{
    std::string name(size, '\0');
    std::uint8_t key = kRbfNameSeed;
    for (std::size_t i = 0; i < size; ++i) {
        key = static_cast<std::uint8_t>(key ^ stored[i]);
        name[i] = static_cast<char>(key);
    }
    return name;
}

std::string FormatCrc(std::int64_t crc, std::string_view decimalSeparator)
{
    // Unsigned arithmetic so that the most negative value has a magnitude too.
    const std::uint64_t magnitude =
        crc < 0 ? ~static_cast<std::uint64_t>(crc) + 1 : static_cast<std::uint64_t>(crc);
    std::string text = crc < 0 ? "-" : "";
    text += std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0') {
            digits.pop_back();
        }
        text.append(decimalSeparator).append(digits);
    }
    return text;
}

} // namespace archive
