// The announcement feed parser on any body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OnlineText.h"

namespace {

bool HasCapital(const std::string& s) {
    for (char c : s)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::vector<AnnouncementItem> items = ParseAnnouncementFeed(body);
    if (!items.empty()) {
        std::string lowered = body;
        LowerAsciiInPlace(lowered);
        if (lowered.find("<vskads>") == std::string::npos || lowered.find("</vskads>") == std::string::npos)
            std::abort();
    }
    for (const AnnouncementItem& item : items) {
        if (item.url.empty() || item.title.empty() || item.color.empty()) std::abort();
        // Items are split on the separator, so none holds one; the body was lowered.
        for (const std::string* field : {&item.url, &item.title, &item.color}) {
            if (field->find("<##>") != std::string::npos || HasCapital(*field)) std::abort();
        }
        const uint32_t color = AnnouncementTextColor(item.color);
        if (color > 0x00FFFFFFu) std::abort();
        IsWebAddress(item.url);
    }
    return 0;
}
