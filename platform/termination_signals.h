// Termination signals (SIGTERM, SIGINT, SIGHUP) as a flag that the event layer turns into the
// application's close request, so a session's end or a closed terminal shuts the game down normally.
#pragma once

// Installs async-signal-safe handlers for SIGTERM, SIGINT and SIGHUP that only raise a flag.
// Idempotent. Call before any back-end starts; back-ends must leave these signals alone.
void InstallTerminationSignalHandlers();

// True once for each arrival of any of the three signals since the last call (several arrivals
// between two calls count once). Polled by PollSystemEvents and WaitSystemEvent.
bool TakeTerminationSignal();
