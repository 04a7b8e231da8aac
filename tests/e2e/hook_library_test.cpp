// The hook library through the life of a run: each way loading, installing
// and removing it can go, as seen in the error boxes and the library's log.
#include <windows.h>

#include <gtest/gtest.h>

#include "scenario.h"

namespace e2e {
namespace {

enum class StartError {
  None,
  OfCode,         // the text for a fixed last-error code
  OfLoadingFile,  // the text for the code that loading the placed file leaves
};

struct HookLibraryCase {
  const char* name;
  const wchar_t* fixture;  // placed as Tavrel.x64.dll; nullptr: no library at all
  StartError startError;
  DWORD errorCode;
  std::vector<std::wstring> hookEvents;  // everything the library saw, in order
  const wchar_t* teardownBoxText;        // nullptr: no box when closing
};

void PrintTo(const HookLibraryCase& row, std::ostream* out) { *out << row.name; }

void ExpectErrorBox(const MessageBoxView& box, const std::wstring& text) {
  EXPECT_EQ(box.caption, kApplicationTitle);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(box.icon, BoxIcon::Error);
}

class HookLibrary : public ::testing::TestWithParam<HookLibraryCase> {};

TEST_P(HookLibrary, ReportsFailuresOnceAndUnloadsAtTeardown) {
  const HookLibraryCase& row = GetParam();
  Scenario scenario;
  if (row.fixture) scenario.PlaceHookLibrary(row.fixture);
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  if (row.startError != StartError::None) {
    const DWORD code = row.startError == StartError::OfCode
                           ? row.errorCode
                           : ErrorOfLoading(scenario.PathOf(L"Tavrel.x64.dll"));
    auto box = companion.WaitForMessageBox(deadline);
    ASSERT_TRUE(box.has_value()) << "no error box";
    ExpectErrorBox(*box, ErrorBoxTextFor(code));
    ASSERT_TRUE(Dismiss(*box, deadline));
  }

  // It runs on, hidden and holding its presence mutex, after any failure.
  ASSERT_NE(companion.WaitForWindow(L"TEscortForm", deadline), nullptr);
  EXPECT_TRUE(companion.IsRunning());
  EXPECT_TRUE(MutexExists(kEscortMutexName));

  PostMessageW(companion.Window(L"TEscortForm"), WM_CLOSE, 0, 0);
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  if (row.teardownBoxText) {
    ASSERT_EQ(ending.boxes.size(), 1u);
    ExpectErrorBox(ending.boxes[0], row.teardownBoxText);
  } else {
    EXPECT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);
  }
  EXPECT_EQ(scenario.HookEventsOf(companion.ProcessId()), row.hookEvents);
  EXPECT_FALSE(MutexExists(kEscortMutexName));
}

const std::vector<std::wstring> kInstalledAndRemoved = {L"loaded", L"install",
                                                        L"uninstall presence-mutex=free", L"freed"};

INSTANTIATE_TEST_SUITE_P(
    Variants, HookLibrary,
    ::testing::Values(
        HookLibraryCase{"Installs", L"hook_ok.dll", StartError::None, 0, kInstalledAndRemoved, nullptr},
        HookLibraryCase{"Missing", nullptr, StartError::OfCode, ERROR_MOD_NOT_FOUND, {}, nullptr},
        HookLibraryCase{"NotALibrary", L"not_a_library.txt", StartError::OfLoadingFile, 0, {}, nullptr},
        HookLibraryCase{"WithoutInstallHook", L"hook_no_install.dll", StartError::OfCode,
                        ERROR_PROC_NOT_FOUND, {L"loaded", L"freed"}, nullptr},
        HookLibraryCase{"WithoutUninstallHook", L"hook_no_uninstall.dll", StartError::OfCode,
                        ERROR_PROC_NOT_FOUND, {L"loaded", L"freed"}, nullptr},
        HookLibraryCase{"InstallFailsWithSystemText", L"hook_fail_text.dll", StartError::OfCode,
                        ERROR_ACCESS_DENIED, kInstalledAndRemoved, nullptr},
        // A code the system has no text for gives an empty box.
        HookLibraryCase{"InstallFailsWithoutSystemText", L"hook_fail_notext.dll", StartError::OfCode,
                        0xE0000123, kInstalledAndRemoved, nullptr},
        // Only the low 8 bits of the result count.
        HookLibraryCase{"InstallReturns0x100", L"hook_returns_0x100.dll", StartError::OfCode,
                        ERROR_GEN_FAILURE, kInstalledAndRemoved, nullptr},
        // The exception leaves the unloading before FreeLibrary: the library
        // goes with the process.
        HookLibraryCase{"UninstallThrows", L"hook_uninstall_throws.dll", StartError::None, 0,
                        {L"loaded", L"install", L"uninstall presence-mutex=free", L"exit-detach"},
                        L"hook removal failed."}),
    [](const ::testing::TestParamInfo<HookLibraryCase>& info) { return std::string(info.param.name); });

TEST(HookLibraryFixture, CodeWithoutSystemTextHasNone) {
  EXPECT_EQ(ErrorBoxTextFor(0xE0000123), L"");
  EXPECT_NE(ErrorBoxTextFor(ERROR_ACCESS_DENIED), L"");
}

TEST(RunLifecycle, InstallsOnceHandsOverSecondStartAndUnloadsAfterReleasingPresence) {
  Scenario scenario;
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& first = scenario.Start();
  ASSERT_TRUE(scenario.WaitForHookEvent(first.ProcessId(), L"install", deadline));
  ASSERT_NE(first.WaitForWindow(L"TEscortForm", deadline), nullptr);
  EXPECT_TRUE(MutexExists(kEscortMutexName));

  Companion& second = scenario.Start();
  Companion::Ending handedOver = second.WaitForEnd(deadline);
  ASSERT_TRUE(handedOver.exitCode.has_value()) << "the second start did not end";
  EXPECT_EQ(*handedOver.exitCode, 0u);
  EXPECT_TRUE(handedOver.boxes.empty());
  EXPECT_TRUE(scenario.WaitForMainProgramStarts(1, deadline)) << "the second start did not hand over";
  EXPECT_TRUE(scenario.HookEventsOf(second.ProcessId()).empty());
  EXPECT_TRUE(first.IsRunning());
  EXPECT_EQ(scenario.HookEventsOf(first.ProcessId()), (std::vector<std::wstring>{L"loaded", L"install"}));

  PostMessageW(first.Window(L"TEscortForm"), WM_CLOSE, 0, 0);
  Companion::Ending ending = first.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  EXPECT_TRUE(ending.boxes.empty());
  EXPECT_EQ(scenario.HookEventsOf(first.ProcessId()), kInstalledAndRemoved);
  EXPECT_EQ(scenario.MainProgramStarts().size(), 1u);
  EXPECT_FALSE(MutexExists(kEscortMutexName));
}

}  // namespace
}  // namespace e2e
