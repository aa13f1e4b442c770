#pragma once
// The parsed "shell-meta-inf/version" member: one wide text per line, in file
// order, ended by a null entry. A VersionList* is that array.
#include "text/WideChar.h"

typedef WChar* VersionList;

// Releases every text and the list itself, and sets the reference to null.
void freeVersionList(VersionList** list);
