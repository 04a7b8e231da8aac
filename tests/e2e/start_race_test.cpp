// Many companions started at the same moment beside a running main program,
// round after round: exactly one runs each time.
//
// Long run (20 rounds instead of 3), outside ctest's time limit:
//   TAVREL_LONG_RUN=1 scripts/wine-run build/bin/tavrel_e2e.exe --gtest_filter='StartRace.*'
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "scenario.h"

namespace e2e {
namespace {

constexpr int kCompanionsPerRound = 16;

TEST(StartRace, EachRoundExactlyOneOfSixteenRunsAndLeavesNoPresenceBehind) {
  const int rounds = Repetitions(3, 20);
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  for (int round = 1; round <= rounds; ++round) {
    SCOPED_TRACE(::testing::Message() << "round " << round << " of " << rounds);
    const size_t mainProgramStartsBefore = scenario.MainProgramStarts().size();
    Deadline deadline;
    std::vector<Companion*> companions = scenario.StartTogether(kCompanionsPerRound);

    // Settled when every companion has ended or runs with its main window and
    // no box; the losers' boxes are read and dismissed as they come.
    std::vector<MessageBoxView> boxes;
    std::vector<Companion*> running;
    bool settled = PollUntil(deadline, [&] {
      bool undecided = false;
      running.clear();
      for (Companion* companion : companions) {
        if (!companion->IsRunning()) continue;
        if (auto box = FindMessageBox(companion->ProcessId(), deadline)) {
          boxes.push_back(*box);
          Dismiss(*box, deadline);
          undecided = true;
        } else if (companion->Window(L"TEscortForm")) {
          running.push_back(companion);
        } else {
          undecided = true;
        }
      }
      return !undecided;
    });
    ASSERT_TRUE(settled) << "still undecided: "
                         << std::count_if(companions.begin(), companions.end(),
                                          [](Companion* c) { return c->IsRunning(); })
                         << " running";
    ASSERT_EQ(running.size(), 1u) << "companions running side by side";
    Companion* survivor = running.front();

    for (const MessageBoxView& box : boxes) ExpectStartupErrorBox(box, L"Mutex already exists");
    for (Companion* companion : companions) {
      if (companion == survivor) continue;
      EXPECT_EQ(companion->ExitCode(), std::optional<DWORD>(0));
      EXPECT_TRUE(scenario.HookEventsOf(companion->ProcessId()).empty()) << "a loser loaded the hook";
    }
    // Every loser that showed no box handed over.
    const size_t handedOver = kCompanionsPerRound - 1 - boxes.size();
    EXPECT_TRUE(scenario.WaitForMainProgramStarts(mainProgramStartsBefore + handedOver, deadline));
    EXPECT_EQ(scenario.MainProgramStarts().size(), mainProgramStartsBefore + handedOver);
    ASSERT_TRUE(scenario.WaitForHookEvent(survivor->ProcessId(), L"install", deadline));
    EXPECT_EQ(scenario.HookEventsOf(survivor->ProcessId()), (std::vector<std::wstring>{L"loaded", L"install"}));
    EXPECT_TRUE(MutexExists(kEscortMutexName));

    PostMessageW(survivor->Window(L"TEscortForm"), WM_CLOSE, 0, 0);
    Companion::Ending ending = survivor->WaitForEnd(deadline);
    ASSERT_TRUE(ending.exitCode.has_value()) << "the survivor did not end";
    EXPECT_EQ(*ending.exitCode, 0u);
    EXPECT_TRUE(ending.boxes.empty());
    EXPECT_EQ(scenario.HookEventsOf(survivor->ProcessId()),
              (std::vector<std::wstring>{L"loaded", L"install", L"uninstall presence-mutex=free", L"freed"}));
    ASSERT_FALSE(MutexExists(kEscortMutexName)) << "the presence mutex outlived the round";
  }
}

}  // namespace
}  // namespace e2e
