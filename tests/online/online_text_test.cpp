// The vendor answers' parsers and the online worker's small decisions, as
// tables of inputs and the results they must give.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "OnlineText.h"

namespace {

using Strings = std::vector<std::string>;

std::string Show(const Strings& values) {
    std::string text = "{";
    for (const std::string& v : values) text += "[" + v + "]";
    return text + "}";
}

// ---- ExtractTagged -----------------------------------------------------------

struct TaggedCase {
    const char* name;
    std::string source, startTag, endTag;
    bool takeRest;
    Strings expected;
};

const TaggedCase kTaggedCases[] = {
    {"all empty", "", "", "", false, {}},
    {"all empty, take rest", "", "", "", true, {}},
    {"two elements", "<a>1</a> and <a>2</a>", "<a>", "</a>", false, {"1", "2"}},
    {"no start tag", "x</a>y", "<a>", "</a>", true, {}},
    {"empty element stops the list", "<a>1</a><a></a><a>3</a>", "<a>", "</a>", false, {"1"}},
    {"empty first element gives nothing", "<a></a><a>2</a>", "<a>", "</a>", true, {}},
    {"unclosed last element, take rest", "<a>1</a><a>rest of it", "<a>", "</a>", true, {"1", "rest of it"}},
    {"unclosed last element dropped", "<a>1</a><a>rest of it", "<a>", "</a>", false, {"1"}},
    {"unclosed element with nothing after it", "<a>", "<a>", "</a>", true, {""}},
    {"end tag before the start tag does not close it", "</a>x<a>y", "<a>", "</a>", false, {}},
    {"a start tag inside a value is part of it", "<a><a>x</a>", "<a>", "</a>", false, {"<a>x"}},
    {"no case folding", "<A>1</A><a>2</a>", "<a>", "</a>", false, {"2"}},
    {"no trimming", "<a> 1 \r</a>", "<a>", "</a>", false, {" 1 \r"}},
    {"separator closes one element and opens the next", "x<##>A<##>B<##>C", "<##>", "<##>", true, {"A", "B", "C"}},
    {"separator list without take rest", "x<##>A<##>B<##>C", "<##>", "<##>", false, {"A", "B"}},
    {"two separators in a row end the list", "<##><##>A<##>B", "<##>", "<##>", true, {}},
    // The next search starts at the end tag itself, not after it.
    {"search restarts at the end tag", "<t>1<t>2<t>", "<t>", "<t>", false, {"1", "2"}},
    {"overlapping tags", "<a>x<a>y<a>", "<a>", "<a>", true, {"x", "y", ""}},
    {"empty tags on a text", "abc", "", "", true, {}},
    {"empty start tag", "x</a>y</a>", "", "</a>", false, {"x"}},
    {"empty end tag", "<a>x", "<a>", "", true, {}},
    {"double-byte values pass unchanged", "<a>\xD6\xD0\xCE\xC4</a>", "<a>", "</a>", false, {"\xD6\xD0\xCE\xC4"}},
    {"NUL bytes are ordinary bytes", std::string("<a>x\0y</a>", 10), "<a>", "</a>", false, {std::string("x\0y", 3)}},
};

TEST(ExtractTagged, Table) {
    for (const TaggedCase& c : kTaggedCases)
        EXPECT_EQ(Show(ExtractTagged(c.source, c.startTag, c.endTag, c.takeRest)), Show(c.expected)) << c.name;
}

// ---- body joining and the rnum value -------------------------------------------

struct JoinCase {
    const char* name;
    std::string raw;
    std::string expected;
};

const JoinCase kJoinCases[] = {
    {"empty", "", ""},
    {"no line feed comes back unchanged", "one line, no end", "one line, no end"},
    {"CR LF keeps the CR, LF alone goes", "a\r\nb\nc", "a\rbc"},
    {"lone CR stays", "a\rb", "a\rb"},
    {"final LF", "line\r\n", "line\r"},
    {"only line feeds", "\n\n\n", ""},
    {"a line ends at its first NUL", std::string("ab\0cd\nef", 8), "abef"},
    {"NUL at the start of a line drops the line", std::string("\0x\ny", 4), "y"},
    {"NUL in the last line", std::string("a\nb\0c", 5), "ab"},
    {"double-byte text", "\xD6\xD0\r\n\xCE\xC4", "\xD6\xD0\r\xCE\xC4"},
};

TEST(JoinBodyLines, Table) {
    for (const JoinCase& c : kJoinCases) EXPECT_EQ(JoinBodyLines(c.raw), c.expected) << c.name;
}

TEST(Rnum, QueryJointFollowsTheQuestionMark) {
    struct Case {
        const char* address;
        int rnum;
        const char* expected;
    } cases[] = {
        {"http://h/update", 5, "http://h/update?rnum=5"},
        {"http://h/update?ver=1.3", 998, "http://h/update?ver=1.3&rnum=998"},
        {"http://h/p?a=1", 1, "http://h/p?a=1&rnum=1"},
        {"http://h/p#frag?x", 42, "http://h/p#frag?x&rnum=42"},  // a "?" anywhere counts
        {"http://h/p?", 7, "http://h/p?&rnum=7"},
        {"http://h/p&x", 7, "http://h/p&x?rnum=7"},
    };
    for (const Case& c : cases) EXPECT_EQ(AddRnum(c.address, c.rnum), c.expected) << c.address;
}

TEST(Rnum, EveryGeneratorValueGivesOneTo998) {
    EXPECT_EQ(RnumFromGeneratorValue(0), 1);
    EXPECT_EQ(RnumFromGeneratorValue(997), 998);
    EXPECT_EQ(RnumFromGeneratorValue(998), 1);
    EXPECT_EQ(RnumFromGeneratorValue(0xFFFFFFFFu), static_cast<int>(0xFFFFFFFFu % 998u) + 1);
    std::set<int> seen;
    for (uint32_t v = 0; v < 5000; ++v) {
        const int n = RnumFromGeneratorValue(v * 2654435761u);
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 998);
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), 998u);  // every value can come up
}

// ---- update answer ---------------------------------------------------------------

UpdateInfo Info(const char* version, const char* url, const char* type, const char* about) {
    UpdateInfo info;
    info.version = version;
    info.downloadUrl = url;
    info.updateType = type;
    info.description = about;
    return info;
}

std::string Show(const UpdateInfo& i) {
    return "{" + i.version + "|" + i.downloadUrl + "|" + i.updateType + "|" + i.description + "}";
}

struct AnswerCase {
    const char* name;
    std::string body;
    int fieldsSet;
    UpdateInfo expected;  // starting from kEarlier
};

const UpdateInfo kEarlier = Info("0.9", "http://old/", "old type", "old about");

const AnswerCase kAnswerCases[] = {
    {"all four",
     "<vskversion>1.4</vskversion><vskupdateurl>http://d/o.exe</vskupdateurl>"
     "<vskupdatetype>2</vskupdatetype><vskupdateabout>news</vskupdateabout>",
     4, Info("1.4", "http://d/o.exe", "2", "news")},
    {"capital tags, values lowered",
     "<VSKVERSION>1.4B</VSKVERSION><VskUpdateUrl>HTTP://D/O.EXE</VskUpdateUrl>"
     "<VSKUPDATETYPE>T</VSKUPDATETYPE><VSKUPDATEABOUT>Fix\rMore</VSKUPDATEABOUT>",
     4, Info("1.4b", "http://d/o.exe", "t", "fix\rmore")},
    {"any order, text around",
     "head<vskupdateabout>a</vskupdateabout>x<vskupdatetype>t</vskupdatetype>"
     "<vskupdateurl>u</vskupdateurl>y<vskversion>2.0</vskversion>tail",
     4, Info("2.0", "u", "t", "a")},
    {"missing url: version taken, the rest kept",
     "<vskversion>1.4</vskversion><vskupdatetype>t</vskupdatetype><vskupdateabout>a</vskupdateabout>", 1,
     Info("1.4", "http://old/", "old type", "old about")},
    {"empty version counts as missing: nothing changes",
     "<vskversion></vskversion><vskupdateurl>u</vskupdateurl><vskupdatetype>t</vskupdatetype>"
     "<vskupdateabout>a</vskupdateabout>",
     0, kEarlier},
    {"empty type stops before the about text",
     "<vskversion>1.5</vskversion><vskupdateurl>u</vskupdateurl><vskupdatetype></vskupdatetype>"
     "<vskupdateabout>a</vskupdateabout>",
     2, Info("1.5", "u", "old type", "old about")},
    {"only the first element counts",
     "<vskversion>1.4</vskversion><vskversion>9.9</vskversion><vskupdateurl>u1</vskupdateurl>"
     "<vskupdateurl>u2</vskupdateurl><vskupdatetype>t</vskupdatetype><vskupdateabout>a</vskupdateabout>",
     4, Info("1.4", "u1", "t", "a")},
    {"no trimming", "<vskversion> 1.4 </vskversion>", 1, Info(" 1.4 ", "http://old/", "old type", "old about")},
    {"an error page", "<html><body>404 Not Found</body></html>", 0, kEarlier},
    {"unclosed version", "<vskversion>1.4", 0, kEarlier},
    // Trail bytes in "A".."Z" are lowered like any byte; lead bytes stay.
    {"double-byte about text",
     "<vskversion>1.4</vskversion><vskupdateurl>u</vskupdateurl><vskupdatetype>t</vskupdatetype>"
     "<vskupdateabout>\xD0\xC2\xB0\x41</vskupdateabout>",
     4, Info("1.4", "u", "t", "\xD0\xC2\xB0\x61")},
};

TEST(UpdateAnswer, FieldByFieldTable) {
    for (const AnswerCase& c : kAnswerCases) {
        UpdateInfo info = kEarlier;
        EXPECT_EQ(ParseUpdateAnswer(c.body, info), c.fieldsSet) << c.name;
        EXPECT_EQ(Show(info), Show(c.expected)) << c.name;
    }
}

TEST(UpdateAnswer, VersionComparisonIsByteWise) {
    struct Case {
        std::string own, offered;
        bool newer;
    } cases[] = {
        {"1.3", "1.4", true},      {"1.3", "1.3.1", true},
        {"1.3", "1.3 ", true},     {"1.3", "1.10", false},
        {"1.9", "1.10", false},    {"1.3", "", false},
        {"1.3", "1.3", false},     {"1.3", "1.2", false},
        {"", "1.0", true},         {"", "", false},
        {"1.3.0.7", "1.3", false}, {"1.3", "1.\xB0", true},  // bytes compare unsigned: 0xB0 is above "3"
        {"1.\xB0", "1.3", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsNewerVersion(c.own, c.offered), c.newer) << "'" << c.own << "' against '" << c.offered << "'";
}

TEST(UpdateAnswer, ComparisonUsesTheKeptVersionWhenTheAnswerSaysNothing) {
    struct Case {
        const char* name;
        std::string body;
        const char* keptVersion;
        bool newer;
        const char* versionAfter;
    } cases[] = {
        {"no answer, newer version kept", "", "1.4", true, "1.4"},
        {"no answer, nothing kept", "", "", false, ""},
        {"broken answer, newer version kept", "<html>500</html>", "1.4", true, "1.4"},
        {"answer names an older version", "<vskversion>1.2</vskversion>", "1.4", false, "1.2"},
        {"answer with the same version", "<vskversion>1.3</vskversion>", "", false, "1.3"},
    };
    for (const Case& c : cases) {
        UpdateInfo info;
        info.version = c.keptVersion;
        EXPECT_EQ(ApplyUpdateAnswer(c.body, "1.3", info), c.newer) << c.name;
        EXPECT_EQ(info.version, c.versionAfter) << c.name;
    }
}

TEST(UpdateAnswer, PromptAndUpToDateTexts) {
    EXPECT_EQ(BuildUpdatePrompt(Info("1.4", "u", "t", "fix one\rfix two")),
              "检查到新版本信息，是否立即查看更新？\r\n版本号：1.4\r\nfix one\rfix two");
    EXPECT_EQ(BuildUpToDateMessage("1.3"), "当前版本 Ver1.3 已经是最新版本，没有检查到更新版本！");
    EXPECT_EQ(BuildUpToDateMessage(""), "当前版本 Ver 已经是最新版本，没有检查到更新版本！");
}

// Only an answer that names a version can say the program is the newest; no
// answer or an error page makes a manual check say that it failed.
TEST(UpdateAnswer, OnlyAVersionElementTellsTheCheckWorked) {
    EXPECT_FALSE(UpdateAnswerNamesVersion(""));
    EXPECT_FALSE(UpdateAnswerNamesVersion("<html><body>500 Internal Server Error</body></html>"));
    EXPECT_FALSE(UpdateAnswerNamesVersion("<vskversion></vskversion><vskupdateurl>u</vskupdateurl>"));
    EXPECT_TRUE(UpdateAnswerNamesVersion("<VSKVERSION>1.3</VSKVERSION>"));
    EXPECT_EQ(BuildUpdateCheckFailedMessage(), "检查更新失败：无法从服务器取得版本信息，请检查网络连接后再试。");
}

TEST(UpdateOffer, ThrottleTable) {
    const int64_t now = 1700000000;
    struct Case {
        const char* name;
        std::string stored;
        int64_t now;
        bool throttled;
    } cases[] = {
        {"never offered", "", now, false},
        {"offered this second", "1700000000", now, true},
        {"one second short of a day", "1700000000", now + 86399, true},
        {"a day later", "1700000000", now + 86400, false},
        {"a stored time in the future", "1800000000", now, true},
        {"not starting with a digit counts as 1970", "abc", now, false},
        {"a sign is not a digit", "-5", now, false},
        {"a leading blank is not a digit", " 1700000000", now, false},
        {"leading digits only", "1700000000xyz", now + 10, true},
        {"more digits than any time: far future", "99999999999999999999999", now, true},
        {"zero", "0", now, false},
    };
    for (const Case& c : cases) EXPECT_EQ(UpdateOfferThrottled(c.stored, c.now), c.throttled) << c.name;
}

TEST(UpdateOffer, DateIsWrittenAs32BitDecimal) {
    EXPECT_EQ(FormatOfferDate(1700000000), "1700000000");
    EXPECT_EQ(FormatOfferDate(0), "0");
    EXPECT_EQ(FormatOfferDate(2147483647), "2147483647");
    EXPECT_EQ(FormatOfferDate(2147483648LL), "-2147483648");
    // What is written reads back as a throttle for the same moment.
    EXPECT_TRUE(UpdateOfferThrottled(FormatOfferDate(1700000000), 1700000000));
}

// ---- announcement feed -----------------------------------------------------------

std::string Item(const std::string& soft, const std::string& url, const std::string& title, const std::string& color) {
    return "<##><soft>" + soft + "</soft><url>" + url + "</url><title>" + title + "</title><color>" + color +
           "</color>";
}

std::string Show(const std::vector<AnnouncementItem>& items) {
    std::string text;
    for (const AnnouncementItem& i : items) text += "{" + i.url + "|" + i.title + "|" + i.color + "}";
    return text;
}

struct FeedCase {
    const char* name;
    std::string body;
    std::vector<AnnouncementItem> expected;
};

const FeedCase kFeedCases[] = {
    {"one item; the last item holds </vskads> and still parses",
     "<vskads>" + Item("*", "U", "T", "1") + "</vskads>",
     {{"u", "t", "1"}}},
    {"capital letters",
     "<VSKADS><##><SOFT>*</SOFT><URL>U</URL><TITLE>T</TITLE><COLOR>1</COLOR></VSKADS>",
     {{"u", "t", "1"}}},
    {"three items in order",
     "<vskads>" + Item("*", "http://a", "first", "1") + Item("*", "http://b", "second", "2") +
         Item("*", "http://c", "third", "3") + "</vskads>",
     {{"http://a", "first", "1"}, {"http://b", "second", "2"}, {"http://c", "third", "3"}}},
    {"a product name as soft value", "<vskads>" + Item("orvelle", "u", "t", "1") + "</vskads>", {}},
    {"an empty soft value", "<vskads>" + Item("", "u", "t", "1") + "</vskads>", {}},
    {"no soft element", "<vskads><##><url>u</url><title>t</title><color>1</color></vskads>", {}},
    {"two separators in a row before the first item",
     "<vskads><##>" + Item("*", "u", "t", "1") + Item("*", "v", "w", "2") + "</vskads>",
     {}},
    {"an item without colour is skipped, the next one read",
     "<vskads><##><soft>*</soft><url>a</url><title>no colour</title>" + Item("*", "b", "coloured", "5") + "</vskads>",
     {{"b", "coloured", "5"}}},
    {"no </vskads>: no items", "<vskads>" + Item("*", "u", "t", "1") + Item("*", "v", "w", "2"), {}},
    {"no <vskads>: no items", Item("*", "u", "t", "1") + "</vskads>", {}},
    {"both tags anywhere", "</vskads>" + Item("*", "u", "t", "1") + "<vskads>", {{"u", "t", "1"}}},
    {"text before the first separator is ignored",
     "<vskads><soft>*</soft><url>x</url><title>y</title><color>1</color>" + Item("*", "u", "t", "2") + "</vskads>",
     {{"u", "t", "2"}}},
    {"an empty url skips the item",
     "<vskads>" + Item("*", "", "t", "1") + Item("*", "u", "t2", "1") + "</vskads>",
     {{"u", "t2", "1"}}},
    {"an unclosed soft takes the rest of its item",
     "<vskads><##><url>u</url><title>t</title><color>4</color><soft>*" + Item("*", "v", "w", "6") + "</vskads>",
     {{"u", "t", "4"}, {"v", "w", "6"}}},
    {"an unclosed soft in the last item holds </vskads>",
     "<vskads><##><url>u</url><title>t</title><color>4</color><soft>*</vskads>",
     {}},
    {"only the first element of each counts",
     "<vskads><##><soft>*</soft><soft>x</soft><url>u1</url><url>u2</url><title>t1</title><title>t2</title>"
     "<color>1</color><color>2</color></vskads>",
     {{"u1", "t1", "1"}}},
    {"double-byte titles",
     "<vskads>" + Item("*", "http://x", "\xD0\xC2\xB0\xE6", "2") + "</vskads>",
     {{"http://x", "\xD0\xC2\xB0\xE6", "2"}}},
    {"empty body", "", {}},
};

TEST(AnnouncementFeed, Table) {
    for (const FeedCase& c : kFeedCases) EXPECT_EQ(Show(ParseAnnouncementFeed(c.body)), Show(c.expected)) << c.name;
}

TEST(AnnouncementFeed, ColourTable) {
    struct Case {
        const char* code;
        uint32_t color;
    } cases[] = {
        {"1", 0x000000FF},  {"2", 0x00FF0000},  {"3", 0x0000FF00}, {"4", 0x00146482},  {"5", 0x00FFFFFF},
        {"6", 0x00FF008B},  {"7", 0x00000000},  {"", 0x00000000},  {" 1", 0x00000000}, {"10", 0x00000000},
        {"01", 0x00000000}, {"1 ", 0x00000000}, {"8", 0x00000000}, {"0", 0x00000000},
    };
    for (const Case& c : cases) EXPECT_EQ(AnnouncementTextColor(c.code), c.color) << "'" << c.code << "'";
}

// ---- what reaches the shell, the notice comparison, the addresses ----------------

TEST(NetworkAddresses, OnlyWebAddressesReachTheShell) {
    struct Case {
        const char* address;
        bool web;
    } cases[] = {
        {"http://www.orvelle.example/d.exe", true},
        {"https://www.orvelle.example/", true},
        {"HTTP://X", true},
        {"Https://x", true},
        {"http://", false},
        {"https://", false},
        {"http://x/a b", false},
        {"http://x/\" --new-window \"c:\\x.exe", false},
        {"http://x/a\tb", false},
        {"http://x/a\r\nb", false},
        {"http://x/a\x7F", false},
        {"http://x/\x01", false},
        {"http://x/a%20b", true},
        {"http://x/?q=\xD0\xC2&r=1", true},
        {"", false},
        {"ftp://x/y", false},
        {"file:///c:/windows/system32/calc.exe", false},
        {"c:\\windows\\system32\\calc.exe", false},
        {"calc.exe", false},
        {"\\\\server\\share\\setup.exe", false},
        {" http://x", false},
        {"http:/x", false},
        {"http:", false},
        {"httpx://x", false},
        {"javascript:alert(1)", false},
        {"mailto:a@b.example", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsWebAddress(c.address), c.web) << "'" << c.address << "'";
}

TEST(NoticeText, ComparisonIgnoresCaseButKeepsDoubleByteCharacters) {
    struct Case {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"https://WWW.Orvelle.example/", "https://www.orvelle.example/", true},
        {"", "", true},
        {"abc", "abd", false},
        {"abc", "ab", false},
        {"\xB0\x41", "\xB0\x61", false},         // a trail byte is part of its character
        {"\xB0\x41\x41", "\xB0\x41\x61", true},  // an ASCII letter after it is not
        {"\xD6\xD0x", "\xD6\xD0X", true},
        {"\xD6\xD0", "\xD6\xD1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EqualsIgnoreCaseDbcs(c.a, c.b), c.equal) << "'" << c.a << "' and '" << c.b << "'";
}

TEST(Endpoints, VersionFollowsEachPrefix) {
    OnlineEndpoints e = MakeOnlineEndpoints("http://u/check?ver=", "http://f/news?ver=", "1.3");
    EXPECT_EQ(e.updateUrl, "http://u/check?ver=1.3");
    EXPECT_EQ(e.feedUrl, "http://f/news?ver=1.3");
    EXPECT_EQ(e.ownVersion, "1.3");
    OnlineEndpoints bare = MakeOnlineEndpoints("http://u/check?ver=", "http://f/news?ver=", "");
    EXPECT_EQ(bare.updateUrl, "http://u/check?ver=");
    EXPECT_EQ(bare.feedUrl, "http://f/news?ver=");
}

}  // namespace
