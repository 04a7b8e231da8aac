// Support for the end-to-end cases: a fresh scenario folder per case with the
// real companion and chosen fixtures under its sibling names, the companions
// started there, the named objects the driver holds, and what other processes
// can observe (windows, message boxes, exit codes, the fixtures' event log).
#pragma once

#include <windows.h>

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shell/Owners.h"

namespace e2e {

inline constexpr wchar_t kMainProgramMutexName[] = L"{F8954142-4587-421E-9519-CE85C98EE0F6}";
inline constexpr wchar_t kEscortMutexName[] = L"{F698CC53-C3FF-4BD8-AEC8-A9B9FFFE7D9A}";
inline constexpr wchar_t kApplicationTitle[] = L"Tavrel.x64";

// Every wait of a case draws on this budget, so a case is bounded in time.
inline constexpr DWORD kCaseBudgetMs = 15000;

using UniqueHandle = UniqueKernelHandle;

class Deadline {
 public:
  explicit Deadline(DWORD milliseconds = kCaseBudgetMs) : end_(GetTickCount64() + milliseconds) {}
  bool Passed() const { return GetTickCount64() >= end_; }
  DWORD RemainingMs() const {
    ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
  }

 private:
  ULONGLONG end_;
};

// Checks the condition again after each short pause until it holds or the
// deadline passes; returns whether it held.
template <typename Condition>
bool PollUntil(const Deadline& deadline, Condition condition) {
  for (;;) {
    if (condition()) return true;
    if (deadline.Passed()) return false;
    Sleep(20);
  }
}

// How long a case watches for something that must not happen, such as a
// second box after the first.
inline constexpr DWORD kSettleMs = 1500;

// The normal count, or the long one when TAVREL_LONG_RUN=1 is set for a
// documented long run of the repeated cases.
int Repetitions(int normal, int longRun);

// Named objects as the driver holds them to stand in for other processes.
UniqueHandle HoldMutex(const wchar_t* name);
UniqueHandle HoldEvent(const wchar_t* name);
// A mutex whose empty access list lets no one else open it.
UniqueHandle HoldMutexDenyingAccess(const wchar_t* name);
bool MutexExists(const wchar_t* name);

// The text the companion's error box shows for a last-error code: the
// system's text without trailing blanks, controls and dots, then one dot.
std::wstring ErrorBoxTextFor(DWORD errorCode);

// The last-error code the platform leaves when it loads this file as a
// library; a file that does load fails the case.
DWORD ErrorOfLoading(const std::wstring& path);

std::wstring ClassNameOf(HWND window);
std::wstring TextOf(HWND window);
std::vector<HWND> TopLevelWindowsOf(DWORD processId, const wchar_t* className);

enum class BoxIcon { None, Error, Warning, Information, Question, Unrecognised };

struct MessageBoxView {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;  // texts of the visible buttons
  BoxIcon icon = BoxIcon::None;
};

void PrintTo(BoxIcon icon, std::ostream* out);

// A visible box of the process, read while it shows.
std::optional<MessageBoxView> FindMessageBox(DWORD processId, const Deadline& deadline);
// A box of the start-up sequence: caption "Tavrel.x64", the text, the error
// icon and one OK button.
void ExpectStartupErrorBox(const MessageBoxView& box, const wchar_t* text);

// The arguments of a command line as the platform splits it, program first.
std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine);

// Presses OK and waits for the box to go.
bool Dismiss(const MessageBoxView& box, const Deadline& deadline);

class Companion {
 public:
  Companion(PROCESS_INFORMATION started)
      : process_(started.hProcess), thread_(started.hThread),
        processId_(started.dwProcessId), threadId_(started.dwThreadId) {}

  DWORD ProcessId() const { return processId_; }
  DWORD ThreadId() const { return threadId_; }
  bool IsRunning() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  void Resume() const { ResumeThread(thread_.get()); }
  std::optional<DWORD> ExitCode() const;
  HWND Window(const wchar_t* className) const;
  HWND WaitForWindow(const wchar_t* className, const Deadline& deadline) const;
  std::optional<MessageBoxView> WaitForMessageBox(const Deadline& deadline) const;
  // Watches the process for the settle time: true when it showed no box.
  bool ShowsNoBoxWithin(DWORD settleMs) const;

  struct Ending {
    std::optional<DWORD> exitCode;        // empty when it did not end in time
    std::vector<MessageBoxView> boxes;    // every box it showed meanwhile, dismissed
  };
  // Waits for the process to end, reading and dismissing any box it shows.
  Ending WaitForEnd(const Deadline& deadline) const;

  void Terminate() const;

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  DWORD processId_;
  DWORD threadId_;
};

struct LogEntry {
  DWORD processId = 0;
  std::wstring source;   // "hook" or "main-program"
  std::vector<std::wstring> fields;  // event, then details
};

// Where the companion lies in the scenario and what lies beside it.
struct Layout {
  const wchar_t* companionBuild = L"Tavrel.x64.exe";  // file built beside the driver
  std::wstring folder;                                 // below the case folder; "" for none
  std::wstring companionName = L"Tavrel.x64.exe";
  std::wstring mainProgramName = L"Tavrel.exe";        // where the stub goes; "" for none
};

class Scenario {
 public:
  // A fresh folder bin/scenarios/<case>/ holding a build of the companion as
  // Tavrel.x64.exe and, as the main program Tavrel.exe, the stub that logs
  // how it was started.
  explicit Scenario(const wchar_t* companionBuild = L"Tavrel.x64.exe");
  explicit Scenario(const Layout& layout);
  ~Scenario();
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  std::wstring PathOf(const std::wstring& fileName) const { return directory_ + L"\\" + fileName; }
  const std::wstring& StartDirectory() const { return startDirectory_; }
  // The companion's own name with ".dll" in place of its extension.
  const std::wstring& HookLibraryPath() const { return hookLibraryPath_; }

  // Copies a file built beside the driver into the scenario under the hook
  // library's name.
  void PlaceHookLibrary(const std::wstring& fixtureFileName) const;

  // Every process that ran in the scenario's job so far: the companions and
  // whatever they started.
  DWORD ProcessesStarted() const;

  Companion& Start();
  std::vector<Companion*> StartTogether(int count);

  std::vector<LogEntry> ReadLog() const;
  // The hook library's events in one process, details joined with blanks.
  std::vector<std::wstring> HookEventsOf(DWORD processId) const;
  std::vector<LogEntry> MainProgramStarts() const;
  bool WaitForHookEvent(DWORD processId, const std::wstring& event, const Deadline& deadline) const;
  bool WaitForMainProgramStarts(size_t count, const Deadline& deadline) const;

 private:
  Companion& Launch();

  std::wstring directory_;
  std::wstring startDirectory_;
  std::wstring logPath_;
  std::wstring companionPath_;
  std::wstring hookLibraryPath_;
  UniqueHandle job_;  // ends whatever a case leaves behind, also if the driver dies
  std::vector<std::unique_ptr<Companion>> companions_;
};

// Directory of the driver executable, where every built program lies.
std::wstring BuildBinDirectory();

}  // namespace e2e
