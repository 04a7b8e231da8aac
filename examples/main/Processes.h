#pragma once
// Sibling files, starting them, and waiting without freezing the window.

#include <windows.h>

#include <functional>
#include <string>

#include "shell/Owners.h"

// This program's own path with its extension replaced: Tavrel.exe and
// ".x64.exe" give the companion Tavrel.x64.exe in the same folder.
std::wstring SiblingPath(const wchar_t* extension);

// A file of the given name in this program's folder.
std::wstring PathInOwnFolder(const wchar_t* fileName);

struct StartedProcess {
  UniqueKernelHandle handle;
  DWORD id = 0;
};

// Null handle on failure, with the reason in the last-error code.
StartedProcess StartProcess(const std::wstring& path, const std::wstring& arguments);

// Exit code of a process that has ended; STILL_ACTIVE while it runs.
DWORD ExitCodeOf(HANDLE process);

// Runs this thread's messages while waiting, so that our window keeps answering
// other processes, until `done` holds or `timeoutMs` has passed. `wakeOn` are
// handles whose signalling makes `done` worth asking again at once; between
// them it is asked every few milliseconds.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs,
                       std::initializer_list<HANDLE> wakeOn = {});
