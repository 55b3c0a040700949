// FetchUrlText, the update check and the feed over WinINet, against a server
// on 127.0.0.1 that this program runs itself.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "App.h"
#include "HttpFetch.h"
#include "LoopbackHttpServer.h"

namespace {

using Answer = LoopbackHttpServer::Answer;
using Ending = LoopbackHttpServer::Ending;

Answer With(Ending ending, const std::string& body, int status = 200) {
    Answer a = LoopbackHttpServer::Ok(body, status);
    a.ending = ending;
    return a;
}

int RnumOf(const std::string& target) {
    size_t at = target.find("rnum=");
    return at == std::string::npos ? -1 : std::atoi(target.c_str() + at + 5);
}

class HttpFetch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << "the loopback server did not start"; }
    LoopbackHttpServer server;
};

TEST_F(HttpFetch, StatusRuleAndBodyJoiningTable) {
    std::string big;
    for (int i = 0; i < 30000; ++i) big += "line " + std::to_string(i) + "\r\n";
    std::string bigJoined;
    for (int i = 0; i < 30000; ++i) bigJoined += "line " + std::to_string(i) + "\r";

    const std::string limit(kMaxAnswerBytes, 'x');

    struct Case {
        const char* name;
        std::string path;
        Answer answer;
        std::string expected;
    } cases[] = {
        {"200 gives the body", "/ok", LoopbackHttpServer::Ok("hello"), "hello"},
        {"500 gives its body like 200", "/fail", LoopbackHttpServer::Ok("server says\r\nsorry", 500),
         "server says\rsorry"},
        {"404 gives nothing", "/gone", LoopbackHttpServer::Ok("not found page", 404), ""},
        {"403 gives nothing", "/forbidden", LoopbackHttpServer::Ok("forbidden page", 403), ""},
        {"201 gives nothing", "/created", LoopbackHttpServer::Ok("created", 201), ""},
        {"503 gives nothing", "/busy", LoopbackHttpServer::Ok("busy", 503), ""},
        {"a redirect is followed", "/moved", LoopbackHttpServer::Redirect("/ok"), "hello"},
        {"a redirect to a 404 gives nothing", "/moved-away", LoopbackHttpServer::Redirect("/nowhere"), ""},
        {"CR LF lines keep the CR", "/crlf", LoopbackHttpServer::Ok("a\r\nb\nc"), "a\rbc"},
        {"no line feed: unchanged", "/oneline", LoopbackHttpServer::Ok("<vskversion>1.4</vskversion>"),
         "<vskversion>1.4</vskversion>"},
        {"a line ends at a NUL", "/nul", LoopbackHttpServer::Ok(std::string("ab\0cd\nef", 8)), "abef"},
        {"double-byte text unchanged", "/gbk", LoopbackHttpServer::Ok("\xD0\xC2\xB0\xE6\r\n"), "\xD0\xC2\xB0\xE6\r"},
        {"an empty body", "/empty", LoopbackHttpServer::Ok(""), ""},
        {"a large body whole", "/big", LoopbackHttpServer::Ok(big), bigJoined},
        // Asked in HTTP/1.0, an answer in chunks is broken, whole or not.
        {"a chunked body", "/chunked", With(Ending::Chunked, "first half\r\nsecond half"), ""},
        {"connection closed in the middle of the body", "/cut", With(Ending::CloseEarly, "the first part\r\n"), ""},
        {"connection reset in the middle of the body", "/reset", With(Ending::ResetEarly, "the first part"), ""},
        {"a 500 cut in the middle", "/cut500", With(Ending::CloseEarly, "partial", 500), ""},
        {"chunked body reset before its last chunk", "/chunk-cut",
         With(Ending::ChunkedReset, "first half, second half"), ""},
        {"chunked body closed before its last chunk", "/chunk-close",
         With(Ending::ChunkedClose, "first half, second half"), ""},
        {"chunk closed in its middle", "/chunk-short", With(Ending::ChunkCutClose, "the first part"), ""},
        {"a body that ends with the connection", "/until-close", With(Ending::UntilClose, "all of it\r\nend"),
         "all of it\rend"},
        {"a body without length reset at its end", "/until-reset", With(Ending::UntilReset, "the first part"), ""},
        {"a body of the largest size taken", "/limit", LoopbackHttpServer::Ok(limit), limit},
        {"a body over the limit", "/over", LoopbackHttpServer::Ok(limit + "x"), ""},
        {"a chunked body over the limit", "/over-chunked", With(Ending::Chunked, limit + "x"), ""},
        {"a body over the limit without length", "/over-until-close", With(Ending::UntilClose, limit + "x"), ""},
    };
    for (const Case& c : cases) server.Set(c.path, c.answer);
    for (const Case& c : cases) EXPECT_EQ(FetchUrlText(server.Url(c.path)), c.expected) << c.name;
    // So that the server never answers in chunks (WinINet asks again in its own
    // version after a redirect, so only the first request of each is looked at).
    const std::vector<LoopbackHttpServer::Request> requests = server.Requests();
    for (const Case& c : cases) {
        std::string version = "(not asked)";
        for (const LoopbackHttpServer::Request& r : requests)
            if (r.path == c.path) {
                version = r.version;
                break;
            }
        EXPECT_EQ(version, "HTTP/1.0") << c.name;
    }
}

TEST_F(HttpFetch, EmptyAddressSendsNothing) {
    EXPECT_EQ(FetchUrlText(""), "");
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpFetch, RnumJoinsTheQueryAndStaysInRange) {
    server.Set("/ok", LoopbackHttpServer::Ok("x"));
    FetchUrlText(server.Url("/ok"));
    FetchUrlText(server.Url("/ok?ver=1.3"));
    FetchUrlText(server.Url("/ok?"));
    std::vector<LoopbackHttpServer::Request> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    const char* prefixes[] = {"/ok?rnum=", "/ok?ver=1.3&rnum=", "/ok?&rnum="};
    for (size_t i = 0; i < 3; ++i) {
        const std::string& target = requests[i].target;
        EXPECT_EQ(target.rfind(prefixes[i], 0), 0u) << target;
        const std::string number = target.substr(std::string(prefixes[i]).size());
        ASSERT_FALSE(number.empty()) << target;
        EXPECT_NE(number[0], '0') << "no leading zeros: " << target;
        EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << target;
        const int n = std::atoi(number.c_str());
        EXPECT_GE(n, 1) << target;
        EXPECT_LE(n, 998) << target;
    }
}

TEST_F(HttpFetch, RnumChangesBetweenRequestsAndBetweenThreads) {
    server.Set("/ok", LoopbackHttpServer::Ok("x"));
    for (int i = 0; i < 12; ++i) FetchUrlText(server.Url("/ok"));

    // Each worker is a new thread: a generator seeded alike in every thread
    // would send the same first value from each of them.
    struct Fetcher {
        static DWORD WINAPI Run(void* url) {
            FetchUrlText(*static_cast<std::string*>(url));
            return 0;
        }
    };
    std::string url = server.Url("/threads");
    server.Set("/threads", LoopbackHttpServer::Ok("y"));
    std::vector<HANDLE> threads;
    for (int i = 0; i < 6; ++i) {
        threads.push_back(CreateThread(nullptr, 0, &Fetcher::Run, &url, 0, nullptr));
        WaitForSingleObject(threads.back(), 30000);
    }
    for (HANDLE h : threads) CloseHandle(h);

    std::set<int> inARow, fromThreads;
    for (const auto& r : server.Requests()) (r.path == "/ok" ? inARow : fromThreads).insert(RnumOf(r.target));
    EXPECT_GT(inARow.size(), 1u);
    EXPECT_GT(fromThreads.size(), 1u);
}

TEST_F(HttpFetch, AgentIsTheApplicationName) {
    server.Set("/ok", LoopbackHttpServer::Ok("x"));
    FetchUrlText(server.Url("/ok"));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].userAgent, GetAppName());
    EXPECT_FALSE(GetAppName().empty());
}

TEST_F(HttpFetch, NetworkFailuresGiveEmptyTextWithinTheirBounds) {
    // A server that accepts and never answers: the receive limit ends the wait.
    Answer stall;
    stall.ending = Ending::Stall;
    stall.stallMs = 8000;
    server.Set("/stall", stall);
    FetchOptions quick;
    quick.connectTimeoutMs = quick.sendTimeoutMs = quick.receiveTimeoutMs = 1000;
    DWORD start = GetTickCount();
    EXPECT_EQ(FetchUrlText(server.Url("/stall"), quick), "");
    EXPECT_LT(GetTickCount() - start, 7000u) << "the fetch waited for the server instead of its limit";

    // Nobody listening any more.
    const std::string closedPort = server.Url("/ok");
    server.Stop();
    start = GetTickCount();
    EXPECT_EQ(FetchUrlText(closedPort), "");
    EXPECT_LT(GetTickCount() - start, 10000u);
    // Not an address at all.
    EXPECT_EQ(FetchUrlText("not an address"), "");
}

// A fetch on a thread of its own, for a group that another thread cancels.
struct GroupFetch {
    FetchGroup* group;
    std::string url;
    std::string body = "not fetched";
    static DWORD WINAPI Run(void* p) {
        auto* f = static_cast<GroupFetch*>(p);
        FetchGroup::Member member(*f->group);
        f->body = FetchUrlText(f->url);
        return 0;
    }
};

TEST_F(HttpFetch, CancelEndsAFetchInFlightAndEveryLaterOneOfItsGroup) {
    // Accepts and never answers, for far longer than the fetch's receive limit.
    Answer stall;
    stall.ending = Ending::Stall;
    stall.stallMs = 120000;
    server.Set("/stall", stall);
    server.Set("/ok", LoopbackHttpServer::Ok("hello"));

    FetchGroup group;
    GroupFetch blocked{&group, server.Url("/stall")};
    HANDLE thread = CreateThread(nullptr, 0, &GroupFetch::Run, &blocked, 0, nullptr);
    ASSERT_TRUE(thread);
    // The request has reached the server: the fetch now waits for the answer.
    const DWORD start = GetTickCount();
    while (server.CountFor("/stall") == 0 && GetTickCount() - start < 20000) Sleep(20);
    ASSERT_EQ(server.CountFor("/stall"), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    group.Cancel();
    // Well inside the 20 s receive limit that would end it otherwise.
    EXPECT_EQ(WaitForSingleObject(thread, 8000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(thread);
    EXPECT_EQ(blocked.body, "");
    EXPECT_TRUE(group.Cancelled());

    // Later fetches of the group send nothing.
    GroupFetch later{&group, server.Url("/ok")};
    thread = CreateThread(nullptr, 0, &GroupFetch::Run, &later, 0, nullptr);
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(thread);
    EXPECT_EQ(later.body, "");
    EXPECT_EQ(server.CountFor("/ok"), 0u);
}

// ---- the update check and the feed through the network ------------------------

TEST_F(HttpFetch, UpdateCheckThroughTheServer) {
    server.Set("/caps", LoopbackHttpServer::Ok("<VSKVERSION>1.4</VSKVERSION>\r\n<VSKUPDATEURL>HTTP://D.EXAMPLE/O.EXE"
                                               "</VSKUPDATEURL>\r\n<VskUpdateType>1</VskUpdateType>\r\n"
                                               "<vskupdateabout>line one\r\nline two</vskupdateabout>\r\n"));
    server.Set("/ten", LoopbackHttpServer::Ok("<vskversion>1.10</vskversion><vskupdateurl>u</vskupdateurl>"
                                              "<vskupdatetype>t</vskupdatetype><vskupdateabout>a</vskupdateabout>"));
    server.Set("/nourl", LoopbackHttpServer::Ok("<vskversion>1.4</vskversion><vskupdatetype>t</vskupdatetype>"
                                                "<vskupdateabout>a</vskupdateabout>"));
    server.Set("/emptyversion", LoopbackHttpServer::Ok("<vskversion></vskversion><vskupdateurl>u</vskupdateurl>"
                                                       "<vskupdatetype>t</vskupdatetype>"
                                                       "<vskupdateabout>a</vskupdateabout>"));
    OnlineEndpoints endpoints;
    endpoints.ownVersion = "1.3";

    UpdateInfo info;
    endpoints.updateUrl = server.Url("/caps?ver=1.3");
    EXPECT_TRUE(CheckForUpdate(endpoints, info));
    EXPECT_EQ(info.version, "1.4");
    EXPECT_EQ(info.downloadUrl, "http://d.example/o.exe");
    EXPECT_EQ(info.updateType, "1");
    EXPECT_EQ(info.description, "line one\rline two");  // the about text's LF went with the line joining

    UpdateInfo nine;
    endpoints.ownVersion = "1.9";
    endpoints.updateUrl = server.Url("/ten");
    EXPECT_FALSE(CheckForUpdate(endpoints, nine));
    EXPECT_EQ(nine.version, "1.10");

    endpoints.ownVersion = "1.3";
    UpdateInfo earlier;
    earlier.downloadUrl = "http://kept/";
    endpoints.updateUrl = server.Url("/nourl");
    EXPECT_TRUE(CheckForUpdate(endpoints, earlier));
    EXPECT_EQ(earlier.version, "1.4");
    EXPECT_EQ(earlier.downloadUrl, "http://kept/");
    EXPECT_EQ(earlier.updateType, "");

    UpdateInfo untouched = earlier;
    endpoints.updateUrl = server.Url("/emptyversion");
    EXPECT_TRUE(CheckForUpdate(endpoints, untouched));  // still compares the kept 1.4
    EXPECT_EQ(untouched.version, "1.4");
    EXPECT_EQ(untouched.downloadUrl, "http://kept/");

    // No answer at all: the kept version decides.
    endpoints.updateUrl = server.Url("/gone");
    EXPECT_TRUE(CheckForUpdate(endpoints, untouched));
    UpdateInfo nothingKept;
    EXPECT_FALSE(CheckForUpdate(endpoints, nothingKept));
}

TEST_F(HttpFetch, FeedThroughTheServer) {
    const std::string three =
        "<vskads>\r\n"
        "<##><soft>*</soft><url>http://a.example/1</url><title>First</title><color>1</color>\r\n"
        "<##><soft>*</soft><url>http://a.example/2</url><title>Second</title><color>2</color>\r\n"
        "<##><soft>*</soft><url>http://a.example/3</url><title>Third</title><color>3</color>\r\n"
        "</vskads>\r\n";
    server.Set("/three", LoopbackHttpServer::Ok(three));
    server.Set("/unclosed", LoopbackHttpServer::Ok("<vskads><##><soft>*</soft><url>u</url><title>t</title>"
                                                   "<color>1</color>"));
    server.Set("/double", LoopbackHttpServer::Ok("<vskads><##><##><soft>*</soft><url>u</url><title>t</title>"
                                                 "<color>1</color></vskads>"));
    server.Set("/nocolor", LoopbackHttpServer::Ok("<vskads><##><soft>*</soft><url>u</url><title>t</title>"
                                                  "<##><soft>*</soft><url>v</url><title>w</title><color>6</color>"
                                                  "</vskads>"));

    std::vector<AnnouncementItem> items = FetchAnnouncements(server.Url("/three"));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].title, "first");
    EXPECT_EQ(items[1].url, "http://a.example/2");
    // The CR of each line stays in the value after it; the colour element is closed before it.
    EXPECT_EQ(items[2].color, "3");
    EXPECT_TRUE(FetchAnnouncements(server.Url("/unclosed")).empty());
    EXPECT_TRUE(FetchAnnouncements(server.Url("/double")).empty());
    items = FetchAnnouncements(server.Url("/nocolor"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "w");
    EXPECT_TRUE(FetchAnnouncements(server.Url("/gone")).empty());
}

}  // namespace
