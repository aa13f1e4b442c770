#pragma once
// How a failed registration or unregistration is told: a message box for the
// person at the screen, a line in the setup log for a setup that runs without
// one.
#include <windows.h>

// The environment variable by which a silent setup names its log file for
// the programs it starts (regsvr32, and through it this library).
#define SETUP_LOG_VARIABLE "MORVANE_SETUP_LOG"

// With SETUP_LOG_VARIABLE set: appends one line to that file, the local time,
// this library's path, the text with its line breaks as blanks and the
// result, and shows no box, also when the file cannot be written. Otherwise
// the error box with the text, unless no screen shows this process's windows.
void reportRegistrationFailure(const char* text, HRESULT result);
