// Starts that only open the main program: nothing shown, nothing created.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "scenario.h"

namespace e2e {
namespace {

struct HandOverCase {
  const char* name;
  bool mainProgramRuns;
  bool otherCompanionRuns;
};

void PrintTo(const HandOverCase& row, std::ostream* out) { *out << row.name; }

class HandOver : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(HandOver, OpensMainProgramWithoutArgumentsAndEnds) {
  const HandOverCase& row = GetParam();
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex;
  UniqueHandle otherCompanionMutex;
  if (row.mainProgramRuns) mainProgramMutex = HoldMutex(kMainProgramMutexName);
  if (row.otherCompanionRuns) otherCompanionMutex = HoldMutex(kEscortMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  EXPECT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);

  ASSERT_TRUE(scenario.WaitForMainProgramStarts(1, deadline)) << "the main program was not opened";
  auto starts = scenario.MainProgramStarts();
  ASSERT_EQ(starts.size(), 1u);
  ASSERT_EQ(starts[0].fields.size(), 3u);
  const std::wstring& commandLine = starts[0].fields[1];
  EXPECT_EQ(CommandLineArguments(commandLine), std::vector<std::wstring>{scenario.PathOf(L"Tavrel.exe")})
      << "command line: " << ::testing::PrintToString(commandLine);
  // No working directory is passed: the main program works where the companion was started.
  EXPECT_EQ(starts[0].fields[2], scenario.StartDirectory());

  EXPECT_TRUE(scenario.HookEventsOf(companion.ProcessId()).empty()) << "the hook library was loaded";
  if (!row.otherCompanionRuns) {
    EXPECT_FALSE(MutexExists(kEscortMutexName)) << "the presence mutex outlived the hand-over";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Probes, HandOver,
    ::testing::Values(HandOverCase{"MainProgramNotRunning", false, false},
                      HandOverCase{"OnlyPresenceMutexExists", false, true},
                      HandOverCase{"AnotherCompanionRuns", true, true}),
    [](const ::testing::TestParamInfo<HandOverCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
