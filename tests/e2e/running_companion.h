// A companion started beside a running main program with the hook library
// that installs, ready once its hook is installed, that is once its main
// window is complete.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "scenario.h"

namespace e2e {

class RunningCompanion : public ::testing::Test {
 protected:
  void SetUp() override {
    scenario_.PlaceHookLibrary(L"hook_ok.dll");
    mainProgramMutex_ = HoldMutex(kMainProgramMutexName);
    companion_ = &scenario_.Start();
    ASSERT_TRUE(scenario_.WaitForHookEvent(companion_->ProcessId(), L"install", deadline_))
        << "the hook was not installed";
    mainWindow_ = companion_->WaitForWindow(L"TEscortForm", deadline_);
    applicationWindow_ = companion_->Window(L"TApplication");
    ASSERT_NE(mainWindow_, nullptr);
    ASSERT_NE(applicationWindow_, nullptr);
  }

  Deadline deadline_;
  Scenario scenario_;
  UniqueHandle mainProgramMutex_;
  Companion* companion_ = nullptr;
  HWND mainWindow_ = nullptr;
  HWND applicationWindow_ = nullptr;
};

}  // namespace e2e
