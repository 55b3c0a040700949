// The decoder of stored texts takes any bytes without reading past their end.
#include <string>

#include "FuzzInput.h"
#include "Scramble.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint32_t key = in.U32(), mul = in.U32(), inc = in.U32();
    std::string stored = in.Rest();  // NUL-terminated by std::string
    std::string plain = UnscrambleText(stored.c_str(), key, mul, inc);
    FUZZ_CHECK(plain.size() <= stored.size());
    return 0;
}
