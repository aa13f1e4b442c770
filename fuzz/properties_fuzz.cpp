// The properties reader over arbitrary bytes: every entry is terminated UTF-8
// of bounded length, and the lookup of a key gives what the last entry with
// that key holds.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/CoreAlloc.h"
#include "metadata/Properties.h"
#include "text/TextConvert.h"

namespace {

struct Last {
    bool seen = false;
    char value[kMaxPropertyValue + 1];
    bool usable = false;
};

void check(const PropertyEntry& e, void* context) {
    if (e.key && (e.keyLength > kMaxPropertyKey || e.key[e.keyLength] != '\0' || !isWellFormedUtf8(e.key, e.keyLength)))
        abort();
    if (e.value && (e.valueLength > kMaxPropertyValue || e.value[e.valueLength] != '\0' ||
                    !isWellFormedUtf8(e.value, e.valueLength)))
        abort();
    Last& last = *static_cast<Last*>(context);
    if (e.key && e.keyLength == 1 && e.key[0] == 'k') {
        last.seen = true;
        last.usable = e.value != nullptr;
        if (e.value) memcpy(last.value, e.value, e.valueLength + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* bytes = static_cast<char*>(malloc(size ? size : 1));
    if (!bytes) return 0;
    memcpy(bytes, data, size);
    static Last last;
    last.seen = false;
    bool accepted = readProperties(bytes, size, check, &last);
    const char* keys[] = {"k"};
    char* value = nullptr;
    uint32_t line = 0;
    bool found = findProperties(bytes, size, keys, 1, &value, &line);
    if (found != accepted) abort();
    if (found && ((value != nullptr) != (last.seen && last.usable) || (value && strcmp(value, last.value) != 0)))
        abort();
    coreFree(value);
    free(bytes);
    return 0;
}
