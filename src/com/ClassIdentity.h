#pragma once
// Who Morvane is to Windows: its one class identifier, as a value and as
// registry text, and the registry keys and files named after it. The DLL, the
// shell host and the tests include this; the demo reads the text form from
// here. Only #define lines and constants, so that any code can include it.

#define CLSID_JARICON_TEXT "{5C2B91E4-7A06-4d3f-9E18-B40C6A2F7D95}"
// Initialiser of a CLSID (GUID) with the same identifier.
#define CLSID_JARICON_VALUE {0x5C2B91E4, 0x7A06, 0x4d3f, {0x9E, 0x18, 0xB4, 0x0C, 0x6A, 0x2F, 0x7D, 0x95}}

// The class key and its subkeys, under HKEY_CLASSES_ROOT.
#define CLASS_KEY_PATH "CLSID\\" CLSID_JARICON_TEXT
#define INPROC_SERVER_KEY_PATH CLASS_KEY_PATH "\\InProcServer32"
// The configuration values an administrator may set.
#define CONFIG_KEY_PATH CLASS_KEY_PATH "\\config"

// The shell's list of approved extensions, under HKEY_LOCAL_MACHINE.
#define APPROVED_KEY_PATH "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"

// The jar file type, under HKEY_CLASSES_ROOT, and what registration puts there.
#define FILE_TYPE_KEY "jarfile"
#define DEFAULT_ICON_KEY "DefaultIcon"
// Beside the default icon: the one that was there before registration.
#define SAVED_ICON_VALUE "SaveDefaultIcon-" CLSID_JARICON_TEXT
// The handler keys below the file type, in the order they are created; each
// holds the class identifier as its default. The second is the interface
// identifier of IQueryInfo: the shell asks this handler for info tips.
#define ICON_HANDLER_KEY "shellex\\IconHandler"
#define INFOTIP_HANDLER_KEY "shellex\\{00021500-0000-0000-C000-000000000046}"
#define DROP_HANDLER_KEY "shellex\\DropHandler"
#define PROPERTY_SHEET_HANDLER_KEY "shellex\\PropertySheetHandlers\\MorvaneVersion-" CLSID_JARICON_TEXT

// The second class: the property handler of .jar files (Details pane, Details
// tab, columns, search), with its own class key.
#define CLSID_JARPROPERTIES_TEXT "{5C2B91E5-7A06-4d3f-9E18-B40C6A2F7D95}"
#define CLSID_JARPROPERTIES_VALUE {0x5C2B91E5, 0x7A06, 0x4d3f, {0x9E, 0x18, 0xB4, 0x0C, 0x6A, 0x2F, 0x7D, 0x95}}
#define PROPERTIES_CLASS_KEY_PATH "CLSID\\" CLSID_JARPROPERTIES_TEXT
#define PROPERTIES_INPROC_SERVER_KEY_PATH PROPERTIES_CLASS_KEY_PATH "\\InProcServer32"
// One property handler per extension, under HKEY_LOCAL_MACHINE (each registry
// view has its own); another program's handler found there is kept beside.
#define PROPERTY_HANDLERS_KEY_PATH "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers"
#define PROPERTY_HANDLER_KEY_PATH PROPERTY_HANDLERS_KEY_PATH "\\.jar"
#define SAVED_PROPERTY_HANDLER_VALUE "SavedPropertyHandler-" CLSID_JARPROPERTIES_TEXT
// The property lists the shell shows for .jar files, under HKEY_CLASSES_ROOT.
#define PROPERTY_LISTS_KEY_PATH "SystemFileAssociations\\.jar"

// The debug log, while the configuration value "debugLog" is "1".
#define LOG_FILE_PATH "c:\\morvane.log"

#ifdef __cplusplus
inline constexpr const char* kHandlerKeys[] = {ICON_HANDLER_KEY, INFOTIP_HANDLER_KEY, DROP_HANDLER_KEY,
                                               PROPERTY_SHEET_HANDLER_KEY};
#endif
