// The program's one network operation and the online services built on it:
// fetching a vendor address, the update check and the announcement feed.
// They block, and run only on the online worker's thread.
#pragma once

#include <string>
#include <vector>

#include "OnlineText.h"
#include "OnlineTypes.h"

// The largest answer body taken; a larger one counts as no answer. The
// vendor's answers are a few hundred bytes.
inline constexpr size_t kMaxAnswerBytes = 1024 * 1024;

struct FetchOptions {
    // The user agent; empty: the application's name (the executable's file
    // name without its extension).
    std::string agent;
    // Bounds of each connect, send and receive, so that a worker never hangs
    // on a server that stops answering.
    unsigned long connectTimeoutMs = 20000;
    unsigned long sendTimeoutMs = 20000;
    unsigned long receiveTimeoutMs = 20000;
};

// One GET of address with its "rnum" value, the system's proxy settings and
// the application's name as agent, over WinINet (a connection and a request
// handle of its own, each with the limits of options). The body, its lines joined (JoinBodyLines),
// when the final status (after the redirects the platform follows) is 200 or
// 500; an empty text for any other status, for an empty address (nothing is
// sent) and for every failure on the way: a transfer cut off before the end
// of the body and a body over kMaxAnswerBytes included.
std::string FetchUrlText(const std::string& address, const FetchOptions& options = FetchOptions());

// The next "rnum" value, 1 to 998, from a generator shared by every thread and
// seeded once per process from the clock.
int NextRnum();

// The two vendor addresses and the own version of the running executable.
OnlineEndpoints BuildOnlineEndpoints();

// Fetches the update answer and applies it to info (ApplyUpdateAnswer): true
// when the version it names (or the one kept from earlier) is newer.
bool CheckForUpdate(const OnlineEndpoints& endpoints, UpdateInfo& info);

// The announcement items at address; empty without an answer or usable items.
std::vector<AnnouncementItem> FetchAnnouncements(const std::string& address);

// Fetches that another thread can cut short. A thread joins a group for a
// while (Member); its fetches then run on threads of their own, and Cancel
// makes every one of them in flight return an empty text at once, whatever
// the server does, and every later one return it without sending anything.
// A fetch cut short finishes on its own thread, which the process may end.
class FetchGroup {
public:
    FetchGroup();
    ~FetchGroup();
    FetchGroup(const FetchGroup&) = delete;
    FetchGroup& operator=(const FetchGroup&) = delete;

    void Cancel();
    bool Cancelled() const;

    // The calling thread's fetches belong to group while this lives.
    class Member {
    public:
        explicit Member(FetchGroup& group);
        ~Member();
        Member(const Member&) = delete;
        Member& operator=(const Member&) = delete;

    private:
        FetchGroup* m_previous;
    };

    // FetchUrlText for a member thread.
    std::string Fetch(const std::string& address, const FetchOptions& options);

private:
    void* m_cancelled;  // manual-reset event
};
