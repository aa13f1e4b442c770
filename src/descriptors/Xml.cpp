#include "descriptors/DocumentBuild.h"

Document* parseXml(const char* bytes, size_t length) { return nullptr; }
char* stripMarkup(const char* text, size_t length) { return nullptr; }
