#include "PathText.h"

#include <cstring>

size_t LastCharOffset(std::string_view text) {
    const CodePage& page = ActiveCodePage();
    size_t i = 0, last = 0;
    while (i < text.size()) {
        last = i;
        i += CharLengthAt(text, i, page);
    }
    return last;
}

bool EndsWithChar(std::string_view text, char c) {
    if (text.empty() || text.back() != c) return false;
    return LastCharOffset(text) == text.size() - 1;
}

std::vector<std::string_view> SplitPathComponents(std::string_view path) {
    const CodePage& page = ActiveCodePage();
    std::vector<std::string_view> parts;
    size_t start = 0, i = 0;
    while (i < path.size()) {
        if (path[i] == '\\') {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = ++i;
        } else {
            i += CharLengthAt(path, i, page);
        }
    }
    if (path.size() > start) parts.push_back(path.substr(start));
    return parts;
}

size_t AfterLastBackslash(std::string_view path) {
    const CodePage& page = ActiveCodePage();
    size_t after = 0, i = 0;
    while (i < path.size()) {
        if (path[i] == '\\') after = i + 1;
        i += CharLengthAt(path, i, page);
    }
    return after;
}

static char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const CodePage& page = ActiveCodePage();
    size_t i = 0;
    while (i < a.size()) {
        size_t n = CharLengthAt(a, i, page);
        if (n != CharLengthAt(b, i, page)) return false;
        if (n == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += n;
    }
    return true;
}

bool CopyIfFits(char* buffer, size_t size, std::string_view text) {
    if (text.size() + 1 > size) {
        if (size > 0) buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}
