#include "Processes.h"

#include <algorithm>
#include <vector>

namespace {

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

constexpr DWORD kPollIntervalMs = 10;

}  // namespace

std::wstring SiblingPath(const wchar_t* extension) {
  std::wstring path = OwnPath();
  const size_t dot = path.find_last_of(L'.');
  const size_t separator = path.find_last_of(L"\\/:");
  if (dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator)) {
    path.erase(dot);
  }
  return path + extension;
}

std::wstring PathInOwnFolder(const wchar_t* fileName) {
  std::wstring path = OwnPath();
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
