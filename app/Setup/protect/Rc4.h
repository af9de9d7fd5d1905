// RC4 (the ARCFOUR stream cipher): enciphers the volume header in place. The keystream
// starts with its first byte; nothing is discarded. Applying it twice with the same key
// gives the plain bytes back.
#pragma once

#include <cstddef>
#include <cstdint>

class CRc4 {
public:
    // |keySize| from 1 to 256 bytes; an empty key is taken as a single zero byte.
    CRc4(const uint8_t* key, size_t keySize);

    // XORs the next |size| keystream bytes into |data|.
    void Apply(uint8_t* data, size_t size);

private:
    uint8_t m_state[256];
    uint8_t m_i;
    uint8_t m_j;
};
