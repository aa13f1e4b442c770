#pragma once
// Whether anybody can see this process's windows. A program that a deployment
// tool runs as a service (session 0) lives in a window station that no screen
// shows: a message box there waits for a click that never comes, and whatever
// waits for the program waits with it.
#include <windows.h>

// False when the process's window station is shown on no screen; true where
// that cannot be told, so a box is shown as everywhere else.
bool isWindowStationVisible();
