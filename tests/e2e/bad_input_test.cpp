// Bad inputs beyond a faulty hook library: libraries the platform refuses to
// load, names taken by other kinds of objects, a main program that is not
// there, and companions in unusual places or under unusual names. Each ends
// in one clear box or a quiet end, never a crash, a hang or a second box.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "scenario.h"

namespace e2e {
namespace {

BOOL CALLBACK CollectVisibleDialog(HWND window, LPARAM context) {
  if (IsWindowVisible(window) && ClassNameOf(window) == L"#32770") {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  }
  return TRUE;
}

// Dialogs of any process, such as an error dialogue of the platform's shell.
std::vector<HWND> VisibleDialogsOfAnyProcess() {
  std::vector<HWND> dialogs;
  EnumWindows(CollectVisibleDialog, reinterpret_cast<LPARAM>(&dialogs));
  return dialogs;
}

// Seven levels of 39 characters: longer than MAX_PATH on its own.
std::wstring LongFolder() {
  std::wstring folder;
  for (wchar_t level = L'1'; level <= L'7'; ++level) {
    folder += (folder.empty() ? L"" : L"\\") + std::wstring(L"a-folder-deep-enough-to-pass-max-path-") + level;
  }
  return folder;
}

const std::wstring kNonAsciiFolder = L"フック・データ é ü";

const Layout kUsual = {L"Tavrel.x64.exe", L"", L"Tavrel.x64.exe", L"Tavrel.exe"};
const Layout kWithoutMainProgram = {L"Tavrel.x64.exe", L"", L"Tavrel.x64.exe", L""};
const Layout kLongPath = {L"Tavrel.x64.exe", LongFolder(), L"Tavrel.x64.exe", L"Tavrel.exe"};
const Layout kNonAsciiPath = {L"Tavrel.x64.exe", kNonAsciiFolder, L"Tavrel.x64.exe", L"Tavrel.exe"};
// Its main program would be itself.
const Layout kSingleExtension = {L"Tavrel.x64.exe", L"", L"Prog.exe", L""};

// A library the platform refuses: one box with the text for the code that
// LoadLibraryW leaves, then the companion runs on without a hook.
struct UnloadableCase {
  const char* name;
  const wchar_t* fixture;
  std::vector<std::wstring> hookEvents;
};

void PrintTo(const UnloadableCase& row, std::ostream* out) { *out << row.name; }

class UnloadableLibrary : public ::testing::TestWithParam<UnloadableCase> {};

TEST_P(UnloadableLibrary, ShowsOneBoxAndRunsOn) {
  const UnloadableCase& row = GetParam();
  Scenario scenario;
  scenario.PlaceHookLibrary(row.fixture);
  const DWORD loadingError = ErrorOfLoading(scenario.HookLibraryPath());
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  auto box = companion.WaitForMessageBox(deadline);
  ASSERT_TRUE(box.has_value()) << "no error box";
  EXPECT_EQ(box->caption, kApplicationTitle);
  EXPECT_EQ(box->text, ErrorBoxTextFor(loadingError)) << "code " << loadingError;
  EXPECT_EQ(box->buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(box->icon, BoxIcon::Error);
  ASSERT_TRUE(Dismiss(*box, deadline));

  ASSERT_TRUE(companion.ShowsNoBoxWithin(kSettleMs)) << "a second box";
  EXPECT_TRUE(companion.IsRunning());
  EXPECT_NE(companion.Window(L"TEscortForm"), nullptr);
  EXPECT_TRUE(MutexExists(kEscortMutexName));

  PostMessageW(companion.Window(L"TEscortForm"), WM_CLOSE, 0, 0);
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  EXPECT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);
  EXPECT_EQ(scenario.HookEventsOf(companion.ProcessId()), row.hookEvents);
  EXPECT_FALSE(MutexExists(kEscortMutexName));
  EXPECT_EQ(scenario.ProcessesStarted(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, UnloadableLibrary,
    ::testing::Values(UnloadableCase{"ThirtyTwoBit", L"hook_x86.dll", {}},
                      // The platform undoes the attach it refused at once.
                      UnloadableCase{"AttachRefused", L"hook_refuses_attach.dll", {L"loaded", L"freed"}}),
    [](const ::testing::TestParamInfo<UnloadableCase>& info) { return std::string(info.param.name); });

// Starts that take the hand-over branch: they end with exit code 0, show
// nothing, and open the main program when there is one to open.
struct HandOverCase {
  const char* name;
  Layout layout;
  UniqueHandle (*holdMainProgramName)(const wchar_t* name);  // nullptr: nothing holds it
  bool presenceHeld;
  bool mainProgramOpened;
};

void PrintTo(const HandOverCase& row, std::ostream* out) { *out << row.name; }

class QuietHandOver : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(QuietHandOver, EndsWithoutBoxAndStartsOnlyTheMainProgram) {
  const HandOverCase& row = GetParam();
  Scenario scenario(row.layout);
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramName;
  UniqueHandle presenceMutex;
  if (row.holdMainProgramName) mainProgramName = row.holdMainProgramName(kMainProgramMutexName);
  if (row.presenceHeld) presenceMutex = HoldMutex(kEscortMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  EXPECT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);

  if (row.mainProgramOpened) {
    ASSERT_TRUE(scenario.WaitForMainProgramStarts(1, deadline)) << "the main program was not opened";
    auto starts = scenario.MainProgramStarts();
    ASSERT_EQ(starts.size(), 1u);
    const auto arguments = CommandLineArguments(starts[0].fields[1]);
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(arguments[0], scenario.PathOf(row.layout.mainProgramName));
  }
  // Nothing but the main program was started: no second companion, no
  // helper of the platform reporting a failure.
  EXPECT_EQ(scenario.ProcessesStarted(), row.mainProgramOpened ? 2u : 1u);
  Deadline settled(kSettleMs);
  EXPECT_FALSE(PollUntil(settled, [] { return !VisibleDialogsOfAnyProcess().empty(); }))
      << "a dialogue showed after the companion ended";
  EXPECT_EQ(scenario.MainProgramStarts().size(), row.mainProgramOpened ? 1u : 0u);
  EXPECT_TRUE(scenario.HookEventsOf(companion.ProcessId()).empty()) << "the hook library was loaded";
  EXPECT_EQ(MutexExists(kEscortMutexName), row.presenceHeld);
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, QuietHandOver,
    ::testing::Values(
        // Another kind of object under the main program's name counts as no main program.
        HandOverCase{"MainProgramNameHeldByEvent", kUsual, HoldEvent, false, true},
        // The shell's failure to open it is ignored.
        HandOverCase{"MainProgramFileMissing", kWithoutMainProgram, nullptr, false, false},
        HandOverCase{"NonAsciiPath", kNonAsciiPath, nullptr, false, true},
        // Opening its own file would start it again, endlessly.
        HandOverCase{"SingleExtensionName", kSingleExtension, nullptr, false, false},
        HandOverCase{"SingleExtensionNameBesideRunningCompanion", kSingleExtension, HoldMutex, true, false}),
    [](const ::testing::TestParamInfo<HandOverCase>& info) { return std::string(info.param.name); });

// Companions in unusual places or under unusual names: beside a running main
// program they find their library where they lie and run as usual.
struct PlacementCase {
  const char* name;
  Layout layout;
};

void PrintTo(const PlacementCase& row, std::ostream* out) { *out << row.name; }

class UnusualPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(UnusualPlacement, LoadsTheLibraryBesideIt) {
  const PlacementCase& row = GetParam();
  Scenario scenario(row.layout);
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  // A library looked for in the wrong place shows a box instead.
  std::optional<MessageBoxView> box;
  PollUntil(deadline, [&] {
    box = FindMessageBox(companion.ProcessId(), deadline);
    return box || !companion.IsRunning() || !scenario.HookEventsOf(companion.ProcessId()).empty();
  });
  ASSERT_FALSE(box.has_value()) << "shown: " << ::testing::PrintToString(box->text);
  ASSERT_TRUE(scenario.WaitForHookEvent(companion.ProcessId(), L"install", deadline))
      << "the hook was not installed from " << ::testing::PrintToString(scenario.HookLibraryPath());
  ASSERT_NE(companion.WaitForWindow(L"TEscortForm", deadline), nullptr);
  EXPECT_TRUE(MutexExists(kEscortMutexName));

  PostMessageW(companion.Window(L"TEscortForm"), WM_CLOSE, 0, 0);
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 0u);
  EXPECT_TRUE(ending.boxes.empty()) << "shown: " << ::testing::PrintToString(ending.boxes.front().text);
  EXPECT_EQ(scenario.HookEventsOf(companion.ProcessId()),
            (std::vector<std::wstring>{L"loaded", L"install", L"uninstall presence-mutex=free", L"freed"}));
  EXPECT_FALSE(MutexExists(kEscortMutexName));
  EXPECT_EQ(scenario.ProcessesStarted(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, UnusualPlacement,
    ::testing::Values(PlacementCase{"LongPath", kLongPath}, PlacementCase{"NonAsciiPath", kNonAsciiPath},
                      PlacementCase{"SingleExtensionName", kSingleExtension}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
