#include "HandOver.h"

#include <cstring>

size_t HandOverTextLength(const char* block, size_t room) {
    if (!block) return room;
    const void* end = std::memchr(block, '\0', room);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - block) : room;
}

HandOverRole AppendToHandOver(char* block, size_t room, std::string_view path) {
    if (!block || path.empty() || path.find(kHandOverSeparator) != std::string_view::npos ||
        path.find('\0') != std::string_view::npos)
        return HandOverRole::Refused;
    const size_t length = HandOverTextLength(block, room);
    if (length >= room) return HandOverRole::Refused;
    if (length == 0) {
        if (path.size() + 1 > room) return HandOverRole::Refused;
        std::memcpy(block, path.data(), path.size());
        block[path.size()] = '\0';
        return HandOverRole::First;
    }
    if (length + 1 + path.size() + 1 > room) return HandOverRole::Refused;
    // The separator replaces the old terminator last, so the text only ever
    // shows whole paths.
    std::memcpy(block + length + 1, path.data(), path.size());
    block[length + 1 + path.size()] = '\0';
    block[length] = kHandOverSeparator;
    return HandOverRole::Later;
}

HandOverRole AppendRequestToHandOver(char* block, size_t room, HandOverKind kind, std::string_view path) {
    if (!block || path.empty()) return HandOverRole::Refused;
    const size_t length = HandOverTextLength(block, room);
    if (length > 0 && length < room && block[0] != static_cast<char>(kind)) return HandOverRole::OtherKind;
    std::string item(1, static_cast<char>(kind));
    item.append(path.data(), path.size());
    return AppendToHandOver(block, room, item);
}

HandOverRole JoinHandOver(char* block, size_t room, HandOverState* state, HandOverKind kind, std::string_view path) {
    if (block && state && state->batchTaken) {
        const size_t length = HandOverTextLength(block, room);
        if (length > 0 && length < room && kind == HandOverKind::Delete &&
            block[0] == static_cast<char>(HandOverKind::Search))
            return HandOverRole::OtherKind;
        // Its instance read the batch when it stopped collecting; nobody reads it again.
        block[0] = '\0';
        state->batchTaken = 0;
    }
    return AppendRequestToHandOver(block, room, kind, path);
}

std::vector<std::string> HandOverPathsOfKind(std::string_view text, HandOverKind kind) {
    std::vector<std::string> paths;
    for (const std::string& item : SplitHandOverText(text))
        if (item.size() > 1 && item[0] == static_cast<char>(kind)) paths.push_back(item.substr(1));
    return paths;
}

std::vector<std::string> SplitHandOverText(std::string_view text) {
    std::vector<std::string> items;
    std::string item;
    for (const char c : text) {
        if (c == kHandOverSeparator) {
            items.push_back(item);
            item.clear();
        } else {
            item.push_back(c);
        }
    }
    if (!item.empty()) items.push_back(item);
    return items;
}

void WaitForQuietHandOver(const std::function<size_t()>& textLength, const std::function<void()>& sleepOnePeriod) {
    size_t before = textLength();
    for (;;) {
        sleepOnePeriod();
        const size_t after = textLength();
        if (after == before) return;
        before = after;
    }
}
