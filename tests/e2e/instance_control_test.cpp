// The presence name taken by another kind of object, or by a mutex the
// companion may not use. (Companions racing for it: start_race_test.cpp.)
#include <windows.h>

#include <gtest/gtest.h>

#include "scenario.h"

namespace e2e {
namespace {

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

}  // namespace
}  // namespace e2e
