// The data of the registry values the engine writes: REG_SZ text as UTF-16LE with its
// terminating null character counted, REG_DWORD as four little-endian bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Text.h"

inline std::vector<uint8_t> StringValueData(const std::wstring& text) {
    std::vector<uint8_t> bytes = base::ToUtf16LE(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

inline std::array<uint8_t, 4> DwordValueData(uint32_t number) {
    return {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
            static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
}
