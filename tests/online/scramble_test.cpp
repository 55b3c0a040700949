// The decoder against values worked out by hand from its definition, and the
// compile-time encoder against the decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Scramble.h"
#include "StoredTexts.h"

namespace {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

struct KnownAnswer {
    const char* storedHex;
    uint32_t key, multiplier, increment;
    const char* decodedHex;
};

// Worked out from the definition: pairs folded with P = 13, Q = 0x6B, then
// XOR with bits 8-15 of the running value, which advances with the folded byte.
const KnownAnswer kKnownAnswers[] = {
    {"4142", 0, 1, 0, "24"},
    {"4142", 0x1234, 1, 0, "36"},                                 // bits 8-15 of the key: 0x12
    {"0101ffff807f10", 0xDEADBEEF, 0x41C64E6D, 12345, "1dba4c"},  // odd last byte ignored
    {"4f7276656c6c6521", 0x5A17C3E9, 0x0019660D, 0x3C6EF35F, "c940c8ce"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
     "5b3f2307eb30b3687b5f43270bef2cb7"},
};

TEST(UnscrambleText, MatchesKnownAnswers) {
    for (const KnownAnswer& t : kKnownAnswers) {
        const std::string stored = FromHex(t.storedHex);
        EXPECT_EQ(Hex(UnscrambleText(stored.c_str(), t.key, t.multiplier, t.increment)), t.decodedHex)
            << "stored " << t.storedHex;
    }
}

TEST(UnscrambleText, ResultIsHalfTheStoredLengthRoundedDown) {
    const char* const kStored[] = {"", "A", "AB", "ABC", "ABCD", "ABCDEFGHI"};
    for (const char* stored : kStored) {
        EXPECT_EQ(UnscrambleText(stored, 7, 3, 1).size(), std::strlen(stored) / 2) << stored;
    }
    EXPECT_EQ(UnscrambleText(nullptr, 7, 3, 1), "");
}

TEST(UnscrambleText, StartsAfreshAtTheKeyOnEveryCall) {
    const char* stored = "\x91\x22\x33\x44\x55\x66\x77\x88";
    const std::string first = UnscrambleText(stored, 0xABCDEF01, 0x01000193, 0x811C9DC5);
    EXPECT_EQ(UnscrambleText(stored, 0xABCDEF01, 0x01000193, 0x811C9DC5), first);
}

template <size_t N>
void ExpectRoundTrip(const char (&plain)[N], uint32_t salt) {
    constexpr uint32_t kKey = 0x12345678, kMul = 0x0019660D, kInc = 0x3C6EF35F;
    const auto stored = ScrambleText(plain, kKey, kMul, kInc, salt);
    EXPECT_EQ(std::strlen(stored.c_str()), 2 * (N - 1)) << plain;
    EXPECT_EQ(UnscrambleText(stored.c_str(), kKey, kMul, kInc), std::string(plain)) << plain;
}

TEST(ScrambleText, DecodesBackToThePlainText) {
    ExpectRoundTrip("", 1);
    ExpectRoundTrip("a", 2);
    ExpectRoundTrip("SampleId", 3);
    ExpectRoundTrip("Sample·Title", 4);
    ExpectRoundTrip("奬状\\清空", 5);  // GBK trail bytes 0x5C
    ExpectRoundTrip("https://host.invalid/check?a=1&ver=", 6);
    ExpectRoundTrip("\x01\x7F\x80\xFE\xFF", 7);

    char allBytes[256];
    for (int c = 1; c < 256; ++c) allBytes[c - 1] = static_cast<char>(c);
    allBytes[255] = '\0';
    ExpectRoundTrip(allBytes, 8);
}

TEST(ScrambleText, SaltChangesThePairsNotTheText) {
    constexpr uint32_t kKey = 1, kMul = 0x0019660D, kInc = 0x3C6EF35F;
    static constexpr auto kA = ScrambleText("sample.ini", kKey, kMul, kInc, 1);
    static constexpr auto kB = ScrambleText("sample.ini", kKey, kMul, kInc, 2);
    EXPECT_NE(std::string(kA.c_str()), std::string(kB.c_str()));
    EXPECT_EQ(UnscrambleText(kA.c_str(), kKey, kMul, kInc), UnscrambleText(kB.c_str(), kKey, kMul, kInc));
}

TEST(ScrambleText, StoredFormIsTwiceAsLongWithoutZeroBytes) {
    // Salts vary the pairs; the all-zero-noise corner must not produce a 0 either.
    for (uint32_t salt = 0; salt < 64; ++salt) {
        char allBytes[256];
        for (int c = 1; c < 256; ++c) allBytes[c - 1] = static_cast<char>(c);
        allBytes[255] = '\0';
        const auto scrambled = ScrambleText(allBytes, salt * 0x01010101u, 0x0019660D, 0x3C6EF35F, salt);
        EXPECT_EQ(std::strlen(scrambled.c_str()), 2u * 255u) << "salt " << salt;
        EXPECT_EQ(UnscrambleText(scrambled.c_str(), salt * 0x01010101u, 0x0019660D, 0x3C6EF35F), std::string(allBytes))
            << "salt " << salt;
    }
}

TEST(ScrambleText, IsEvaluatedByTheCompiler) {
    static constexpr auto kStored = ScrambleText("ab", kStoredTextKey, kStoredTextMultiplier, kStoredTextIncrement);
    static_assert(kStored.bytes[0] != 0 && kStored.bytes[1] != 0 && kStored.bytes[2] != 0 && kStored.bytes[3] != 0 &&
                  kStored.bytes[4] == 0);
    static_assert(decltype(kStored)::size() == 4);
    EXPECT_EQ(UnscrambleText(kStored.c_str(), kStoredTextKey, kStoredTextMultiplier, kStoredTextIncrement), "ab");
}

TEST(StoredTexts, AreStoredTwiceTheirLengthAndDecodeTheSameEveryTime) {
    for (int id = 1; id <= 8; ++id) {
        const StoredText which = static_cast<StoredText>(id);
        const std::string decoded = DecodeStoredText(which);
        EXPECT_FALSE(decoded.empty()) << "text " << id;
        EXPECT_EQ(std::strlen(StoredTextBytes(which)), 2 * decoded.size()) << "text " << id;
        EXPECT_EQ(DecodeStoredText(which), decoded) << "text " << id;
        EXPECT_EQ(decoded.find('\0'), std::string::npos) << "text " << id;
    }
}

}  // namespace
