#include "Processes.h"

#include <algorithm>
#include <vector>

#include "shell/SysUtils.h"
#include "src/TVREL_Paths.h"

namespace {

constexpr DWORD kPollIntervalMs = 10;

}  // namespace

// The same rule the companion uses to find its siblings.
std::wstring SiblingPath(const wchar_t* extension) {
  return ChangeExtension(ModuleFileName(nullptr), extension);
}

std::wstring PathInOwnFolder(const wchar_t* fileName) {
  std::wstring path = ModuleFileName(nullptr);
  path.erase(path.find_last_of(L'\\') + 1);
  return path + fileName;
}

StartedProcess StartProcess(const std::wstring& path, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  StartedProcess result;
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
    return result;
  }
  CloseHandle(started.hThread);
  result.handle.reset(started.hProcess);
  result.id = started.dwProcessId;
  return result;
}

DWORD ExitCodeOf(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  return code;
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs,
                       std::initializer_list<HANDLE> wakeOn) {
  const std::vector<HANDLE> handles(wakeOn);
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kPollIntervalMs));
    MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(), wait,
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Leave it for the message loop that owns the program's ending.
        PostQuitMessage(static_cast<int>(message.wParam));
        return done();
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}
