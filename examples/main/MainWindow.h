#pragma once
// The main program's window. It also stands for the running copy: a copy
// opened again finds it by class and asks it to come forward.

#include <windows.h>

#include <functional>

#include "HookCounter.h"

class MainWindow {
 public:
  using OpenedAgainHandler = std::function<void(DWORD openerProcessId)>;

  MainWindow(HINSTANCE instance, const HookCounter& counter, OpenedAgainHandler onOpenedAgain);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window hidden; false with the reason in the last-error code.
  bool Create();
  // Shows it and keeps its figure current.
  void Show(int showCommand);
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void ComeForward();

  HINSTANCE instance_;
  const HookCounter& counter_;
  OpenedAgainHandler onOpenedAgain_;
  ATOM class_ = 0;
  HWND window_ = nullptr;
};

// For a copy started while another one runs: bring that one forward.
void AskRunningCopyToComeForward();
