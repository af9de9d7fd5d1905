#include "Setup/protect/Rc4.h"

CRc4::CRc4(const uint8_t* key, size_t keySize) : m_i(0), m_j(0) {
    static const uint8_t kZero = 0;
    if (key == nullptr || keySize == 0) {
        key = &kZero;
        keySize = 1;
    }
    if (keySize > 256) {
        keySize = 256;
    }
    for (int i = 0; i < 256; ++i) {
        m_state[i] = static_cast<uint8_t>(i);
    }
    uint8_t j = 0;
    for (size_t i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + m_state[i] + key[i % keySize]);
        const uint8_t swap = m_state[i];
        m_state[i] = m_state[j];
        m_state[j] = swap;
    }
}

void CRc4::Apply(uint8_t* data, size_t size) {
    for (size_t n = 0; n < size; ++n) {
        m_i = static_cast<uint8_t>(m_i + 1);
        m_j = static_cast<uint8_t>(m_j + m_state[m_i]);
        const uint8_t swap = m_state[m_i];
        m_state[m_i] = m_state[m_j];
        m_state[m_j] = swap;
        data[n] ^= m_state[static_cast<uint8_t>(m_state[m_i] + m_state[m_j])];
    }
}
