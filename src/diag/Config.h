#pragma once
// The configuration values under the class's own key. They are read afresh on
// every use, so a change takes effect at once.
#include <windows.h>

#include "com/ClassIdentity.h"

#define CONFIG_DEBUG_LOG "debugLog"
#define CONFIG_DROP_SHOW_INFO "DropTarget_Debug_ShowInfo"
#define CONFIG_DEFAULT_ICON "DefaultIcon"
#define CONFIG_STANDARD_METADATA "standardMetadata"

// One REG_SZ value as a new coreAlloc text, always terminated; null when the key
// or value is missing, has another type, or memory runs out.
char* readRegistryString(HKEY root, const char* subkey, const char* valueName);
char* readConfigValue(const char* valueName);
// On exactly when the value is a REG_SZ holding "1".
bool isConfigFlagSet(const char* valueName);
// Whether the tooltip, the page and the properties use the metadata jars
// carry in their manifests, poms and module descriptors: on unless
// "standardMetadata" is a REG_SZ holding "0".
bool isStandardMetadataOn();
