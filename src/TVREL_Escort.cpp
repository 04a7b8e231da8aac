#include "src/TVREL_Escort.h"

#include <string>

#include "shell/Application.h"
#include "shell/SysUtils.h"
#include "src/TVREL_Paths.h"

TEscortForm* EscortForm = nullptr;
HMODULE HookLibrary = nullptr;
FARPROC InstallHookProc = nullptr;
FARPROC UninstallHookProc = nullptr;

namespace {

// Both entry points take nothing; only the low 8 bits of the result count.
using THookEntry = BOOL(WINAPI*)();

THookEntry AsHookEntry(FARPROC address) {
  return reinterpret_cast<THookEntry>(reinterpret_cast<void*>(address));
}

// The system's text for the last-error code, and nothing of our own: called
// straight after the failing call, before anything can change the code.
[[noreturn]] __attribute__((noinline)) void RaiseLastErrorText() {
  const DWORD code = GetLastError();
  Raise(Exception(SystemErrorText(code)));
}

// The error box is the one report of a library that cannot be loaded: no
// system dialog for a damaged image may come first.
struct NoCriticalErrorDialogs {
  UINT previous = SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);
  ~NoCriticalErrorDialogs() { SetErrorMode(previous); }
};

const TPublishedMethod EscortFormMethods[] = {
    {"FormCreate",
     [](TForm& self, TObject* sender) { static_cast<TEscortForm&>(self).FormCreate(sender); }},
    {"FormDestroy",
     [](TForm& self, TObject* sender) { static_cast<TEscortForm&>(self).FormDestroy(sender); }},
    {nullptr, nullptr},
};

}  // namespace

const TPublishedMethod* TEscortForm::PublishedMethods() const { return EscortFormMethods; }

void TEscortForm::FormCreate(TObject*) {
  // Off before anything can fail, so the window is never shown.
  Application->ShowMainForm = false;
  LoadHookLibrary();
}

void TEscortForm::FormDestroy(TObject*) { UnloadHookLibrary(); }

void LoadHookLibrary() {
  const std::wstring path = HookLibraryPathFor(OwnPath());
  {
    NoCriticalErrorDialogs quiet;
    HookLibrary = LoadLibraryW(path.c_str());
    if (!HookLibrary) RaiseLastErrorText();
  }
  InstallHookProc = GetProcAddress(HookLibrary, "InstallHook");
  if (!InstallHookProc) RaiseLastErrorText();
  UninstallHookProc = GetProcAddress(HookLibrary, "UninstallHook");
  if (!UninstallHookProc) RaiseLastErrorText();
  // A failure undoes nothing: the library stays loaded and is freed at teardown.
  if (static_cast<BYTE>(AsHookEntry(InstallHookProc)()) == 0) RaiseLastErrorText();
}

void UnloadHookLibrary() {
  if (!HookLibrary) return;
  if (UninstallHookProc) AsHookEntry(UninstallHookProc)();
  FreeLibrary(HookLibrary);
  HookLibrary = nullptr;
}
