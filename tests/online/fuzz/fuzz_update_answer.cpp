// The update answer on any body: the fields change in their order only, and
// the version comparison is a strict order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OnlineText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    UpdateInfo before;
    before.version = "KEPT VERSION";
    before.downloadUrl = "KEPT URL";
    before.updateType = "KEPT TYPE";
    before.description = "KEPT ABOUT";
    UpdateInfo info = before;
    const int set = ParseUpdateAnswer(body, info);
    if (set < 0 || set > 4) std::abort();
    const std::string UpdateInfo::*fields[] = {&UpdateInfo::version, &UpdateInfo::downloadUrl, &UpdateInfo::updateType,
                                               &UpdateInfo::description};
    for (int i = 0; i < 4; ++i) {
        const std::string& now = info.*fields[i];
        if (i < set) {
            // A field taken from the answer is never empty and never has a capital letter.
            if (now.empty()) std::abort();
            for (char c : now)
                if (c >= 'A' && c <= 'Z') std::abort();
        } else if (now != before.*fields[i]) {
            std::abort();
        }
    }
    const std::string& offered = info.version;
    const std::string own = body.substr(0, body.size() / 3);
    if (IsNewerVersion(own, offered) && IsNewerVersion(offered, own)) std::abort();
    if (IsNewerVersion(own, own)) std::abort();
    UpdateInfo again = before;
    if (ApplyUpdateAnswer(body, own, again) != IsNewerVersion(own, again.version)) std::abort();
    UpdateOfferThrottled(body, static_cast<int64_t>(size) * 1000003);
    return 0;
}
