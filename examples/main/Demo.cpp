#include "Demo.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "Companion.h"
#include "HookCounter.h"
#include "MainWindow.h"
#include "tavrel_companion.h"

namespace {

constexpr DWORD kStepTimeoutMs = 20000;
constexpr DWORD kTerminationTimeoutMs = 5000;
constexpr int kDemoWindowCount = 5;
constexpr wchar_t kDemoWindowsProgram[] = L"TavrelDemoWindows.exe";

bool MutexExists(const wchar_t* name) {
  const UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return static_cast<bool>(mutex);
}

bool HasEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// How a process that should have ended by now did end.
struct Outcome {
  bool ended = false;  // by itself; otherwise it was ended by force
  DWORD exitCode = 0;
  bool Clean() const { return ended && exitCode == 0; }
  std::string Describe() const {
    if (!ended) return "DID NOT END in time (terminated)";
    return "ended (exit code " + std::to_string(exitCode) + ")";
  }
};

// One still running is ended by force, so the demo leaves nothing behind.
Outcome OutcomeOf(HANDLE process) {
  if (HasEnded(process)) return {true, ExitCodeOf(process)};
  TerminateProcess(process, 1);
  WaitForSingleObject(process, kTerminationTimeoutMs);
  return {};
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring WindowText(HWND window) {
  wchar_t text[256] = L"";
  GetWindowTextW(window, text, ARRAYSIZE(text));
  return text;
}

// Standard output, also for this GUI program: inherited when redirected,
// else the console of the command line that started it.
class Transcript {
 public:
  Transcript() : output_(GetStdHandle(STD_OUTPUT_HANDLE)) {
    if (output_ && output_ != INVALID_HANDLE_VALUE) return;
    output_ = nullptr;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return;
    console_.reset(console);
    output_ = console;
  }

  void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list arguments;
    va_start(arguments, format);
    Write(format, arguments);
    va_end(arguments);
  }

  // One line per step: "ok" or "FAIL", then what was seen.
  bool Step(bool passed, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    ++(passed ? passed_ : failed_);
    std::string marked = std::string(passed ? "  ok    " : "  FAIL  ") + format;
    va_list arguments;
    va_start(arguments, format);
    Write(marked.c_str(), arguments);
    va_end(arguments);
    return passed;
  }

  int Finish() {
    Line("demo: %d passed, %d failed", passed_, failed_);
    return failed_ == 0 && passed_ > 0 ? 0 : 1;
  }

 private:
  void Write(const char* format, va_list arguments) {
    char line[1024];
    const int length = std::vsnprintf(line, sizeof line - 1, format, arguments);
    if (length < 0 || !output_) return;
    const int used = std::min<int>(length, sizeof line - 2);
    line[used] = '\n';
    DWORD written = 0;
    WriteFile(output_, line, used + 1, &written, nullptr);
  }

  // Only the console handle is ours; the standard handle belongs to the process.
  UniqueKernelHandle console_;
  HANDLE output_;
  int passed_ = 0;
  int failed_ = 0;
};

class Demo {
 public:
  explicit Demo(HINSTANCE instance)
      : window_(instance, counter_, [this](DWORD opener) { NoteOpenedAgain(opener); }) {}

  int Run() {
    transcript_.Line("Tavrel demo");
    const bool windowUp = window_.Create();
    const bool ready = transcript_.Step(
        windowUp && counter_.loaded(),
        "main program: Tavrel.exe (pid %lu) holds the main program's mutex; its window %s; "
        "Tavrel.x64.dll %s",
        GetCurrentProcessId(), windowUp ? "is up (hidden)" : "COULD NOT BE CREATED",
        counter_.loaded() ? "loaded to read the hook's count" : "COULD NOT BE LOADED");
    if (ready && CompanionStartsAndInstallsHook()) {
      HookCountsWindowsOfOtherProcesses();
      SecondCompanionHandsOver();
    }
    // Always, so that nothing of the demo stays running.
    CompanionCloses();
    return transcript_.Finish();
  }

 private:
  void NoteOpenedAgain(DWORD opener) {
    openerId_ = opener;
    // While it waits for this answer it cannot have exited: its exit code stays readable.
    opener_.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                              FALSE, opener));
  }

  bool CompanionStartsAndInstallsHook() {
    if (MutexExists(TAVREL_COMPANION_MUTEX)) {
      return transcript_.Step(false,
                              "companion: another Tavrel.x64.exe already runs; close it first");
    }
    companion_ = StartCompanion();
    if (!companion_.handle) {
      return transcript_.Step(false, "companion: Tavrel.x64.exe could not be started (error %lu)",
                              GetLastError());
    }
    const auto hookInstalled = [&] { return counter_.InstallerProcessId() == companion_.id; };
    PumpMessagesUntil([&] { return hookInstalled() || HasEnded(companion_.handle.get()); },
                      kStepTimeoutMs, {companion_.handle.get()});
    if (!hookInstalled()) {
      if (HasEnded(companion_.handle.get())) {
        return transcript_.Step(false,
                                "companion: Tavrel.x64.exe (pid %lu) ended (exit code %lu) "
                                "instead of installing the hook",
                                companion_.id, ExitCodeOf(companion_.handle.get()));
      }
      return transcript_.Step(
          false, "companion: Tavrel.x64.exe (pid %lu) did not install the hook within %lu s",
          companion_.id, kStepTimeoutMs / 1000);
    }
    const HWND window = FindWindowW(TAVREL_COMPANION_WINDOW_CLASS, nullptr);
    DWORD windowProcessId = 0;
    if (window) GetWindowThreadProcessId(window, &windowProcessId);
    const std::wstring caption = window ? WindowText(window) : L"";
    const bool mutexHeld = MutexExists(TAVREL_COMPANION_MUTEX);
    return transcript_.Step(
        mutexHeld && windowProcessId == companion_.id && caption == TAVREL_COMPANION_WINDOW_CAPTION,
        "companion: Tavrel.x64.exe (pid %lu) runs; presence mutex %s; window TEscortForm \"%s\" "
        "%s; hook installed by pid %lu",
        companion_.id, mutexHeld ? "held" : "MISSING", Utf8(caption).c_str(),
        windowProcessId == companion_.id ? "is its own" : "NOT FOUND in it",
        counter_.InstallerProcessId());
  }

  void HookCountsWindowsOfOtherProcesses() {
    const LONG before = counter_.WindowCreations();
    const StartedProcess maker =
        StartProcess(PathInOwnFolder(kDemoWindowsProgram), std::to_wstring(kDemoWindowCount));
    if (!maker.handle) {
      transcript_.Step(false, "windows: %ls could not be started (error %lu)", kDemoWindowsProgram,
                       GetLastError());
      return;
    }
    PumpMessagesUntil([&] { return HasEnded(maker.handle.get()); }, kStepTimeoutMs,
                      {maker.handle.get()});
    const Outcome outcome = OutcomeOf(maker.handle.get());
    if (!outcome.ended) {
      transcript_.Step(false, "windows: %ls (pid %lu) %s", kDemoWindowsProgram, maker.id,
                       outcome.Describe().c_str());
      return;
    }
    const DWORD created = outcome.exitCode;
    const LONG counted = counter_.WindowCreations() - before;
    transcript_.Step(
        created == kDemoWindowCount && counted >= kDemoWindowCount,
        "windows: %ls (pid %lu) created %lu of %d windows; the hook counted %ld window creations "
        "in other processes (total %ld)",
        kDemoWindowsProgram, maker.id, created, kDemoWindowCount, counted,
        counter_.WindowCreations());
  }

  void SecondCompanionHandsOver() {
    const StartedProcess second = StartCompanion();
    if (!second.handle) {
      transcript_.Step(false, "second start: Tavrel.x64.exe could not be started (error %lu)",
                       GetLastError());
      return;
    }
    // Settled once the second companion has ended and the copy of Tavrel.exe
    // it opened has asked this one to come forward and ended too.
    PumpMessagesUntil(
        [&] { return HasEnded(second.handle.get()) && opener_ && HasEnded(opener_.get()); },
        kStepTimeoutMs, {second.handle.get()});
    const bool firstStillHosts =
        !HasEnded(companion_.handle.get()) && counter_.InstallerProcessId() == companion_.id;
    const Outcome secondOutcome = OutcomeOf(second.handle.get());
    transcript_.Step(
        secondOutcome.Clean() && firstStillHosts,
        "second start: Tavrel.x64.exe (pid %lu) %s%s; companion pid %lu %s", second.id,
        secondOutcome.Clean() ? "found a companion running and " : "",
        secondOutcome.Describe().c_str(), companion_.id,
        firstStillHosts ? "still runs and hosts the hook" : "NO LONGER HOSTS THE HOOK");
    if (!opener_) {
      transcript_.Step(false,
                       "hand-over: no Tavrel.exe asked this copy to come forward within %lu s",
                       kStepTimeoutMs / 1000);
      return;
    }
    const Outcome openerOutcome = OutcomeOf(opener_.get());
    transcript_.Step(openerOutcome.Clean() && openerId_ != GetCurrentProcessId(),
                     "hand-over: Tavrel.exe (pid %lu) found this copy running, asked it to come "
                     "forward and %s",
                     openerId_, openerOutcome.Describe().c_str());
  }

  void CompanionCloses() {
    const CompanionEnding ending = CloseCompanion(kStepTimeoutMs);
    // Whatever the request did, the companion started here must be gone now.
    if (companion_.handle) OutcomeOf(companion_.handle.get());
    if (!ending.windowFound) {
      transcript_.Step(false, "close: no TEscortForm window to send WM_CLOSE to");
      return;
    }
    const Outcome outcome{ending.ended, ending.exitCode};
    const bool hookRemoved = counter_.InstallerProcessId() == 0;
    const bool mutexReleased = !MutexExists(TAVREL_COMPANION_MUTEX);
    transcript_.Step(
        ending.processId == companion_.id && outcome.Clean() && hookRemoved && mutexReleased,
        "close: WM_CLOSE to TEscortForm; companion pid %lu %s; hook %s; presence mutex %s",
        ending.processId, outcome.Describe().c_str(), hookRemoved ? "removed" : "STILL INSTALLED",
        mutexReleased ? "released" : "STILL HELD");
  }

  Transcript transcript_;
  HookCounter counter_;
  MainWindow window_;
  StartedProcess companion_;
  DWORD openerId_ = 0;
  UniqueKernelHandle opener_;
};

}  // namespace

int RunDemo(HINSTANCE instance) { return Demo(instance).Run(); }

int ReportDemoBlockedByRunningCopy() {
  Transcript transcript;
  transcript.Step(false, "another Tavrel.exe already runs; close it first");
  return transcript.Finish();
}
