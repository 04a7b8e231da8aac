// The session ends for real: Wine's own end-of-session tool sends every
// window of the session WM_QUERYENDSESSION and WM_ENDSESSION, as the platform
// does at log-off, and shows an "end task" prompt for a program that does not
// answer within its time. It kills no process, and the driver has no window,
// so the driver lives on to check the outcome.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "scenario.h"

namespace e2e {
namespace {

// Ends the session's programs the way log-off does, without killing any.
class SessionEnd {
 public:
  SessionEnd() {
    wchar_t commandLine[] = L"wineboot.exe --end-session";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
      ADD_FAILURE() << "cannot start wineboot: " << GetLastError();
      return;
    }
    process_.reset(started.hProcess);
    CloseHandle(started.hThread);
    processId_ = started.dwProcessId;
  }
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;
  ~SessionEnd() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 1);
  }

  // Waits for the tool to finish; true when it did in time. Any prompt it
  // shows meanwhile is kept and left open.
  bool WaitForFinish(const Deadline& deadline) {
    return PollUntil(deadline, [&] {
      for (HWND prompt : TopLevelWindowsOf(processId_, L"#32770")) {
        if (IsWindowVisible(prompt) && seen_.insert(prompt).second) prompts_.push_back(TextOf(prompt));
      }
      return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
    });
  }

  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  const std::vector<std::wstring>& Prompts() const { return prompts_; }

 private:
  UniqueHandle process_;
  DWORD processId_ = 0;
  std::set<HWND> seen_;
  std::vector<std::wstring> prompts_;  // captions of the prompts it showed
};

struct SessionEndCase {
  const char* name;
  const wchar_t* fixture;
  bool errorBoxOpen;  // the failed installation's box still shows when the session ends
};

void PrintTo(const SessionEndCase& row, std::ostream* out) { *out << row.name; }

class EndOfSession : public ::testing::TestWithParam<SessionEndCase> {};

TEST_P(EndOfSession, UnhooksAndEndsWithExitCodeZeroWithoutPrompt) {
  const SessionEndCase& row = GetParam();
  Scenario scenario;
  scenario.PlaceHookLibrary(row.fixture);
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  ASSERT_TRUE(scenario.WaitForHookEvent(companion.ProcessId(), L"install", deadline)) << "no installation";
  if (row.errorBoxOpen) {
    auto box = companion.WaitForMessageBox(deadline);
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_EQ(box->text, ErrorBoxTextFor(ERROR_ACCESS_DENIED));
  } else {
    ASSERT_NE(companion.WaitForWindow(L"TEscortForm", deadline), nullptr);
  }

  SessionEnd sessionEnd;
  ASSERT_TRUE(sessionEnd.WaitForFinish(deadline)) << "the session did not end";
  EXPECT_EQ(sessionEnd.ExitCode(), 0u) << "the end of the session was refused";
  EXPECT_EQ(sessionEnd.Prompts(), std::vector<std::wstring>{}) << "an end-task prompt showed";

  // Nothing is dismissed: the companion must end by itself.
  ASSERT_TRUE(PollUntil(deadline, [&] { return !companion.IsRunning(); })) << "the companion still runs";
  EXPECT_EQ(companion.ExitCode(), std::optional<DWORD>(0));
  // The hook goes from inside the window procedure, while the presence
  // mutex is still held; the mutex goes with the process.
  EXPECT_EQ(scenario.HookEventsOf(companion.ProcessId()),
            (std::vector<std::wstring>{L"loaded", L"install", L"uninstall presence-mutex=held", L"freed"}));
  EXPECT_FALSE(MutexExists(kEscortMutexName));
}

INSTANTIATE_TEST_SUITE_P(
    WineSession, EndOfSession,
    ::testing::Values(SessionEndCase{"WhileIdle", L"hook_ok.dll", false},
                      SessionEndCase{"WithErrorBoxOpen", L"hook_fail_text.dll", true}),
    [](const ::testing::TestParamInfo<SessionEndCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
