// The hand-over text: appends never overrun the block, and the split gives
// back exactly the paths that were accepted, in order.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FuzzInput.h"
#include "HandOver.h"

namespace {

// Up to max UTF-16 units, two bytes each, ended early by a 0 unit. Few
// distinct high bytes, so CR, the kind letters and surrogates come often.
std::u16string Units(FuzzInput& in, size_t max) {
    std::u16string s;
    while (s.size() < max && !in.Empty()) {
        const uint8_t high = in.Byte() % 4;
        const char16_t c = static_cast<char16_t>((high == 3 ? 0xD8 : high) << 8 | in.Byte());
        if (c == u'\0') break;
        s += c;
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const size_t room = 1 + in.Byte() * 9;  // units; small blocks reach the limit quickly
    constexpr char16_t kGuard = 0x5555;
    std::vector<char16_t> block(room + 16, kGuard);
    std::fill(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(room), u'\0');
    std::vector<std::u16string> accepted;
    while (!in.Empty()) {
        const std::u16string arg = Units(in, in.Byte());
        const CommandLineRequest request = ClassifyArgument(arg);
        if (arg.size() <= 3) FUZZ_CHECK(request.kind == RequestKind::None);
        if (request.kind == RequestKind::None) continue;
        FUZZ_CHECK(request.path == arg.substr(3));
        const HandOverRole role = AppendToHandOver(block.data(), room, request.path);
        if (role != HandOverRole::Refused) accepted.push_back(request.path);
        for (size_t i = room; i < block.size(); ++i) FUZZ_CHECK(block[i] == kGuard);  // never past the end
        FUZZ_CHECK(HandOverTextLength(block.data(), room) < room);
    }
    const std::vector<std::u16string> split =
        SplitHandOverText(std::u16string(block.data(), HandOverTextLength(block.data(), room)));
    FUZZ_CHECK(split == accepted);
    return 0;
}
