// Presses OK in the module's dialogs after a delay, so that configure and
// about can run unattended (scripts, tests).
#pragma once

// From `delayMs` on, keeps sending OK to every dialog box of this process
// until StopDialogCloser is called.
void StartDialogCloser(int delayMs);
void StopDialogCloser();
