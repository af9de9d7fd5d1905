#include "Setup/flow/RegisteredUser.h"

#include <cstdint>

#include "base/Text.h"
#include "platform/WinConst.h"

namespace {

// SHGetValueW's buffer: 127 characters and the terminator.
constexpr uint32_t kRegisteredTextBytes = 256;

}  // namespace

std::wstring ReadRegisteredText(platform::Registry& registry, const std::wstring& value) {
    uint8_t buffer[kRegisteredTextBytes] = {};
    uint32_t size = sizeof(buffer);
    if (registry.GetValue(platform::Hive::LocalMachine, kWindowsNtCurrentVersionKey, value, nullptr,
                          buffer, &size) != win::kErrorSuccess) {
        return std::wstring();  // missing, or too long for the buffer
    }
    // The text must end inside the buffer. Windows writes a terminator after an
    // unterminated text when there is room for one; a text that fills the buffer to its
    // last byte has none, and is not cut to fit.
    bool terminated = false;
    for (uint32_t i = 0; i + 1 < sizeof(buffer); i += 2) {
        if (buffer[i] == 0 && buffer[i + 1] == 0) {
            terminated = true;
            break;
        }
    }
    if (!terminated) {
        return std::wstring();
    }
    return base::FromUtf16LEUntilNull(buffer, sizeof(buffer));
}
