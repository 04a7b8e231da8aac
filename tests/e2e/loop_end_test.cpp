// What ends the message loop, and what does not.
#include <windows.h>

#include <gtest/gtest.h>

#include "running_companion.h"
#include "scenario.h"

namespace e2e {
namespace {

class LoopTest : public RunningCompanion {
 protected:
  HWND WindowFor(bool toApplicationWindow) const {
    return toApplicationWindow ? applicationWindow_ : mainWindow_;
  }

  // Ends it with exit code 0 and no box, the hook removed and unloaded with
  // the presence mutex in the given state, and the presence name free after.
  void ExpectCleanEnd(const wchar_t* presenceDuringUninstall) {
    Companion::Ending ending = companion_->WaitForEnd(deadline_);
    ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
    EXPECT_EQ(*ending.exitCode, 0u);
    EXPECT_TRUE(ending.boxes.empty());
    EXPECT_EQ(scenario_.HookEventsOf(companion_->ProcessId()),
              (std::vector<std::wstring>{L"loaded", L"install",
                                         std::wstring(L"uninstall presence-mutex=") + presenceDuringUninstall,
                                         L"freed"}));
    EXPECT_FALSE(MutexExists(kEscortMutexName)) << "the presence mutex outlived the companion";
  }

  void ExpectStillRunning() const {
    EXPECT_TRUE(companion_->IsRunning());
    EXPECT_TRUE(IsWindow(mainWindow_));
    EXPECT_TRUE(IsWindow(applicationWindow_));
    EXPECT_TRUE(MutexExists(kEscortMutexName));
    EXPECT_EQ(scenario_.HookEventsOf(companion_->ProcessId()),
              (std::vector<std::wstring>{L"loaded", L"install"}));
  }

  // Returns once the companion's thread has handled everything sent before.
  void RoundTrip() const {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(applicationWindow_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, deadline_.RemainingMs(),
                        &ignored);
  }
};

enum class Ending { Close, SysCommandClose, QuitToThread, EndSession };

struct LoopEndCase {
  const char* name;
  Ending ending;
  bool toApplicationWindow;
  const wchar_t* presenceDuringUninstall;  // "held" or "free"
};

void PrintTo(const LoopEndCase& row, std::ostream* out) { *out << row.name; }

class LoopEnd : public LoopTest, public ::testing::WithParamInterface<LoopEndCase> {};

TEST_P(LoopEnd, EndsWithExitCodeZeroAndUnloadsHook) {
  const LoopEndCase& row = GetParam();
  HWND target = WindowFor(row.toApplicationWindow);
  DWORD_PTR ignored = 0;
  switch (row.ending) {
    case Ending::Close:
      ASSERT_TRUE(PostMessageW(target, WM_CLOSE, 0, 0));
      break;
    case Ending::SysCommandClose:
      ASSERT_TRUE(PostMessageW(target, WM_SYSCOMMAND, SC_CLOSE, 0));
      break;
    case Ending::QuitToThread:
      ASSERT_TRUE(PostThreadMessageW(companion_->ThreadId(), WM_QUIT, 0, 0));
      break;
    case Ending::EndSession:
      // The companion ends inside the handler, so no answer comes back.
      SendMessageTimeoutW(target, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, deadline_.RemainingMs(),
                          &ignored);
      break;
  }
  ExpectCleanEnd(row.presenceDuringUninstall);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, LoopEnd,
    ::testing::Values(
        LoopEndCase{"CloseToMainWindow", Ending::Close, false, L"free"},
        LoopEndCase{"CloseToApplicationWindow", Ending::Close, true, L"free"},
        LoopEndCase{"SysCommandCloseToMainWindow", Ending::SysCommandClose, false, L"free"},
        LoopEndCase{"SysCommandCloseToApplicationWindow", Ending::SysCommandClose, true, L"free"},
        LoopEndCase{"QuitPostedToThread", Ending::QuitToThread, false, L"free"},
        // The session's end tears down from inside the window procedure: the
        // hook goes while the presence mutex is still held.
        LoopEndCase{"EndSession", Ending::EndSession, true, L"held"}),
    [](const ::testing::TestParamInfo<LoopEndCase>& info) { return std::string(info.param.name); });

// Messages that the companion answers or ignores without ending.
struct KeepsRunningCase {
  const char* name;
  bool toApplicationWindow;
  UINT message;
  WPARAM wParam;
  bool answerMatters;
  LRESULT expectedAnswer;
};

void PrintTo(const KeepsRunningCase& row, std::ostream* out) { *out << row.name; }

class KeepsRunning : public LoopTest, public ::testing::WithParamInterface<KeepsRunningCase> {};

TEST_P(KeepsRunning, AfterMessage) {
  const KeepsRunningCase& row = GetParam();
  DWORD_PTR answer = 0;
  ASSERT_NE(SendMessageTimeoutW(WindowFor(row.toApplicationWindow), row.message, row.wParam, 0,
                                SMTO_ABORTIFHUNG, deadline_.RemainingMs(), &answer),
            0)
      << "no answer";
  if (row.answerMatters) {
    EXPECT_EQ(static_cast<LRESULT>(answer), row.expectedAnswer);
  }
  // Anything the handler queued for itself is handled before this returns.
  RoundTrip();
  ExpectStillRunning();
  PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
  ExpectCleanEnd(L"free");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, KeepsRunning,
    ::testing::Values(
        KeepsRunningCase{"QueryEndSessionToApplicationWindow", true, WM_QUERYENDSESSION, 0, true, 1},
        KeepsRunningCase{"QueryEndSessionToMainWindow", false, WM_QUERYENDSESSION, 0, true, 1},
        KeepsRunningCase{"EndSessionZeroToApplicationWindow", true, WM_ENDSESSION, 0, false, 0},
        KeepsRunningCase{"EndSessionZeroToMainWindow", false, WM_ENDSESSION, 0, false, 0},
        KeepsRunningCase{"EndSessionToMainWindow", false, WM_ENDSESSION, TRUE, false, 0},
        KeepsRunningCase{"SessionChangeToApplicationWindow", true, WM_WTSSESSION_CHANGE,
                         WTS_SESSION_LOCK, false, 0}),
    [](const ::testing::TestParamInfo<KeepsRunningCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
