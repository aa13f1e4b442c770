#include "versionpage/VersionFile.h"

#include "text/CoreAlloc.h"

void freeVersionList(VersionList** list) {
    if (*list == nullptr) return;
    for (VersionList* line = *list; *line; ++line) coreFree(*line);
    coreFree(*list);
    *list = nullptr;
}
