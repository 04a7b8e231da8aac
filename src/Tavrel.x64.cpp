// Tavrel.x64: keeps the main program's hook library loaded and its hook
// installed while the main program runs. Started at any other time, it opens
// the main program instead and ends.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

#include "shell/Application.h"
#include "shell/SysUtils.h"
#include "shell/TextRules.h"
#include "src/TVREL_Consts.h"
#include "src/TVREL_Escort.h"
#include "src/TVREL_Paths.h"

// The presence mark, held from its creation until the message loop ends.
HANDLE EscortMutex = nullptr;

std::wstring GetMainProgramPath() { return MainProgramPathFor(OwnPath()); }

namespace {

const wchar_t kApplicationTitle[] = L"Tavrel.x64";

void HandOver() {
  const std::wstring mainProgram = GetMainProgramPath();
  // A companion named with a single extension is its own "main program":
  // opening it would start the companion again, endlessly.
  if (SamePath(mainProgram, OwnPath())) return;
  ShellExecuteW(nullptr, L"open", mainProgram.c_str(), L"", L"", SW_SHOWNORMAL);
}

void ShowStartupFailure(const wchar_t* text) {
  MessageBoxW(nullptr, text, kApplicationTitle, MB_ICONERROR);
}

void CloseEscortMutex() {
  CloseHandle(EscortMutex);
  EscortMutex = nullptr;
}

void RunCompanion() {
  try {
    Application->SetTitle(kApplicationTitle);
    Application->Initialize();
    Application->SetMainFormOnTaskBar(true);
    Application->CreateForm(EscortForm);
    Application->Run();
  } catch (...) {
    CloseEscortMutex();
    throw;
  }
  // Released before the teardown unloads the hook library.
  CloseEscortMutex();
}

void StartupSequence() {
  if (!MutexExists(MainProgramMutexName) || MutexExists(EscortMutexName)) {
    HandOver();
    return;
  }
  EscortMutex = CreateMutexW(nullptr, FALSE, EscortMutexName);
  const DWORD creationError = GetLastError();
  if (!EscortMutex) {
    ShowStartupFailure(L"Mutex creation failed");
    return;
  }
  // Another companion won the race between our probe and the creation.
  if (creationError == ERROR_ALREADY_EXISTS) {
    ShowStartupFailure(L"Mutex already exists");
    CloseEscortMutex();
    return;
  }
  RunCompanion();
}

// Where the exception was raised: the module containing the address and the
// offset into it, or our own file name when no loaded module contains it.
void LocateAddress(void* address, std::wstring& moduleName, std::uint64_t& offset) {
  const auto raw = reinterpret_cast<std::uintptr_t>(address);
  MEMORY_BASIC_INFORMATION region{};
  if (address && VirtualQuery(address, &region, sizeof region) && region.State == MEM_COMMIT &&
      region.Type == MEM_IMAGE) {
    auto module = static_cast<HMODULE>(region.AllocationBase);
    moduleName = FileNamePart(ModuleFileName(module));
    offset = raw - reinterpret_cast<std::uintptr_t>(module);
    return;
  }
  moduleName = FileNamePart(OwnPath());
  offset = raw ? raw - 0x1000 : 0;
}

void ShowLastResortReport(const char* className, void* address, const std::wstring& message) {
  std::wstring moduleName;
  std::uint64_t offset = 0;
  LocateAddress(address, moduleName, offset);
  const std::wstring text =
      FormatLastResortReport(AnsiToWide(className), moduleName, offset, message);
  MessageBoxW(nullptr, text.c_str(), L"アプリケーションエラー", MB_TASKMODAL | MB_ICONSTOP | MB_OK);
  ExitCode = 1;
}

void ReportLastResort() {
  const auto exception = CurrentException();
  ShowLastResortReport(exception->ClassName(), exception->Address(), exception->Message());
}

const char* FaultClassName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "EAccessViolation";
    case EXCEPTION_STACK_OVERFLOW: return "EStackOverflow";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "EDivByZero";
    case EXCEPTION_PRIV_INSTRUCTION: return "EPrivilege";
    default: return "EExternalException";
  }
}

// A processor fault (in practice inside a hook library) is no C++ exception:
// it is reported here with the faulting module and offset, and the process
// ends at once with exit code 1, running no more code of the faulty library.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
  const EXCEPTION_RECORD& record = *fault->ExceptionRecord;
  using NtStatusToDosError = ULONG(WINAPI*)(LONG);
  auto toDosError = reinterpret_cast<NtStatusToDosError>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
  const DWORD errorCode = toDosError ? toDosError(static_cast<LONG>(record.ExceptionCode)) : 0;
  ShowLastResortReport(FaultClassName(record.ExceptionCode), record.ExceptionAddress,
                       SystemErrorText(errorCode));
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(ExitCode));
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  SetUnhandledExceptionFilter(ReportFault);
  StartApplication();
  try {
    StartupSequence();
  } catch (...) {
    ReportLastResort();
  }
  Halt();
}
