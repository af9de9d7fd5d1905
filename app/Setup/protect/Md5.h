// MD5 (RFC 1321): the digest of the password hash that the product checks a password
// against. Fed in pieces with Update, finished with Final.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Setup/protect/DigestBlocks.h"

class CMd5 {
public:
    static constexpr size_t kDigestSize = 16;

    CMd5();

    void Update(const void* data, size_t size);
    // Pads the message, writes the 16-byte digest and starts a new message.
    void Final(uint8_t digest[kDigestSize]);

private:
    void Reset();
    void Transform(const uint8_t block[64]);

    uint32_t m_state[4];
    CDigestBlocks m_blocks;
};
