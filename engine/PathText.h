// Byte-level helpers for narrow paths in the process's ANSI code page
// (CodePage.h). In a double-byte page a character is one byte or a lead byte
// followed by a trail byte that may be 0x5C ("\"), so paths are cut and tested
// by character, never by byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CodePage.h"

// Byte length of the character that starts at text[i]: 2 for a lead byte
// followed by a trail byte, else 1 (a stray lead byte stands alone, so the
// "." or "\" after it still counts as one).
inline size_t CharLengthAt(std::string_view text, size_t i, const CodePage& page) {
    return i + 1 < text.size() && page.IsLead(static_cast<unsigned char>(text[i])) &&
                   page.IsTrail(static_cast<unsigned char>(text[i + 1]))
               ? 2
               : 1;
}
inline size_t CharLengthAt(std::string_view text, size_t i) { return CharLengthAt(text, i, ActiveCodePage()); }

// Offset of the last character of text (text must not be empty).
size_t LastCharOffset(std::string_view text);

// Whether the last character of text is the single byte c.
bool EndsWithChar(std::string_view text, char c);

// The non-empty components of a path, split at every "\" character.
std::vector<std::string_view> SplitPathComponents(std::string_view path);

// Offset just after the last "\" character, 0 when there is none.
size_t AfterLastBackslash(std::string_view path);

// Equal without regard to the case of ASCII letters; double-byte characters
// compare exactly (their trail bytes can look like ASCII letters).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Whether a name ends in a dot or a blank (checked by character).
inline bool EndsInDotOrBlank(std::string_view name) { return EndsWithChar(name, '.') || EndsWithChar(name, ' '); }

// Copies text and a terminator into a buffer of `size` bytes; false (and the
// buffer left empty) when it does not fit.
bool CopyIfFits(char* buffer, size_t size, std::string_view text);

// "\\?\" or "\\.\" at the start of a path.
inline bool HasWin32Prefix(std::string_view path) {
    return path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && (path[2] == '?' || path[2] == '.') &&
           path[3] == '\\';
}

// "\\?\" at the start: a verbatim path, whose names the system takes as they
// stand ("." and ".." included, and trailing dots and blanks kept).
inline bool IsVerbatimPath(std::string_view path) { return HasWin32Prefix(path) && path[2] == '?'; }

// "." or "..", which name no entry of their own.
inline bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }
inline bool IsDotOrDotDot(std::u16string_view name) { return name == u"." || name == u".."; }
