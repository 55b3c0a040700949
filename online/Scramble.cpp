#include "Scramble.h"

#include <cstring>

std::string UnscrambleText(const char* stored, uint32_t key, uint32_t multiplier, uint32_t increment) {
    std::string text;
    if (!stored) return text;
    const size_t pairs = std::strlen(stored) / 2;
    text.reserve(pairs);
    uint32_t k = key;
    for (size_t i = 0; i < pairs; ++i) {
        const unsigned h = static_cast<unsigned char>(stored[2 * i]);
        const unsigned l = static_cast<unsigned char>(stored[2 * i + 1]);
        const unsigned c = (h * kPairMultiplier + l - kPairOffset) & 0xFFu;
        text.push_back(static_cast<char>(c ^ ((k >> 8) & 0xFFu)));
        // The running value follows the intermediate byte, not the output.
        k = (c + k) * multiplier + increment;
    }
    return text;
}
