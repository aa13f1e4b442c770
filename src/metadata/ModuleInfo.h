#pragma once
// The module descriptor, module-info.class: the name and version that its
// Module attribute gives.
//
//   class file  = u4 0xCAFEBABE, u2 minor, u2 major (53 or later),
//                 u2 pool count, constant pool, u2 access (ACC_MODULE alone),
//                 u2 this_class (the class "module-info"), u2 super_class (0),
//                 u2 interfaces, u2 fields, u2 methods (all 0),
//                 u2 attribute count, attributes
//   attribute   = u2 name index (a Utf8 entry), u4 length, length bytes
//   Module      = u2 name index (a Module entry, which names a Utf8 entry),
//                 u2 flags, u2 version index (0, or a Utf8 entry), ...
//
// The descriptor is refused (nothing is given) when any of this does not hold,
// when an index leads nowhere, when a Module attribute is missing or given
// twice, or when the name or version is not plain UTF-8: the class file's own
// encoding of NUL and of characters beyond U+FFFF, and a name with the
// escapes that the JVM allows there, are not shown.
#include <cstddef>

struct ModuleName {
    char* name;     // a coreAlloc string
    char* version;  // a coreAlloc string, or null when the descriptor has none
};

// False, with both texts null, when the descriptor is refused or memory ran
// out (*noMemory then tells which, where given).
bool readModuleInfo(const unsigned char* bytes, size_t length, ModuleName* out, bool* noMemory = nullptr);
void freeModuleName(ModuleName* module);
