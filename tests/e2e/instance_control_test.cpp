// The presence mutex: a name taken by another kind of object, and several
// companions racing for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "scenario.h"

namespace e2e {
namespace {

void ExpectStartupErrorBox(const MessageBoxView& box, const wchar_t* text) {
  EXPECT_EQ(box.caption, kApplicationTitle);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(box.icon, BoxIcon::Error);
}

// Objects under the presence name that the probe cannot open as a mutex, and
// that the creation then cannot use either.
struct UnusableNameCase {
  const char* name;
  UniqueHandle (*hold)(const wchar_t* name);
};

void PrintTo(const UnusableNameCase& row, std::ostream* out) { *out << row.name; }

class UnusablePresenceName : public ::testing::TestWithParam<UnusableNameCase> {};

TEST_P(UnusablePresenceName, ReportsCreationFailure) {
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);
  UniqueHandle squatter = GetParam().hold(kEscortMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  ASSERT_EQ(ending.boxes.size(), 1u);
  ExpectStartupErrorBox(ending.boxes[0], L"Mutex creation failed");
  EXPECT_TRUE(scenario.MainProgramStarts().empty()) << "the main program was opened";
  EXPECT_TRUE(scenario.HookEventsOf(companion.ProcessId()).empty()) << "the hook library was loaded";
}

INSTANTIATE_TEST_SUITE_P(
    Squatters, UnusablePresenceName,
    ::testing::Values(UnusableNameCase{"Event", HoldEvent},
                      UnusableNameCase{"MutexDenyingAccess", HoldMutexDenyingAccess}),
    [](const ::testing::TestParamInfo<UnusableNameCase>& info) { return std::string(info.param.name); });

TEST(PresenceMutex, OfCompanionsStartedTogetherExactlyOneRuns) {
  constexpr int kCompanions = 6;
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  std::vector<Companion*> companions = scenario.StartTogether(kCompanions);
  std::vector<MessageBoxView> boxes;
  Companion* survivor = nullptr;
  // The losers either hand over or report the lost race; the boxes are
  // dismissed as they come so those companions can end.
  bool settled = PollUntil(deadline, [&] {
    int ended = 0;
    survivor = nullptr;
    for (Companion* companion : companions) {
      if (!companion->IsRunning()) {
        ++ended;
      } else if (auto box = FindMessageBox(companion->ProcessId(), deadline)) {
        boxes.push_back(*box);
        Dismiss(*box, deadline);
      } else if (companion->Window(L"TEscortForm")) {
        survivor = companion;
      }
    }
    return ended == kCompanions - 1 && survivor != nullptr;
  });
  ASSERT_TRUE(settled) << "still running: "
                       << std::count_if(companions.begin(), companions.end(),
                                        [](Companion* c) { return c->IsRunning(); });

  for (Companion* companion : companions) {
    if (companion == survivor) continue;
    EXPECT_EQ(companion->ExitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(scenario.HookEventsOf(companion->ProcessId()).empty()) << "a loser loaded the hook";
  }
  for (const MessageBoxView& box : boxes) ExpectStartupErrorBox(box, L"Mutex already exists");
  size_t handedOver = kCompanions - 1 - boxes.size();
  EXPECT_TRUE(scenario.WaitForMainProgramStarts(handedOver, deadline));
  EXPECT_EQ(scenario.MainProgramStarts().size(), handedOver);
  ASSERT_TRUE(scenario.WaitForHookEvent(survivor->ProcessId(), L"install", deadline));
  EXPECT_EQ(scenario.HookEventsOf(survivor->ProcessId()), (std::vector<std::wstring>{L"loaded", L"install"}));
  EXPECT_TRUE(MutexExists(kEscortMutexName));

  PostMessageW(survivor->Window(L"TEscortForm"), WM_CLOSE, 0, 0);
  Companion::Ending ending = survivor->WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the survivor did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  EXPECT_TRUE(ending.boxes.empty());
  EXPECT_FALSE(MutexExists(kEscortMutexName)) << "the presence mutex outlived the companions";
}

}  // namespace
}  // namespace e2e
