// The scrambled form of the texts the program keeps out of plain sight, and
// its decoder. The encoder runs at compile time only: a stored text is written
// in the source as its plain value and reaches the executable scrambled.
//
// Stored form: every plain byte becomes one intermediate byte c (plain XOR bits
// 8-15 of a running value k; then k = (c + k) * multiplier + increment), and c
// becomes a pair of bytes h, l with h * kPairMultiplier + l - kPairOffset == c
// (mod 256). Neither byte of a pair is ever 0, so a stored text is an ordinary
// NUL-terminated string twice as long as its plain value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr unsigned kPairMultiplier = 13;  // P
inline constexpr unsigned kPairOffset = 0x6B;    // Q

// The program's single key triple; every stored text is decoded with it.
inline constexpr uint32_t kStoredTextKey = 0x5A17C3E9u;
inline constexpr uint32_t kStoredTextMultiplier = 0x0019660Du;
inline constexpr uint32_t kStoredTextIncrement = 0x3C6EF35Fu;

// Decodes a stored text: floor(strlen(stored) / 2) bytes; an odd last byte is
// ignored. Any input gives a result; a null pointer gives an empty text.
std::string UnscrambleText(const char* stored, uint32_t key, uint32_t multiplier, uint32_t increment);

// A scrambled text held by value, so that a constexpr variable can carry it.
template <size_t PlainSize>  // the plain literal's size, terminator included
struct ScrambledText {
    char bytes[2 * (PlainSize - 1) + 1];
    const char* c_str() const { return bytes; }
    static constexpr size_t size() { return 2 * (PlainSize - 1); }
};

// Scrambles a plain literal. Meant for constexpr variables only: evaluated by
// the compiler, it leaves no trace of the plain text in the program. `salt`
// varies the choice of pairs, so equal texts need not look alike when stored.
template <size_t N>
constexpr ScrambledText<N> ScrambleText(const char (&plain)[N], uint32_t key, uint32_t multiplier, uint32_t increment,
                                        uint32_t salt = 0) {
    ScrambledText<N> out{};
    uint32_t k = key;
    uint32_t noise = 0x9E3779B9u ^ salt;
    for (size_t i = 0; i + 1 < N; ++i) {
        const unsigned c = (static_cast<unsigned char>(plain[i]) ^ ((k >> 8) & 0xFFu)) & 0xFFu;
        k = (c + k) * multiplier + increment;

        noise = noise * 1664525u + 1013904223u;
        unsigned h = ((noise >> 24) % 255u) + 1u;  // 1..255
        unsigned l = (c + kPairOffset + 256u * kPairMultiplier - h * kPairMultiplier) & 0xFFu;
        // kPairMultiplier is odd, so the next h moves l off 0.
        if (l == 0) {
            h = h % 255u + 1u;
            l = (c + kPairOffset + 256u * kPairMultiplier - h * kPairMultiplier) & 0xFFu;
        }
        out.bytes[2 * i] = static_cast<char>(h);
        out.bytes[2 * i + 1] = static_cast<char>(l);
    }
    out.bytes[2 * (N - 1)] = '\0';
    return out;
}
