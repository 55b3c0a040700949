// Paths and names as text that comes back as the same UTF-16 units: a row
// that leaves the program (a text row, a JSON row, an exported line, the
// clipboard) and returns through --from names the same entry or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One code point (a lone surrogate included) appended as WTF-8.
void AppendWtf8(std::string& out, uint32_t c);
// UTF-16 as WTF-8: UTF-8, with a lone surrogate as its own three bytes.
std::string Wtf8Of(std::u16string_view text);
// Back to UTF-16; false for bytes that are neither (no look-alike is made).
bool Utf16OfWtf8(std::string_view text, std::u16string& out);
// Whether a path or name cannot stand in a text row as it is: it holds a
// control character (a TAB or line break would split the row), a lone
// surrogate (no UTF-8 carries it), or begins with a double quote.
bool NeedsQuoting(std::u16string_view text);
// The quoted form: a JSON string literal in ASCII, every other unit escaped
// as \uXXXX. --from reads a first field in this form back exactly.
std::string QuotedField(std::u16string_view text);

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i);
// Whether text[i] starts a surrogate in WTF-8 (ED A0-BF 80-BF).
bool IsEncodedSurrogate(std::string_view text, size_t i);
