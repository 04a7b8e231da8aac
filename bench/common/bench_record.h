#pragma once
// What the measurement hook library and the main program stub leave for the
// benchmark driver: one named shared record, and an event per kind of entry
// so that the driver waits on the moment itself instead of polling for it.

#include <cstdint>

namespace bench {

constexpr wchar_t kRecordName[] = L"TavrelBench.Record";
constexpr wchar_t kInstalledEventName[] = L"TavrelBench.Installed";
constexpr wchar_t kMainStartedEventName[] = L"TavrelBench.MainStarted";

constexpr wchar_t kMainProgramMutexName[] = L"{F8954142-4587-421E-9519-CE85C98EE0F6}";
constexpr wchar_t kPresenceMutexName[] = L"{F698CC53-C3FF-4BD8-AEC8-A9B9FFFE7D9A}";

// Times are FILETIME ticks (100 ns since 1601), the unit of GetProcessTimes,
// so they compare directly with a process's creation time.
struct Record {
  // Written by InstallHook in the program under measurement.
  std::uint64_t installTime;
  std::uint32_t installProcessId;
  std::uint64_t installPrivateBytes;  // 0 when unknown
  // Written by the main program stub when it is started.
  std::uint64_t mainCreationTime;
  std::uint32_t mainProcessId;
};

}  // namespace bench
