// Baseline companion: the least program that does the companion's job, as
// the yardstick the benchmark measures the companion against. It probes the
// two mutexes, hands over to the main program or holds the presence mutex,
// keeps the hook library loaded and its hook installed behind one hidden
// window, and undoes both when closed or when the session ends.
#include <windows.h>
#include <shellapi.h>

namespace {

const wchar_t kMainProgramMutexName[] = L"{F8954142-4587-421E-9519-CE85C98EE0F6}";
const wchar_t kPresenceMutexName[] = L"{F698CC53-C3FF-4BD8-AEC8-A9B9FFFE7D9A}";
const wchar_t kWindowClass[] = L"TavrelBaseline";

// Room for the own path (MAX_PATH + 1) and the longest extension appended.
constexpr DWORD kPathCapacity = MAX_PATH + 8;

HMODULE HookLibrary = nullptr;
FARPROC UninstallHookProc = nullptr;

bool MutexExists(const wchar_t* name) {
  HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
  if (mutex) CloseHandle(mutex);
  return mutex != nullptr;
}

// Length of `path` without its extension: the part from the last "." that
// no backslash or ":" follows.
DWORD StemLength(const wchar_t* path, DWORD length) {
  for (DWORD i = length; i > 0; --i) {
    const wchar_t c = path[i - 1];
    if (c == L'.') return i - 1;
    if (c == L'\\' || c == L':') break;
  }
  return length;
}

void Append(wchar_t* path, DWORD at, const wchar_t* extension) {
  while ((path[at++] = *extension++)) {
  }
}

// Own path with its last extension replaced by `extension`; with
// `dropOneMore`, the last extension is dropped and the one before replaced.
void SiblingPath(wchar_t* path, bool dropOneMore, const wchar_t* extension) {
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  length = StemLength(path, length);
  if (dropOneMore) length = StemLength(path, length);
  Append(path, length, extension);
}

void UnloadHookLibrary() {
  if (!HookLibrary) return;
  if (UninstallHookProc) UninstallHookProc();
  FreeLibrary(HookLibrary);
  HookLibrary = nullptr;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ENDSESSION:
      // The session ends without the loop regaining control.
      if (wParam) {
        UnloadHookLibrary();
        ExitProcess(0);
      }
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void HandOver() {
  wchar_t mainProgram[kPathCapacity];
  SiblingPath(mainProgram, true, L".exe");
  ShellExecuteW(nullptr, L"open", mainProgram, L"", L"", SW_SHOWNORMAL);
}

void LoadHookLibrary() {
  wchar_t hookPath[kPathCapacity];
  SiblingPath(hookPath, false, L".dll");
  HookLibrary = LoadLibraryW(hookPath);
  if (!HookLibrary) return;
  FARPROC installHook = GetProcAddress(HookLibrary, "InstallHook");
  UninstallHookProc = GetProcAddress(HookLibrary, "UninstallHook");
  if (installHook && UninstallHookProc) installHook();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (!MutexExists(kMainProgramMutexName) || MutexExists(kPresenceMutexName)) {
    HandOver();
    return 0;
  }
  HANDLE presence = CreateMutexW(nullptr, FALSE, kPresenceMutexName);
  if (!presence) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(presence);
    return 0;
  }

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  LoadHookLibrary();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);

  CloseHandle(presence);
  UnloadHookLibrary();
  return 0;
}
