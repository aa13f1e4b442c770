// The manifest reader over arbitrary bytes: whatever it accepts holds only
// headers with valid names, each once in any letter case, with usable values
// that are terminated UTF-8 of bounded length.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "metadata/Manifest.h"
#include "text/TextConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the bytes, which the reader rewrites in place.
    char* bytes = static_cast<char*>(malloc(size ? size : 1));
    if (!bytes) return 0;
    memcpy(bytes, data, size);
    Manifest manifest;
    if (manifest.read(bytes, size)) {
        if (manifest.count() > kMaxManifestAttributes) abort();
        for (size_t i = 0; i < manifest.count(); ++i) {
            const ManifestAttribute& a = manifest.attribute(i);
            if (!isManifestName(a.name, a.nameLength)) abort();
            if (a.value && (a.valueLength > kMaxManifestValue || a.value[a.valueLength] != '\0' ||
                            !isWellFormedUtf8(a.value, a.valueLength)))
                abort();
            char name[80];
            memcpy(name, a.name, a.nameLength);
            name[a.nameLength] = '\0';
            if (manifest.find(name) != &a) abort();  // no second header of that name
        }
    } else if (manifest.count() != 0) {
        abort();
    }
    free(bytes);
    return 0;
}
