// The vendor's answers as text: the tagged-element parser, the update answer,
// the announcement feed, the body joining of a fetch and the small decisions
// around them. Pure functions, no network and no window: the fetch lives in
// HttpFetch.h, the worker in the main dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OnlineTypes.h"

// The element values between startTag and the next endTag after it, in order.
// A plain byte search, no case folding. An empty element ends the search (it
// and everything after it are dropped). The next start tag is looked for from
// the end tag just found, so with equal tags a separator closes one element
// and opens the next. With takeRest, an element without its end tag runs to
// the end of the source; without, it is dropped.
std::vector<std::string> ExtractTagged(const std::string& source, const std::string& startTag,
                                       const std::string& endTag, bool takeRest);

// "A".."Z" become "a".."z", byte by byte; every other byte stays, lead bytes
// of double-byte characters included (their trail bytes are folded like any
// byte: the vendor's answers are matched that way).
void LowerAsciiInPlace(std::string& text);

// A fetched body as one text: every LF is dropped (a CR before it stays), and
// each line is cut at its first NUL byte.
std::string JoinBodyLines(const std::string& raw);

// The cache-defeating query value: 1 to 998 from any generator value.
int RnumFromGeneratorValue(uint32_t value);
// The address fetched: "&rnum=" + n when it holds a "?" anywhere, else "?rnum=" + n.
std::string AddRnum(const std::string& address, int rnum);

// The four fields of an update answer, taken in order (version, download
// address, update type, about text) from a copy lowered by LowerAsciiInPlace;
// the first missing or empty element stops it. Fields from there on keep
// their previous values. Returns how many fields were set.
int ParseUpdateAnswer(std::string body, UpdateInfo& info);

// Whether offered is newer than own: plain byte-wise comparison (unsigned
// bytes; a prefix is less), so "1.10" is not newer than "1.9" and an empty
// offered version never is.
bool IsNewerVersion(const std::string& own, const std::string& offered);

// ParseUpdateAnswer when the body is not empty, then the comparison with the
// version kept in info (also when the body was empty or the parse stopped).
bool ApplyUpdateAnswer(const std::string& body, const std::string& ownVersion, UpdateInfo& info);

// The announcement items of a feed body (lowered first): only when it holds
// both "<vskads>" and "</vskads>"; items split on "<##>"; an item counts when
// its first soft value is "*" and its url, title and colour are all present.
std::vector<AnnouncementItem> ParseAnnouncementFeed(std::string body);

// The text colour (0x00BBGGRR) of an item's colour code: "1" red, "2" blue,
// "3" green, "4" brown, "5" white, "6" violet, anything else black.
uint32_t AnnouncementTextColor(const std::string& code);

// The update prompt and the answer of a manual check that found nothing newer.
std::string BuildUpdatePrompt(const UpdateInfo& info);
std::string BuildUpToDateMessage(const std::string& ownVersion);

// Whether a fetched update answer names a version at all: an empty body (no
// answer: no network, another status, a broken transfer) or one without a
// version element (an error page) tells nothing about newer versions.
bool UpdateAnswerNamesVersion(const std::string& body);
// The answer of a manual check that got no such answer.
std::string BuildUpdateCheckFailedMessage();

// Seconds the automatic prompt waits after the last one.
inline constexpr int64_t kUpdateOfferIntervalSeconds = 86400;
// Whether the automatic prompt is held back: the stored "VskChkDate" is not
// empty and now minus its leading decimal digits (0 when it starts otherwise)
// is under a day, a time in the future included.
bool UpdateOfferThrottled(const std::string& storedDate, int64_t now);
// "VskChkDate" as written: the time as a 32-bit signed decimal ("%d").
std::string FormatOfferDate(int64_t now);

// Whether an address that came from the network may be handed to the shell:
// only web addresses (http:// or https://, any letter case, something after
// it) without blanks, double quotes or control characters. Anything else (a
// file, a program, another protocol, an address that would split into more
// arguments for the browser) could start a program on the machine.
bool IsWebAddress(const std::string& address);

// Equality without regard to ASCII letter case that keeps double-byte
// characters (a lead byte of the ANSI code page and its trail byte) whole: their trail
// bytes are compared exactly.
bool EqualsIgnoreCaseDbcs(const std::string& a, const std::string& b);

// The two addresses and the own version one run of the online worker uses.
struct OnlineEndpoints {
    std::string feedUrl;
    std::string updateUrl;
    std::string ownVersion;
};

// The stored prefixes with the own version appended to each.
OnlineEndpoints MakeOnlineEndpoints(const std::string& updatePrefix, const std::string& feedPrefix,
                                    const std::string& ownVersion);
