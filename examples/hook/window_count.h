/*
 * What the reference hook library adds to the contract in tavrel_hook.h:
 * two readers for the main program, which loads the same library to see what
 * the hook, running inside other processes, has counted.
 */
#ifndef TAVREL_WINDOW_COUNT_H
#define TAVREL_WINDOW_COUNT_H

#include "tavrel_hook.h"

/* Windows created, while the hook was installed, in processes other than the one that installed it. */
TAVREL_HOOK_API LONG WINAPI HookedWindowCreations(void);

/* Process that installed the hook, or 0 while none is installed. */
TAVREL_HOOK_API DWORD WINAPI HookInstallerProcessId(void);

typedef LONG(WINAPI* TavrelHookedWindowCreationsProc)(void);
typedef DWORD(WINAPI* TavrelHookInstallerProcessIdProc)(void);

#endif
