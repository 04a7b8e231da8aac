// A processor fault inside the hook library: the last-resort report names the
// library and the faulting offset, and the companion ends with exit code 1
// without running any more of the library.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "scenario.h"

namespace e2e {
namespace {

// The system's text for the Win32 code an NTSTATUS maps to, trimmed of
// trailing blanks, controls and dots, then ended by one dot.
std::wstring ReportMessageFor(NTSTATUS status) {
  std::wstring text = ErrorBoxTextFor(RtlNtStatusToDosError(status));
  if (!text.empty() && text.back() != L'.') text += L'.';
  return text;
}

std::wstring Hex16(ULONGLONG value) {
  wchar_t digits[17] = {};
  swprintf(digits, ARRAYSIZE(digits), L"%016llX", value);
  return digits;
}

TEST(ProcessorFault, InInstallHookEndsInLastResortReportAndExitCodeOne) {
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_faults.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  auto box = companion.WaitForMessageBox(deadline);
  ASSERT_TRUE(box.has_value()) << "no report; exit code "
                               << ::testing::PrintToString(companion.ExitCode());

  // The library logs where its faulting instruction lies before it runs it.
  auto events = scenario.HookEventsOf(companion.ProcessId());
  ASSERT_EQ(events.size(), 3u) << ::testing::PrintToString(events);
  EXPECT_EQ(events[0], L"loaded");
  EXPECT_EQ(events[1], L"install");
  const std::wstring faultPrefix = L"fault-at ";
  ASSERT_EQ(events[2].compare(0, faultPrefix.size(), faultPrefix), 0) << events[2].c_str();
  const ULONGLONG faultOffset = std::stoull(events[2].substr(faultPrefix.size()));

  EXPECT_EQ(box->caption, L"アプリケーションエラー");
  EXPECT_EQ(box->text, L"EAccessViolation がモジュール Tavrel.x64.dll の " + Hex16(faultOffset) +
                           L" で発生しました。\r\n" + ReportMessageFor(STATUS_ACCESS_VIOLATION) + L"\r\n");
  EXPECT_EQ(box->buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(box->icon, BoxIcon::Error);
  // Task-modal: the box disables the thread's other top-level windows.
  HWND applicationWindow = companion.Window(L"TApplication");
  ASSERT_NE(applicationWindow, nullptr);
  EXPECT_FALSE(IsWindowEnabled(applicationWindow));

  ASSERT_TRUE(Dismiss(*box, deadline));
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 1u);
  EXPECT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);
  // Nothing more of the library ran: no UninstallHook, no detach.
  EXPECT_EQ(scenario.HookEventsOf(companion.ProcessId()), events);
  // No debugger or crash dialogue was started for it.
  EXPECT_EQ(scenario.ProcessesStarted(), 1u);
  EXPECT_FALSE(MutexExists(kEscortMutexName));
}

}  // namespace
}  // namespace e2e
