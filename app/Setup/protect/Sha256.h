// SHA-256 (FIPS 180-4): the fingerprints of the product's programs in the fingerprint
// record. Fed in pieces with Update, finished with Final.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Setup/protect/DigestBlocks.h"

class CSha256 {
public:
    static constexpr size_t kDigestSize = 32;

    CSha256();

    void Update(const void* data, size_t size);
    // Pads the message, writes the 32-byte digest and starts a new message.
    void Final(uint8_t digest[kDigestSize]);

private:
    void Reset();
    void Transform(const uint8_t block[64]);

    uint32_t m_state[8];
    CDigestBlocks m_blocks;
};
