#pragma once

#include <atomic>

// Ctrl-C, a polite kill (SIGTERM) and a closed terminal (SIGHUP) ask for a
// stop; a closed pipe (SIGPIPE) is ignored. The handler only records the
// signal; the main thread polls StopSignal() and raises the engine's stop
// request itself. A second Ctrl-C ends the program at once.

void InstallStopHandlers();

// The signal that asked for a stop, or 0.
int StopSignal();

// A flag the stop signal raises too, as it comes: the probe's stop request,
// so a probe that reads a slow or endless input ends at once. nullptr: none.
void StopAlsoRaises(std::atomic<bool>* flag);
