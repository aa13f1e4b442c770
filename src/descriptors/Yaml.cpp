#include "descriptors/DocumentBuild.h"

Document* parseYaml(const char* bytes, size_t length) { return nullptr; }
