// The TOML descriptor reader over arbitrary bytes: nothing or a whole,
// consistent tree, within the bytes it is given, with everything freed.
#include "DescriptorFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzDescriptor(data, size, [](const char* b, size_t n) { return parseToml(b, n); });
}
