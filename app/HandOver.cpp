#include "HandOver.h"

#include <algorithm>

size_t HandOverTextLength(const char16_t* block, size_t room) {
    if (!block) return room;
    return static_cast<size_t>(std::find(block, block + room, u'\0') - block);
}

HandOverRole AppendToHandOver(char16_t* block, size_t room, std::u16string_view path) {
    if (!block || path.empty() || path.find(kHandOverSeparator) != std::u16string_view::npos ||
        path.find(u'\0') != std::u16string_view::npos)
        return HandOverRole::Refused;
    const size_t length = HandOverTextLength(block, room);
    if (length >= room) return HandOverRole::Refused;
    if (length == 0) {
        if (path.size() + 1 > room) return HandOverRole::Refused;
        std::copy(path.begin(), path.end(), block);
        block[path.size()] = u'\0';
        return HandOverRole::First;
    }
    if (length + 1 + path.size() + 1 > room) return HandOverRole::Refused;
    // The separator replaces the old terminator last, so the text only ever
    // shows whole paths.
    std::copy(path.begin(), path.end(), block + length + 1);
    block[length + 1 + path.size()] = u'\0';
    block[length] = kHandOverSeparator;
    return HandOverRole::Later;
}

HandOverRole AppendRequestToHandOver(char16_t* block, size_t room, HandOverKind kind, std::u16string_view path) {
    if (!block || path.empty()) return HandOverRole::Refused;
    const size_t length = HandOverTextLength(block, room);
    if (length > 0 && length < room && block[0] != static_cast<char16_t>(kind)) return HandOverRole::OtherKind;
    std::u16string item(1, static_cast<char16_t>(kind));
    item.append(path.data(), path.size());
    return AppendToHandOver(block, room, item);
}

HandOverRole JoinHandOver(char16_t* block, size_t room, HandOverState* state, HandOverKind kind,
                          std::u16string_view path) {
    if (block && state && state->batchTaken) {
        const size_t length = HandOverTextLength(block, room);
        if (length > 0 && length < room && kind == HandOverKind::Delete &&
            block[0] == static_cast<char16_t>(HandOverKind::Search))
            return HandOverRole::OtherKind;
        // Its instance read the batch when it stopped collecting; nobody reads it again.
        block[0] = u'\0';
        state->batchTaken = 0;
    }
    return AppendRequestToHandOver(block, room, kind, path);
}

std::vector<std::u16string> HandOverPathsOfKind(std::u16string_view text, HandOverKind kind) {
    std::vector<std::u16string> paths;
    for (const std::u16string& item : SplitHandOverText(text))
        if (item.size() > 1 && item[0] == static_cast<char16_t>(kind)) paths.push_back(item.substr(1));
    return paths;
}

std::vector<std::u16string> SplitHandOverText(std::u16string_view text) {
    std::vector<std::u16string> items;
    std::u16string item;
    for (const char16_t c : text) {
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
