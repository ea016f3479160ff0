// A text as a UTF-16 file holds it: the byte-order mark, then each unit in that byte order.
#pragma once

#include <string>

#include "platform/text.h"

inline std::string Utf16Bytes(WStringView text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const WCHAR unit : text) {
        const auto high = static_cast<char>(unit >> 8U);
        const auto low = static_cast<char>(unit & 0xFFU);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}
