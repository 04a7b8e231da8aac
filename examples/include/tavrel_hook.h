/*
 * The contract between the Tavrel.x64 companion and its hook library.
 *
 * The companion Tavrel.x64.exe loads the 64-bit library Tavrel.x64.dll from
 * its own folder (its own file name with ".dll" in place of ".exe"), calls
 * InstallHook once when it starts and UninstallHook once when it ends, and
 * keeps the library loaded in between. Both run on the companion's one
 * thread, before and after its message loop.
 *
 * Rules for the library:
 *  - Export both functions under exactly these undecorated names.
 *  - Both take no arguments and return a BOOL. The companion looks only at
 *    the lowest 8 bits of InstallHook's result: return TRUE or FALSE, never
 *    a wider value such as 0x100, which counts as a failure.
 *  - On failure InstallHook returns FALSE with the reason in the thread's
 *    last-error code (SetLastError). The companion shows the system's text
 *    for that code in an error box and keeps running without a hook.
 *  - After a failed InstallHook the library stays loaded and UninstallHook
 *    is still called at the end: it must do nothing harmful when no hook is
 *    installed. Its result is ignored.
 *  - If either export is missing, InstallHook is never called.
 *  - Do not let C++ exceptions leave either function.
 */
#ifndef TAVREL_HOOK_H
#define TAVREL_HOOK_H

#include <windows.h>

#ifdef __cplusplus
#define TAVREL_HOOK_EXTERN_C extern "C"
#else
#define TAVREL_HOOK_EXTERN_C
#endif

/* Defined while building the hook library, so the same declarations export there. */
#ifdef TAVREL_HOOK_BUILDING_LIBRARY
#define TAVREL_HOOK_API TAVREL_HOOK_EXTERN_C __declspec(dllexport)
#else
#define TAVREL_HOOK_API TAVREL_HOOK_EXTERN_C __declspec(dllimport)
#endif

TAVREL_HOOK_API BOOL WINAPI InstallHook(void);
TAVREL_HOOK_API BOOL WINAPI UninstallHook(void);

/* The types under which the companion resolves the two entry points. */
typedef BOOL(WINAPI* TavrelInstallHookProc)(void);
typedef BOOL(WINAPI* TavrelUninstallHookProc)(void);

#endif
