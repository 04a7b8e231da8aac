#include "HookCounter.h"

#include "Processes.h"

HookCounter::HookCounter() : library_(LoadLibraryW(SiblingPath(L".x64.dll").c_str())) {
  if (!library_) return;
  windowCreations_ = reinterpret_cast<TavrelHookedWindowCreationsProc>(
      reinterpret_cast<void*>(GetProcAddress(library_.get(), "HookedWindowCreations")));
  installerProcessId_ = reinterpret_cast<TavrelHookInstallerProcessIdProc>(
      reinterpret_cast<void*>(GetProcAddress(library_.get(), "HookInstallerProcessId")));
}
