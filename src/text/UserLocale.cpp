#include <windows.h>

#include <cstring>

#include "text/LocaleNames.h"
#include "text/TextConvert.h"

char* userLocaleName() {
    const char* name = findLocaleName(GetThreadLocale());
    return name ? copyText(name, std::strlen(name)) : nullptr;
}
