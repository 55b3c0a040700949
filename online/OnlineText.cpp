#include "OnlineText.h"

#include "CodePage.h"

#include <cstdio>

std::vector<std::string> ExtractTagged(const std::string& source, const std::string& startTag,
                                       const std::string& endTag, bool takeRest) {
    std::vector<std::string> values;
    if (source.empty() && startTag.empty() && endTag.empty()) return values;
    size_t pos = 0;
    for (;;) {
        const size_t a = source.find(startTag, pos);
        if (a == std::string::npos) break;
        const size_t valueStart = a + startTag.size();
        const size_t b = source.find(endTag, valueStart);
        if (b == std::string::npos) {
            if (takeRest) values.push_back(source.substr(valueStart));
            break;
        }
        if (b == valueStart) break;  // an empty element ends the list
        values.push_back(source.substr(valueStart, b - valueStart));
        // b > a always holds here, so the search moves on every round.
        pos = b;
    }
    return values;
}

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

std::string JoinBodyLines(const std::string& raw) {
    std::string joined;
    joined.reserve(raw.size());
    size_t start = 0;
    while (start < raw.size()) {
        size_t lf = raw.find('\n', start);
        const size_t end = lf == std::string::npos ? raw.size() : lf;
        size_t nul = raw.find('\0', start);
        const size_t cut = nul != std::string::npos && nul < end ? nul : end;
        joined.append(raw, start, cut - start);
        start = lf == std::string::npos ? raw.size() : lf + 1;
    }
    return joined;
}

int RnumFromGeneratorValue(uint32_t value) { return static_cast<int>(value % 998u) + 1; }

std::string AddRnum(const std::string& address, int rnum) {
    const char* joint = address.find('?') != std::string::npos ? "&rnum=" : "?rnum=";
    return address + joint + std::to_string(rnum);
}

int ParseUpdateAnswer(std::string body, UpdateInfo& info) {
    LowerAsciiInPlace(body);
    struct Field {
        const char* startTag;
        const char* endTag;
        std::string UpdateInfo::*member;
    };
    static const Field kFields[] = {
        {"<vskversion>", "</vskversion>", &UpdateInfo::version},
        {"<vskupdateurl>", "</vskupdateurl>", &UpdateInfo::downloadUrl},
        {"<vskupdatetype>", "</vskupdatetype>", &UpdateInfo::updateType},
        {"<vskupdateabout>", "</vskupdateabout>", &UpdateInfo::description},
    };
    int set = 0;
    for (const Field& field : kFields) {
        std::vector<std::string> values = ExtractTagged(body, field.startTag, field.endTag, false);
        if (values.empty()) break;
        info.*field.member = std::move(values.front());
        ++set;
    }
    return set;
}

bool IsNewerVersion(const std::string& own, const std::string& offered) {
    const size_t common = own.size() < offered.size() ? own.size() : offered.size();
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = static_cast<unsigned char>(own[i]);
        const unsigned char y = static_cast<unsigned char>(offered[i]);
        if (x != y) return x < y;
    }
    return own.size() < offered.size();
}

bool ApplyUpdateAnswer(const std::string& body, const std::string& ownVersion, UpdateInfo& info) {
    if (!body.empty()) ParseUpdateAnswer(body, info);
    return IsNewerVersion(ownVersion, info.version);
}

std::vector<AnnouncementItem> ParseAnnouncementFeed(std::string body) {
    std::vector<AnnouncementItem> result;
    LowerAsciiInPlace(body);
    if (body.find("<vskads>") == std::string::npos || body.find("</vskads>") == std::string::npos) return result;
    for (const std::string& item : ExtractTagged(body, "<##>", "<##>", true)) {
        if (item.empty()) continue;
        const std::vector<std::string> softs = ExtractTagged(item, "<soft>", "</soft>", true);
        if (softs.empty() || softs.front() != "*") continue;
        const std::vector<std::string> urls = ExtractTagged(item, "<url>", "</url>", false);
        const std::vector<std::string> titles = ExtractTagged(item, "<title>", "</title>", false);
        const std::vector<std::string> colors = ExtractTagged(item, "<color>", "</color>", false);
        if (urls.empty() || titles.empty() || colors.empty()) continue;
        result.push_back({urls.front(), titles.front(), colors.front()});
    }
    return result;
}

uint32_t AnnouncementTextColor(const std::string& code) {
    struct Entry {
        const char* code;
        uint32_t color;
    };
    static const Entry kColors[] = {
        {"1", 0x000000FFu}, {"2", 0x00FF0000u}, {"3", 0x0000FF00u},
        {"4", 0x00146482u}, {"5", 0x00FFFFFFu}, {"6", 0x00FF008Bu},
    };
    for (const Entry& e : kColors) {
        if (code == e.code) return e.color;
    }
    return 0x00000000u;
}

std::string BuildUpdatePrompt(const UpdateInfo& info) {
    return "检查到新版本信息，是否立即查看更新？\r\n版本号：" + info.version + "\r\n" + info.description;
}

std::string BuildUpToDateMessage(const std::string& ownVersion) {
    return "当前版本 Ver" + ownVersion + " 已经是最新版本，没有检查到更新版本！";
}

bool UpdateAnswerNamesVersion(const std::string& body) {
    UpdateInfo probe;
    return !body.empty() && ParseUpdateAnswer(body, probe) > 0;
}

std::string BuildUpdateCheckFailedMessage() { return "检查更新失败：无法从服务器取得版本信息，请检查网络连接后再试。"; }

bool UpdateOfferThrottled(const std::string& storedDate, int64_t now) {
    if (storedDate.empty()) return false;
    // The leading digits; a value past any real time saturates rather than wraps.
    int64_t stored = 0;
    for (const char c : storedDate) {
        if (c < '0' || c > '9') break;
        if (stored < (int64_t{1} << 40)) stored = stored * 10 + (c - '0');
    }
    return now - stored < kUpdateOfferIntervalSeconds;
}

std::string FormatOfferDate(int64_t now) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(now))));
    return text;
}

bool IsWebAddress(const std::string& address) {
    auto startsWith = [&](const char* scheme) {
        std::string head = address.substr(0, std::char_traits<char>::length(scheme));
        LowerAsciiInPlace(head);
        return head == scheme;
    };
    const size_t schemeLength = startsWith("http://") ? 7 : startsWith("https://") ? 8 : 0;
    if (schemeLength == 0 || address.size() == schemeLength) return false;
    // The shell hands the address to the browser inside a command line: a
    // blank or a quote there would give it arguments of the sender's choosing.
    for (unsigned char c : address)
        if (c <= 0x20 || c == 0x7F || c == '"') return false;
    return true;
}

bool EqualsIgnoreCaseDbcs(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (IsAnsiLeadByte(x) && i + 1 < a.size()) {
            // A double-byte character: both bytes as they are.
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (lower(x) != lower(y)) return false;
    }
    return true;
}

OnlineEndpoints MakeOnlineEndpoints(const std::string& updatePrefix, const std::string& feedPrefix,
                                    const std::string& ownVersion) {
    OnlineEndpoints endpoints;
    endpoints.ownVersion = ownVersion;
    endpoints.feedUrl = feedPrefix + ownVersion;
    endpoints.updateUrl = updatePrefix + ownVersion;
    return endpoints;
}
