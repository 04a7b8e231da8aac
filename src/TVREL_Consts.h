#pragma once
// The two named mutexes through which the companion and its main program see
// each other.

// Held by the main program while it runs; only ever probed here.
inline constexpr wchar_t MainProgramMutexName[] = L"{F8954142-4587-421E-9519-CE85C98EE0F6}";
// Held by the running companion: the mark that one already runs.
inline constexpr wchar_t EscortMutexName[] = L"{F698CC53-C3FF-4BD8-AEC8-A9B9FFFE7D9A}";

// Whether a mutex of that name can be opened with full access. A mutex we may
// not open, or another kind of object under the name, counts as absent.
bool MutexExists(const wchar_t* name);
