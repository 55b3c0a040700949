// The hand-over text: appends never overrun the block, and the split gives
// back exactly the paths that were accepted, in order.
#include <cstring>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FuzzInput.h"
#include "HandOver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    size_t room = 1 + in.Byte() * 17;  // small blocks reach the limit quickly
    std::vector<char> block(room + 16, '\x55');
    std::memset(block.data(), 0, room);
    std::vector<std::string> accepted;
    while (!in.Empty()) {
        std::string arg = in.Text(in.Byte());
        CommandLineRequest request = ClassifyArgument(arg);
        if (arg.size() <= 3) FUZZ_CHECK(request.kind == RequestKind::None);
        if (request.kind == RequestKind::None) continue;
        FUZZ_CHECK(request.path == arg.substr(3));
        HandOverRole role = AppendToHandOver(block.data(), room, request.path);
        if (role != HandOverRole::Refused) accepted.push_back(request.path);
        for (size_t i = room; i < block.size(); ++i) FUZZ_CHECK(block[i] == '\x55');  // never past the end
        FUZZ_CHECK(HandOverTextLength(block.data(), room) < room);
    }
    std::vector<std::string> split =
        SplitHandOverText(std::string(block.data(), HandOverTextLength(block.data(), room)));
    FUZZ_CHECK(split == accepted);
    return 0;
}
