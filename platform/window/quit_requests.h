#pragma once
// Requests from outside to end the program: a terminal's or the system's signals (SIGTERM,
// SIGINT, SIGHUP) and the window or the display taken away by another program. Each becomes
// one WM_CLOSE in the message queue (PeekMessage posts it), so the program closes, saves and
// ends as when its window is closed. The signal handlers only count; everything else happens
// on the main thread. A signal ignored when the watch starts (nohup) stays ignored.

#include <cstdint>
#include <string>

namespace platform {

// Installs the signal handlers (counted: the last Stop puts the earlier ones back). Main
// thread; the window backend starts the watch with the window system.
void StartQuitWatch();
void StopQuitWatch();

// True once a quit signal arrived since the watch started; any thread (a box waiting for the
// user watches it: no box keeps a program that was asked to quit).
bool WasQuitSignalled();

// Why the program was last asked from outside to close ("SIGHUP", "the window was destroyed
// by another program"...), emptied by the call; empty when nothing from outside asked.
std::string TakeCloseReason();

// For the window backend: the window or the display is gone; one WM_CLOSE follows.
void RequestCloseFromOutside(const char* reason);

// Called by PeekMessage: posts WM_CLOSE for every request not yet posted. True when it did.
bool PostPendingQuitRequests();

} // namespace platform
