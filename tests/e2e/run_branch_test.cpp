// The running companion as other processes see it: its hidden windows, its
// presence mutex, and the client size of its main window at the system DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "running_companion.h"
#include "scenario.h"

namespace e2e {
namespace {

class ClosableCompanion : public RunningCompanion {
 protected:
  // Closes the companion the ordinary way and checks it ended cleanly.
  void CloseAndExpectCleanEnd() {
    PostMessageW(companion_->Window(L"TEscortForm"), WM_CLOSE, 0, 0);
    Companion::Ending ending = companion_->WaitForEnd(deadline_);
    ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
    EXPECT_EQ(*ending.exitCode, 0u);
    EXPECT_TRUE(ending.boxes.empty());
  }

};

struct HiddenWindowCase {
  const char* name;
  const wchar_t* className;
  const wchar_t* caption;
  DWORD style;    // the system adds WS_CLIPSIBLINGS to every top-level window
  DWORD exStyle;  // and WS_EX_WINDOWEDGE to captioned ones
  bool zeroSized;
  int left;  // where a zero-sized window sits; -1: half the screen width
  int top;   // -1: half the screen height
};

void PrintTo(const HiddenWindowCase& row, std::ostream* out) { *out << row.name; }

class HiddenWindow : public ClosableCompanion,
                     public ::testing::WithParamInterface<HiddenWindowCase> {};

TEST_P(HiddenWindow, HasItsClassCaptionAndStyles) {
  const HiddenWindowCase& row = GetParam();
  auto windows = TopLevelWindowsOf(companion_->ProcessId(), row.className);
  ASSERT_EQ(windows.size(), 1u);
  HWND window = windows.front();

  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
  EXPECT_EQ(TextOf(window), row.caption);
  EXPECT_EQ(style, row.style | WS_CLIPSIBLINGS) << std::hex << style;
  EXPECT_EQ(exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), row.exStyle) << std::hex << exStyle;
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  if (row.zeroSized) {
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 0);
    EXPECT_EQ(bounds.bottom - bounds.top, 0);
    EXPECT_EQ(bounds.left, row.left < 0 ? GetSystemMetrics(SM_CXSCREEN) / 2 : row.left);
    EXPECT_EQ(bounds.top, row.top < 0 ? GetSystemMetrics(SM_CYSCREEN) / 2 : row.top);
  }
  EXPECT_TRUE(MutexExists(kEscortMutexName)) << "no presence mutex while running";
  CloseAndExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, HiddenWindow,
    ::testing::Values(
        HiddenWindowCase{"Application", L"TApplication", L"",
                         WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                         WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, true, -1, -1},
        HiddenWindowCase{"Main", L"TEscortForm", L"Tavrel  (x64)",
                         WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                         WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, false, 0, 0},
        HiddenWindowCase{"Utility", L"TPUtilWindow", L"", WS_POPUP, WS_EX_TOOLWINDOW, true, 0, 0}),
    [](const ::testing::TestParamInfo<HiddenWindowCase>& info) { return std::string(info.param.name); });

struct DpiCase {
  UINT dpi;
  LONG clientWidth;
  LONG clientHeight;
};

constexpr DpiCase kDpiCases[] = {{96, 527, 336}, {144, 791, 504}};

// The prefix this runs in decides the DPI; ctest runs it once per prefix and
// says which DPI that prefix was given.
UINT ExpectedSystemDpi() {
  const char* configured = std::getenv("TAVREL_EXPECTED_DPI");
  return configured ? static_cast<UINT>(std::strtoul(configured, nullptr, 10)) : 96;
}

using DpiScaling = ClosableCompanion;

TEST_F(DpiScaling, MainWindowClientSizeFollowsSystemDpi) {
  const UINT dpi = ExpectedSystemDpi();
  ASSERT_EQ(GetDpiForSystem(), dpi) << "the prefix does not have the DPI it was set up with";
  const DpiCase* row = nullptr;
  for (const DpiCase& candidate : kDpiCases) {
    if (candidate.dpi == dpi) row = &candidate;
  }
  ASSERT_NE(row, nullptr) << "no expected size for " << dpi << " DPI";

  RECT client = {};
  ASSERT_TRUE(GetClientRect(companion_->Window(L"TEscortForm"), &client));
  EXPECT_EQ(client.right - client.left, row->clientWidth);
  EXPECT_EQ(client.bottom - client.top, row->clientHeight);
  CloseAndExpectCleanEnd();
}

}  // namespace
}  // namespace e2e
