#pragma once

#include <string>

namespace archive {

// A number as every log and debug line writes it: plain decimal with a "-"
// when negative, no other sign, blank or padding.
inline std::string N(long long value)
{
    return std::to_string(value);
}

} // namespace archive
