#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "shell/Application.h"

namespace {

// The shell's windows exist once per process; these tests share them.
TApplication& Shell() {
  static TApplication* shell = new TApplication();
  return *shell;
}

TEST(ApplicationTest, RunsCallsQueuedByOtherThreadsOnItsOwnThread) {
  TApplication& shell = Shell();
  struct Call {
    std::atomic<DWORD> ranOnThread{0};
  } call;
  std::thread other([&] {
    shell.Queue([](void* context) {
      static_cast<Call*>(context)->ranOnThread = GetCurrentThreadId();
    }, &call);
  });
  other.join();
  // A loop asleep in WaitMessage wakes only for a message.
  EXPECT_TRUE(HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) << "the loop was not woken";
  EXPECT_EQ(call.ranOnThread, 0u) << "ran before the loop turned";
  for (int turn = 0; turn < 3 && !call.ranOnThread; ++turn) shell.HandleMessage();
  EXPECT_EQ(call.ranOnThread, GetCurrentThreadId());
}

TEST(ApplicationTest, TitleFollowsTheTaskBarRule) {
  TApplication& shell = Shell();
  EXPECT_EQ(shell.Title(), L"tavrel_unit_tests");  // from the file name
  shell.SetTitle(L"Tavrel.x64");
  wchar_t caption[64] = L"";
  GetWindowTextW(shell.Handle(), caption, 64);
  EXPECT_STREQ(caption, L"Tavrel.x64");
  EXPECT_EQ(shell.Title(), L"Tavrel.x64");
  // While the application window reads "", the stored title is the title.
  SetWindowTextW(shell.Handle(), L"");
  EXPECT_EQ(shell.Title(), L"Tavrel.x64");
  shell.SetMainFormOnTaskBar(true);
  GetWindowTextW(shell.Handle(), caption, 64);
  EXPECT_STREQ(caption, L"");
  EXPECT_TRUE(GetWindowLongPtrW(shell.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  shell.SetTitle(L"Other");
  GetWindowTextW(shell.Handle(), caption, 64);
  EXPECT_STREQ(caption, L"");
  EXPECT_EQ(shell.Title(), L"Other");
}

}  // namespace
