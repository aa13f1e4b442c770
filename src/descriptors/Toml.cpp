#include "descriptors/DocumentBuild.h"

Document* parseToml(const char* bytes, size_t length) { return nullptr; }
