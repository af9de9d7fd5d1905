// Shared by the libFuzzer harnesses: reading the fuzzer's bytes as the values a harness
// needs, and checks that end the run with a message when a property does not hold (a
// failed check is a finding, like a crash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Setup/res/EmbeddedRes.h"
#include "base/Text.h"
#include "sim/Machine.h"

#define FUZZ_CHECK(condition, ...)                                                             \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                                 \
            std::fprintf(stderr, "\n");                                                        \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// AddressSanitizer's settings for the harnesses: a smaller quarantine and no filling of
// new blocks. Every run builds a whole simulated machine; with the defaults most of the
// time went into touching fresh memory. (ASAN_OPTIONS still overrides them.)
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:max_malloc_fill_size=0";
}

namespace fuzz {

// The fuzzer's bytes, taken from the front. Reading past the end gives zeros and empty
// texts, so every input is a complete case.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return position_ >= size_; }
    size_t Remaining() const { return Empty() ? 0 : size_ - position_; }

    uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }

    uint16_t U16() {
        const uint16_t lo = Byte();
        return static_cast<uint16_t>(lo | (Byte() << 8));
    }

    uint32_t U32() {
        const uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }

    std::vector<uint8_t> Bytes(size_t count) {
        const size_t n = count < Remaining() ? count : Remaining();
        std::vector<uint8_t> out(data_ + position_, data_ + position_ + n);
        position_ += n;
        return out;
    }

    // A block whose length comes first (one byte, or two when |wide|).
    std::vector<uint8_t> Block(bool wide = false) { return Bytes(wide ? U16() : Byte()); }

    std::vector<uint8_t> Rest() { return Bytes(Remaining()); }

    // Text made of UTF-16LE units (every unit kept, nulls included).
    std::wstring TextBlock() {
        const std::vector<uint8_t> bytes = Block();
        return base::FromUtf16LE(bytes.data(), bytes.size());
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Printable form of a text for a failed check's message.
inline std::string Show(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        const auto u = static_cast<uint32_t>(c);
        if (u >= 0x20 && u < 0x7F && c != L'"' && c != L'\\') {
            out += static_cast<char>(u);
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof(buffer), "\\u%04x", u);
            out += buffer;
        }
    }
    return out + "\"";
}

// A default simulated machine that also holds the program's compiled resources (for
// harnesses that open the program's dialogs).
inline std::unique_ptr<sim::Machine> MachineWithResources() {
    auto machine = std::make_unique<sim::Machine>();
    size_t size = 0;
    const unsigned char* res = EmbeddedSetupRes(&size);
    std::string error;
    FUZZ_CHECK(machine->ui().SetResources(res, size, &error), "resources: %s", error.c_str());
    return machine;
}

}  // namespace fuzz
