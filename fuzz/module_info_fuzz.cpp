// The module descriptor reader over arbitrary bytes: a name it gives is a
// non-empty UTF-8 module name, a version UTF-8, and nothing is left behind.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "metadata/ModuleInfo.h"
#include "text/TextConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char* bytes = static_cast<unsigned char*>(malloc(size ? size : 1));
    if (!bytes) return 0;
    memcpy(bytes, data, size);
    ModuleName module;
    if (readModuleInfo(bytes, size, &module)) {
        size_t n = strlen(module.name);
        if (n == 0 || !isWellFormedUtf8(module.name, n) || strpbrk(module.name, ":@\\")) abort();
        if (module.version && !isWellFormedUtf8(module.version, strlen(module.version))) abort();
    } else if (module.name || module.version) {
        abort();
    }
    freeModuleName(&module);
    free(bytes);
    return 0;
}
