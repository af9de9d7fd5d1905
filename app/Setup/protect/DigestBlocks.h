// The message blocks of MD5 and SHA-256: both gather the message into 64-byte blocks, hand
// each full block to their compression function, and end the message with the same padding
// (a one bit, zeros up to 56 bytes into a block, then the length in bits), only the byte
// order of the length differing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class CDigestBlocks {
public:
    static constexpr size_t kBlockSize = 64;

    CDigestBlocks() { Reset(); }

    void Reset() {
        m_nBytes = 0;
        std::memset(m_buffer, 0, sizeof(m_buffer));
    }

    // Adds |size| bytes to the message; |transform(block)| gets every block completed.
    template <typename Transform>
    void Update(const void* data, size_t size, Transform&& transform) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        size_t used = static_cast<size_t>(m_nBytes % kBlockSize);
        m_nBytes += size;
        while (size > 0) {
            const size_t take = size < kBlockSize - used ? size : kBlockSize - used;
            std::memcpy(m_buffer + used, bytes, take);
            used += take;
            bytes += take;
            size -= take;
            if (used == kBlockSize) {
                transform(static_cast<const uint8_t*>(m_buffer));
                used = 0;
            }
        }
    }

    // Pads the message to a whole number of blocks, the length in bits last, big-endian
    // (SHA-256) or little-endian (MD5); the last block goes to |transform| too.
    template <typename Transform>
    void Pad(bool bigEndianLength, Transform&& transform) {
        const uint64_t bits = m_nBytes * 8;
        const uint8_t one = 0x80;
        Update(&one, 1, transform);
        const uint8_t zero = 0;
        while (m_nBytes % kBlockSize != kBlockSize - 8) {
            Update(&zero, 1, transform);
        }
        uint8_t length[8];
        for (int i = 0; i < 8; ++i) {
            length[i] = static_cast<uint8_t>(bits >> (bigEndianLength ? 56 - 8 * i : 8 * i));
        }
        Update(length, sizeof(length), transform);
    }

private:
    uint64_t m_nBytes;  // message length so far, in bytes
    uint8_t m_buffer[kBlockSize];
};
