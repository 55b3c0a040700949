// ExtractTagged on any source and any pair of tags, and the body joining.
// The first two bytes give the tag lengths, the third the take-rest flag.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "OnlineText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t startLength = data[0] % 8, endLength = data[1] % 8;
    const bool takeRest = data[2] & 1;
    std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::string startTag = rest.substr(0, startLength);
    rest.erase(0, startTag.size());
    const std::string endTag = rest.substr(0, endLength);
    rest.erase(0, endTag.size());
    const std::string& source = rest;

    const std::vector<std::string> values = ExtractTagged(source, startTag, endTag, takeRest);
    size_t total = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string& v = values[i];
        // Every value is a piece of the source; only a taken rest may be empty.
        if (source.find(v) == std::string::npos) std::abort();
        if (v.empty() && !(takeRest && i + 1 == values.size())) std::abort();
        total += v.size();
    }
    if (total > source.size() * (values.size() + 1)) std::abort();

    const std::string joined = JoinBodyLines(source);
    if (joined.size() > source.size() || joined.find('\n') != std::string::npos ||
        joined.find('\0') != std::string::npos)
        std::abort();
    return 0;
}
