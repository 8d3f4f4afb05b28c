// The game's window on the X server, handled as a desktop would: minimised (unmapped) or asked to
// close, from another client, for end-to-end tests of a real process.
#pragma once

#include <sys/types.h>

// Waits up to timeout_ms for a viewable top-level window of process `pid` (by _NET_WM_PID); true
// when found. Each action below looks the window up the same way and returns false without one.
bool WaitForGameWindow(pid_t pid, int timeout_ms);
// Unmaps the window, as a window manager does when it minimises it.
bool MinimiseGameWindow(pid_t pid);
// Sends the window manager's close request (WM_DELETE_WINDOW), as the close button does.
bool RequestGameWindowClose(pid_t pid);
