#include "Companion.h"

#include "tavrel_companion.h"

StartedProcess StartCompanion() { return StartProcess(SiblingPath(L".x64.exe"), L""); }

CompanionEnding CloseCompanion(DWORD timeoutMs) {
  CompanionEnding ending;
  // By class, not by the process we started: if ours found another companion
  // already running, it handed over and that one hosts the hook.
  const HWND window = FindWindowW(TAVREL_COMPANION_WINDOW_CLASS, nullptr);
  if (!window) return ending;
  ending.windowFound = true;
  GetWindowThreadProcessId(window, &ending.processId);
  // Opened before the request, so the exit code is still there to read after.
  const UniqueKernelHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ending.processId));
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (!process) return ending;
  ending.ended =
      PumpMessagesUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; },
                        timeoutMs, {process.get()});
  if (ending.ended) ending.exitCode = ExitCodeOf(process.get());
  return ending;
}
