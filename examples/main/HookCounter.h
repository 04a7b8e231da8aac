#pragma once
// Reads what the reference hook has counted. The main program loads the same
// library as the companion: its shared section is one copy for all processes.

#include "shell/Owners.h"
#include "window_count.h"

class HookCounter {
 public:
  HookCounter();

  bool loaded() const { return windowCreations_ && installerProcessId_; }
  LONG WindowCreations() const { return windowCreations_(); }
  DWORD InstallerProcessId() const { return installerProcessId_(); }

 private:
  UniqueModule library_;
  TavrelHookedWindowCreationsProc windowCreations_ = nullptr;
  TavrelHookInstallerProcessIdProc installerProcessId_ = nullptr;
};
