// Reference main program for the Tavrel.x64 companion: holds the main
// program's mutex, starts the companion, shows what its hook counts, and
// closes the companion when it ends. "--demo" runs a scripted session instead
// of waiting for the user.

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "Companion.h"
#include "Demo.h"
#include "HookCounter.h"
#include "MainWindow.h"
#include "tavrel_companion.h"

namespace {

constexpr DWORD kCompanionCloseTimeoutMs = 10000;

bool IsDemoRun() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  const bool demo = arguments && count == 2 && std::wstring(arguments[1]) == L"--demo";
  LocalFree(arguments);
  return demo;
}

int RunForUser(HINSTANCE instance, int showCommand) {
  HookCounter counter;
  MainWindow window(instance, counter, nullptr);
  if (!window.Create()) return 1;
  window.Show(showCommand);
  // Started after the mutex exists: otherwise the companion would open this
  // program again instead of running.
  const StartedProcess companion = StartCompanion();
  if (!companion.handle) {
    MessageBoxW(window.handle(), L"Tavrel.x64.exe could not be started.", L"Tavrel",
                MB_ICONWARNING);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CloseCompanion(kCompanionCloseTimeoutMs);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  const bool demo = IsDemoRun();
  // Held until the process ends: it tells the companion that we run.
  const UniqueKernelHandle mainProgramMutex(CreateMutexW(nullptr, FALSE, TAVREL_MAIN_PROGRAM_MUTEX));
  const bool anotherCopyRuns = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!mainProgramMutex) return 1;
  if (anotherCopyRuns) {
    // Opened again, by the user or by a companion handing over.
    if (demo) return ReportDemoBlockedByRunningCopy();
    AskRunningCopyToComeForward();
    return 0;
  }
  return demo ? RunDemo(instance) : RunForUser(instance, showCommand);
}
