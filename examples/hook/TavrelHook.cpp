// Reference hook library: a system-wide CBT hook that counts the windows
// created in other processes.

#define TAVREL_HOOK_BUILDING_LIBRARY
#include "window_count.h"

// Windows maps this library into every process the hook reaches. Variables in
// a shared section have one copy across all of them, so the count made in a
// hooked process is what the main program reads. They must be initialised:
// uninitialised data would land in an unshared section.
static LONG g_windowCreations __attribute__((section(".shared"), shared)) = 0;
static DWORD g_installerProcessId __attribute__((section(".shared"), shared)) = 0;

// Only the installing process needs the handle, so it stays per process.
static HHOOK g_hook = nullptr;

extern "C" IMAGE_DOS_HEADER __ImageBase;

static LRESULT CALLBACK CountWindowCreations(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && GetCurrentProcessId() != g_installerProcessId) {
    InterlockedIncrement(&g_windowCreations);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI InstallHook(void) {
  if (g_hook) return TRUE;
  // A global hook must live in a library, named by its module handle, so
  // that Windows can load it into the processes it hooks.
  HHOOK hook =
      SetWindowsHookExW(WH_CBT, CountWindowCreations, reinterpret_cast<HINSTANCE>(&__ImageBase), 0);
  if (!hook) return FALSE;  // SetWindowsHookExW has set the last-error code.
  g_hook = hook;
  InterlockedExchange(reinterpret_cast<LONG*>(&g_installerProcessId),
                      static_cast<LONG>(GetCurrentProcessId()));
  return TRUE;
}

BOOL WINAPI UninstallHook(void) {
  // Also called after a failed InstallHook: then there is nothing to remove.
  if (!g_hook) return TRUE;
  const BOOL removed = UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  InterlockedCompareExchange(reinterpret_cast<LONG*>(&g_installerProcessId), 0,
                             static_cast<LONG>(GetCurrentProcessId()));
  return removed;
}

LONG WINAPI HookedWindowCreations(void) {
  return InterlockedCompareExchange(&g_windowCreations, 0, 0);
}

DWORD WINAPI HookInstallerProcessId(void) {
  return static_cast<DWORD>(
      InterlockedCompareExchange(reinterpret_cast<LONG*>(&g_installerProcessId), 0, 0));
}
