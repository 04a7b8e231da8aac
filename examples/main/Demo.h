#pragma once
// The scripted run behind "Tavrel.exe --demo": the whole arrangement, step by
// step, with a transcript on standard output. Exit code 0 only when every
// step happened.

#include <windows.h>

int RunDemo(HINSTANCE instance);

// The demo needs to be the only copy: it reports that and fails.
int ReportDemoBlockedByRunningCopy();
