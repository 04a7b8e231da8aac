#pragma once
// One process's counters from the system's process list. Under Wine this is
// the Win32 view that carries Linux's figures: PagefileUsage is the process's
// private resident memory (RssAnon plus swap) and WorkingSetSize its VmRSS.
// GetProcessMemoryInfo reports nothing there, and a process cannot read
// Z:\proc\self for itself, since the wineserver opens files on its behalf.
// Plain buffers only: the hook library must stay free of the C++ runtime.

#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace bench {

struct ProcessCounters {
  bool found = false;
  std::uint64_t privateBytes = 0;
  std::uint64_t residentBytes = 0;
};

// Calls `read` with the system information of `kind` in a buffer that is
// grown until it fits; false when it never does.
template <class Reader>
bool WithSystemInformation(SYSTEM_INFORMATION_CLASS kind, Reader read) {
  constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
  SIZE_T capacity = 256 * 1024;
  for (int attempt = 0; attempt < 5; ++attempt, capacity *= 4) {
    void* buffer = VirtualAlloc(nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!buffer) return false;
    ULONG length = 0;
    const NTSTATUS status =
        NtQuerySystemInformation(kind, buffer, static_cast<ULONG>(capacity), &length);
    if (status >= 0) read(buffer);
    VirtualFree(buffer, 0, MEM_RELEASE);
    if (status != kLengthMismatch) return status >= 0;
  }
  return false;
}

inline ProcessCounters QueryProcessCounters(DWORD processId) {
  ProcessCounters counters;
  WithSystemInformation(SystemProcessInformation, [&](const void* buffer) {
    auto* entry = static_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer);
    for (;;) {
      if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId) {
        counters.found = true;
        counters.privateBytes = entry->VirtualMemoryCounters.PagefileUsage;
        counters.residentBytes = entry->VirtualMemoryCounters.WorkingSetSize;
        return;
      }
      if (!entry->NextEntryOffset) return;
      entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(
          reinterpret_cast<const char*>(entry) + entry->NextEntryOffset);
    }
  });
  return counters;
}

// The system's handle list (SystemHandleInformation) as Wine lays it out; the
// SDK headers leave it undocumented.
struct SystemHandleEntry {
  ULONG ownerProcessId;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  void* object;
  ACCESS_MASK grantedAccess;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};

// Handles the process holds, counted in the system's handle list: the
// HandleCount of the process list is the capacity of Wine's handle table, and
// GetProcessHandleCount reports nothing. -1 when the list cannot be read.
inline long CountHandles(DWORD processId) {
  long handles = -1;
  WithSystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), [&](const void* buffer) {
    const auto* list = static_cast<const SystemHandleList*>(buffer);
    handles = 0;
    for (ULONG i = 0; i < list->count; ++i)
      if (list->entries[i].ownerProcessId == processId) ++handles;
  });
  return handles;
}

}  // namespace bench
