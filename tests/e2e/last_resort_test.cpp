// An exception that escapes the start-up sequence: the last-resort report.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>

#include "scenario.h"

namespace e2e {
namespace {

// Splits "<class> がモジュール <module> の <16 hex digits> で発生しました。\r\n<message>\r\n"
// around the address, which depends on the build.
struct ReportText {
  std::wstring beforeAddress;
  std::wstring address;
  std::wstring afterAddress;
};

ReportText SplitAtAddress(const std::wstring& text, const std::wstring& beforeAddress) {
  ReportText parts;
  parts.beforeAddress = text.substr(0, beforeAddress.size());
  if (text.size() >= beforeAddress.size() + 16) {
    parts.address = text.substr(beforeAddress.size(), 16);
    parts.afterAddress = text.substr(beforeAddress.size() + 16);
  }
  return parts;
}

TEST(LastResortReport, MalformedMainWindowPropertiesEndWithExitCodeOne) {
  Scenario scenario(L"Tavrel_badprops.exe");
  scenario.PlaceHookLibrary(L"hook_ok.dll");
  UniqueHandle mainProgramMutex = HoldMutex(kMainProgramMutexName);

  Deadline deadline;
  Companion& companion = scenario.Start();
  auto box = companion.WaitForMessageBox(deadline);
  ASSERT_TRUE(box.has_value()) << "no report";
  // The presence mutex is released before the report is shown.
  EXPECT_FALSE(MutexExists(kEscortMutexName));
  EXPECT_EQ(companion.Window(L"TEscortForm"), nullptr);

  EXPECT_EQ(box->caption, L"アプリケーションエラー");
  const std::wstring beforeAddress = L"EReadError がモジュール Tavrel.x64.exe の ";
  ReportText report = SplitAtAddress(box->text, beforeAddress);
  EXPECT_EQ(report.beforeAddress, beforeAddress);
  EXPECT_EQ(report.address.size(), 16u);
  for (wchar_t digit : report.address) {
    EXPECT_TRUE(std::iswdigit(digit) || (digit >= L'A' && digit <= L'F')) << "address: " << box->text.c_str();
  }
  EXPECT_EQ(report.afterAddress,
            L" で発生しました。\r\nInvalid form property resource, line 4: expected \"Name = Value\".\r\n");
  EXPECT_EQ(box->buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(box->icon, BoxIcon::Error);

  ASSERT_TRUE(Dismiss(*box, deadline));
  Companion::Ending ending = companion.WaitForEnd(deadline);
  ASSERT_TRUE(ending.exitCode.has_value()) << "the companion did not end";
  EXPECT_EQ(*ending.exitCode, 1u);
  EXPECT_TRUE(ending.boxes.empty());
  EXPECT_TRUE(scenario.HookEventsOf(companion.ProcessId()).empty()) << "the hook library was loaded";
}

}  // namespace
}  // namespace e2e
