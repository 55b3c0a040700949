// Carves typed values out of a fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return v;
    }
    // Up to max bytes, ended early by a 0 byte.
    std::string Text(size_t max) {
        std::string s;
        while (s.size() < max && !Empty()) {
            char c = static_cast<char>(Byte());
            if (c == '\0') break;
            s += c;
        }
        return s;
    }
    std::string Rest() {
        std::string s(reinterpret_cast<const char*>(m_data + m_pos), m_size - m_pos);
        m_pos = m_size;
        return s;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

#define FUZZ_CHECK(cond)               \
    do {                               \
        if (!(cond)) __builtin_trap(); \
    } while (0)
