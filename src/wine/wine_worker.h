// What Wine's two guards share: a thread of the plug-in's own that keeps
// the DLL loaded, one lock, and one count of the readers the runtime may
// never give back.
//
// The open deadline (open_deadline.h) and the retired readers
// (retired_readers.h) each hand work to a thread the player never sees.
// Such a thread may still run after the module's Release has returned and
// the player has let the library go, so it holds a reference to the DLL
// from before it starts to its last instruction, and the DLL is unloaded
// only once the last of them has ended. Nothing here runs on Windows'
// runtime. It goes with the last of the two guards.
#pragma once

#include <windows.h>

// Runs run(argument) on a new thread that keeps this DLL loaded until run
// returns. False, with nothing started, when no thread could be had;
// argument is then still the caller's.
bool StartPinnedWorker(void (*run)(void *argument), void *argument);

// The one lock the guards take: held for a few copies at a time, never
// across a call into the runtime nor while waiting. Made at first use.
void LockGuards();
void UnlockGuards();

// Readers the runtime may never give back, each keeping some 4 of Wine's
// threads and 12 to 14 MB of address space: opens given up that have not
// come back, and retired readers that did not settle in time. The open
// deadline bounds how many may be kept (open_deadline.h).
void CountStuckReader();
void UncountStuckReader();  // a given-up open came back after all
LONG StuckReaders();
