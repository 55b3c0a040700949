#include "ExactText.h"

#include <cstdint>
#include <cstdio>

namespace {

std::string Hex4(char16_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(c));
    return text;
}

}  // namespace

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length;
    uint32_t min;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    uint32_t code = c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const unsigned char t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        code = (code << 6) | (t & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// ED A0-BF 80-BF: a surrogate in WTF-8.
bool IsEncodedSurrogate(std::string_view text, size_t i) {
    return i + 2 < text.size() + 0 && static_cast<unsigned char>(text[i]) == 0xED &&
           (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0 &&
           (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80;
}

void AppendWtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Wtf8Of(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
        AppendWtf8(out, c);
    }
    return out;
}

bool Utf16OfWtf8(std::string_view text, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        uint32_t c;
        if (length == 0) {
            if (!IsEncodedSurrogate(text, i)) return false;
            c = 0xD000u | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            // A pair written as two halves is no WTF-8: one of them would be a look-alike.
            if (c < 0xDC00 && i + 5 < text.size() + 0 && IsEncodedSurrogate(text, i + 3) &&
                (static_cast<unsigned char>(text[i + 4]) & 0xF0) == 0xB0)
                return false;
            out += static_cast<char16_t>(c);
            i += 3;
            continue;
        }
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        c = length == 1 ? lead : (lead & (0x7Fu >> length));
        for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return true;
}

bool NeedsQuoting(std::u16string_view text) {
    if (!text.empty() && text[0] == u'"') return true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20) return true;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            return true;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) return true;
    }
    return false;
}

std::string QuotedField(std::u16string_view text) {
    std::string out = "\"";
    for (char16_t c : text) {
        switch (c) {
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        case u'\t': out += "\\t"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c >= 0x7F)
                out += Hex4(c);
            else
                out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
