// Start, install, close, a hundred times in a row: every run ends cleanly,
// and what an idle companion holds stays the same from the first run to the
// last.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "scenario.h"

namespace e2e {
namespace {

constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr auto kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);

// One entry of the system's handle list, as the platform lays it out.
struct HandleEntry {
  void* object;
  ULONG_PTR processId;
  ULONG_PTR value;
  ULONG grantedAccess;
  USHORT creatorBackTraceIndex;
  USHORT objectTypeIndex;
  ULONG attributes;
  ULONG reserved;
};
struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

// The system information of one kind, in a buffer grown until it fits.
std::vector<BYTE> SystemInformation(SYSTEM_INFORMATION_CLASS kind) {
  std::vector<BYTE> buffer(256 * 1024);
  for (;;) {
    ULONG needed = 0;
    NTSTATUS status = NtQuerySystemInformation(kind, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
      continue;
    }
    EXPECT_GE(status, 0) << "NtQuerySystemInformation(" << kind << ") failed with " << std::hex << status;
    if (status < 0) buffer.clear();
    return buffer;
  }
}

// GetProcessHandleCount answers 0 for every process in Wine; the system's
// handle list is right on both.
long HandleCountOf(DWORD processId) {
  std::vector<BYTE> buffer = SystemInformation(kSystemExtendedHandleInformation);
  if (buffer.empty()) return -1;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  return static_cast<long>(std::count_if(list->entries, list->entries + list->count,
                                         [&](const HandleEntry& entry) { return entry.processId == processId; }));
}

// Private bytes from the process list: Wine reports none through
// GetProcessMemoryInfo, but fills this from Linux's RssAnon and VmSwap.
SIZE_T PrivateBytesOf(DWORD processId) {
  std::vector<BYTE> buffer = SystemInformation(SystemProcessInformation);
  for (size_t offset = 0; offset < buffer.size();) {
    const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
    if (reinterpret_cast<ULONG_PTR>(process->UniqueProcessId) == processId) return process->VirtualMemoryCounters.PagefileUsage;
    if (process->NextEntryOffset == 0) break;
    offset += process->NextEntryOffset;
  }
  ADD_FAILURE() << "process " << processId << " is not in the process list";
  return 0;
}

template <typename T>
T MedianOf(std::vector<T> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// The first runs may still warm the platform's caches; after them a leak of
// even one handle per run shows.
constexpr size_t kWarmUpCycles = 3;
// Medians of this many runs at each end are compared for memory.
constexpr size_t kMemoryWindow = 10;
// A fresh idle companion's private memory varies by a few pages under Wine.
constexpr SIZE_T kMemoryToleranceBytes = 256 * 1024;

TEST(Cycles, StartInstallCloseRepeatsCleanlyWithFlatHandlesAndMemory) {
  const int cycles = 100;
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  std::vector<long> handles;
  std::vector<SIZE_T> privateBytes;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    SCOPED_TRACE(::testing::Message() << "cycle " << cycle << " of " << cycles);
    Deadline deadline;
    Companion& companion = scenario.Start();
    ASSERT_TRUE(scenario.WaitForHookEvent(companion.ProcessId(), L"install", deadline)) << "not installed";
    HWND mainWindow = companion.WaitForWindow(L"TEscortForm", deadline);
    ASSERT_NE(mainWindow, nullptr);
    // Once it has answered, it waits for messages: idle.
    DWORD_PTR ignored = 0;
    ASSERT_NE(SendMessageTimeoutW(mainWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, deadline.RemainingMs(), &ignored), 0);
    handles.push_back(HandleCountOf(companion.ProcessId()));
    privateBytes.push_back(PrivateBytesOf(companion.ProcessId()));

    PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    Companion::Ending ending = companion.WaitForEnd(deadline);
    ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
    ASSERT_EQ(*ending.exitCode, 0u);
    ASSERT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);
    ASSERT_EQ(scenario.HookEventsOf(companion.ProcessId()),
              (std::vector<std::wstring>{L"loaded", L"install", L"uninstall presence-mutex=free", L"freed"}));
    ASSERT_FALSE(MutexExists(kEscortMutexName)) << "the presence mutex outlived the run";
  }

  ASSERT_GT(handles.size(), kWarmUpCycles);
  const std::vector<long> afterWarmUp(handles.begin() + kWarmUpCycles, handles.end());
  EXPECT_GT(afterWarmUp.front(), 0);
  EXPECT_EQ(*std::min_element(afterWarmUp.begin(), afterWarmUp.end()),
            *std::max_element(afterWarmUp.begin(), afterWarmUp.end()))
      << "handle counts per run: " << ::testing::PrintToString(handles);

  ASSERT_GE(privateBytes.size(), 2 * kMemoryWindow);
  const SIZE_T firstMedian = MedianOf(std::vector<SIZE_T>(privateBytes.begin(), privateBytes.begin() + kMemoryWindow));
  const SIZE_T lastMedian = MedianOf(std::vector<SIZE_T>(privateBytes.end() - kMemoryWindow, privateBytes.end()));
  EXPECT_GT(firstMedian, 0u);
  EXPECT_LE(lastMedian, firstMedian + kMemoryToleranceBytes)
      << "private bytes per run: " << ::testing::PrintToString(privateBytes);
  std::printf("%d cycles: handles %ld first, %ld last; private KiB %zu first-%zu median, %zu last-%zu median\n",
              cycles, handles.front(), handles.back(), firstMedian / 1024, kMemoryWindow, lastMedian / 1024,
              kMemoryWindow);
}

}  // namespace
}  // namespace e2e
