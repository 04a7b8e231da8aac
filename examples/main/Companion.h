#pragma once
// Starting and closing the Tavrel.x64 companion.

#include "Processes.h"

// Starts Tavrel.x64.exe from this program's folder, with no arguments (it
// reads none). Null handle on failure, with the reason in the last-error code.
StartedProcess StartCompanion();

struct CompanionEnding {
  bool windowFound = false;  // a running companion's window was there to close
  DWORD processId = 0;
  bool ended = false;  // it exited within the time allowed
  DWORD exitCode = 0;
};

// Asks the running companion to close and waits for it to exit.
CompanionEnding CloseCompanion(DWORD timeoutMs);
