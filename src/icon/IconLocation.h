#pragma once
// An icon location as the configuration value "DefaultIcon" holds it: a file
// name, optionally followed by a comma and an icon index ("shell32.dll,3",
// "C:\Tools\icons.dll,-3"). The file name itself may hold commas, so only the
// last one separates the index.

// Cuts location at its last comma and returns the index that followed it:
// white space skipped, an optional sign, then decimal digits up to the first
// other character; no digits give 0, and a number beyond the int range stops at
// its nearest end. Without a comma the text stays whole and the index is 0. A
// negative index is returned as it is: the platform reads it as a resource
// identifier.
int splitIconLocation(char* location);
