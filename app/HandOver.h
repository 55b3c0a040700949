// The hand-over text: the requests of instances started together, collected in
// a shared block by the first of them. The text is one string of UTF-16 units
// ended by a 0 unit, items separated by a carriage return, the first
// instance's own first; each item is the request's kind (one letter) followed
// by its path, so that a search request never joins a batch of deletions, nor
// the reverse. The units are 16 bits whatever the instance (32- or 64-bit), so
// a path reaches the collecting instance exactly as its command line gave it.
// These functions work on the block's units; the caller holds the lock that
// makes each call atomic between processes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The block is opened with 1 byte and the system gives a whole page: 2048
// units, the terminator included.
inline constexpr size_t kHandOverRoom = 4096;
inline constexpr size_t kHandOverUnits = kHandOverRoom / sizeof(char16_t);
inline constexpr char16_t kHandOverSeparator = u'\r';

enum class HandOverRole {
    First,      // the block was empty: this instance collects and handles the paths
    Later,      // appended to another instance's text; this instance ends
    Refused,    // not written (no room, or a path that would not survive the split);
                // this instance ends as well
    OtherKind,  // the block collects requests of the other kind: nothing written,
                // this instance handles its own request by itself
};

enum class HandOverKind : char16_t {
    Search = u'S',
    Delete = u'D',
};

// Claims the first place or appends the request, tagged with its kind, in one
// step; a block that collects the other kind (or holds a text that is not
// ours) is left as it is (OtherKind). room counts units.
HandOverRole AppendRequestToHandOver(char16_t* block, size_t room, HandOverKind kind, std::u16string_view path);

// Kept beside the text, in a block of its own: whether the text's batch has
// been taken by the instance that collected it, and the window that takes
// later search requests. 32-bit fields, so that 32- and 64-bit instances agree.
struct HandOverState {
    uint32_t batchTaken;     // the batch in the text collects no more
    uint32_t windowProcess;  // the search window's process; 0 for none
    uint32_t windowHandle;   // and the window (a window handle fits 32 bits)
};

// AppendRequestToHandOver, where a batch that was taken collects no more: the
// request starts a batch of its own in its place. A delete request beside a
// search window's taken text is handled alone instead, and the text stays.
// Without a state, as AppendRequestToHandOver.
HandOverRole JoinHandOver(char16_t* block, size_t room, HandOverState* state, HandOverKind kind,
                          std::u16string_view path);

// The paths of the text's items of that kind, in order; items of the other
// kind or without a kind are left out.
std::vector<std::u16string> HandOverPathsOfKind(std::u16string_view text, HandOverKind kind);

// Length in units of the text in a block of `room` units; `room` when it has
// no terminator (not a text this program wrote).
size_t HandOverTextLength(const char16_t* block, size_t room);

// Claims the first place or appends `path`, in one step. A path that does not
// fit whole (terminator included) is refused, never cut; so is an empty path or
// one holding a carriage return or a 0 unit, which would come out as other paths.
HandOverRole AppendToHandOver(char16_t* block, size_t room, std::u16string_view path);

// Splits the text at each carriage return. Every item a separator ends is kept,
// even an empty one; the text after the last separator only when it is not empty.
std::vector<std::u16string> SplitHandOverText(std::u16string_view text);

// Waits until one whole period passes without the text growing: measure,
// sleep, measure again, and repeat while the length changed.
void WaitForQuietHandOver(const std::function<size_t()>& textLength, const std::function<void()>& sleepOnePeriod);
