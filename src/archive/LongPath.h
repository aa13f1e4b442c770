#pragma once
// Windows opens paths of MAX_PATH characters or more only in their \\?\ form
// (\\?\UNC\server\share\... for a share).
#include "base/WideChar.h"

// The \\?\ form of a full or relative path of MAX_PATH characters or more, in a
// coreAlloc block the caller frees; null when the path is shorter (it opens
// as it is), is a device or \\?\ path already, or cannot be made full.
WChar* longPathForm(const WChar* path);
