// Path splitting and the parent folder, by character in code page 936.
#include <string>

#include "FuzzInput.h"
#include "PathForms.h"
#include "PathText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    std::string path = in.Rest();

    auto parts = SplitPathComponents(path);
    size_t total = 0;
    for (auto part : parts) {
        FUZZ_CHECK(!part.empty());
        // No component holds a "\" character, though its trail bytes may be 0x5C.
        FUZZ_CHECK(AfterLastBackslash(part) == 0);
        total += part.size();
    }
    FUZZ_CHECK(total <= path.size());

    std::string parent = ParentFolderOf(path);
    FUZZ_CHECK(parent.empty() || EndsWithChar(parent, '\\'));
    FUZZ_CHECK(parent.size() <= path.size() + 1);
    // The parent of something inside the parent is the parent again.
    FUZZ_CHECK(ParentFolderOf(parent + "x") == parent);
    // Splitting the parent gives the leading components of the path.
    auto parentParts = SplitPathComponents(parent);
    FUZZ_CHECK(parentParts.size() <= parts.size());
    for (size_t i = 0; i < parentParts.size(); ++i) FUZZ_CHECK(parentParts[i] == parts[i]);

    if (!path.empty()) {
        size_t last = LastCharOffset(path);
        FUZZ_CHECK(last < path.size());
        FUZZ_CHECK(EndsWithChar(path, path[last]) == (last == path.size() - 1));
    }
    FUZZ_CHECK(EqualsIgnoreCase(path, path));
    return 0;
}
