// Benchmark driver: starts the companion and the baseline companion by turns,
// each in its own folder beside a main program stub and the measurement hook
// library, and prints what each costs, side by side. Wine's own start-up cost
// drifts from run to run, so the two programs alternate start by start and
// ratios are taken pair by pair.
//
//   tavrel_bench [--starts N] [--idle-samples N] [--idle-seconds N]
//
// Beside the driver: Tavrel.x64.exe (the companion), baseline.x64.exe,
// bench_hook.dll and bench_main_stub.exe.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "common/bench_record.h"
#include "common/process_counters.h"
#include "driver/linux_view.h"
#include "driver/statistics.h"

namespace {

constexpr DWORD kStartDeadlineMs = 30000;
constexpr DWORD kExitDeadlineMs = 10000;
constexpr double kTicksPerMs = 10000.0;
constexpr long long kSizeTargetBytes = 128 * 1024;

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() {
    if (handle_) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HANDLE handle_ = nullptr;
};

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::wstring DirectoryOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring OwnDirectory() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return DirectoryOf(path);
}

long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool MutexExists(const wchar_t* name) {
  UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return static_cast<bool>(mutex);
}

// Polls `done` until it holds or the deadline passes; for states that no
// handle signals, such as a mutex name becoming free.
template <class Condition>
bool WaitUntil(Condition done, DWORD deadlineMs) {
  const ULONGLONG end = GetTickCount64() + deadlineMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(5);
  }
  return true;
}

// The shared record the hook library and the main program stub write into.
class SharedRecord {
 public:
  SharedRecord()
      : mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(bench::Record), bench::kRecordName)),
        installed_(CreateEventW(nullptr, FALSE, FALSE, bench::kInstalledEventName)),
        mainStarted_(CreateEventW(nullptr, FALSE, FALSE, bench::kMainStartedEventName)) {
    if (mapping_)
      record_ = static_cast<bench::Record*>(
          MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(bench::Record)));
  }
  ~SharedRecord() {
    if (record_) UnmapViewOfFile(record_);
  }
  SharedRecord(const SharedRecord&) = delete;
  SharedRecord& operator=(const SharedRecord&) = delete;

  bool Ready() const { return record_ && installed_ && mainStarted_; }
  void Clear() {
    *record_ = bench::Record{};
    ResetEvent(installed_.get());
    ResetEvent(mainStarted_.get());
  }
  const bench::Record& Get() const { return *record_; }
  HANDLE Installed() const { return installed_.get(); }
  HANDLE MainStarted() const { return mainStarted_.get(); }

 private:
  UniqueHandle mapping_;
  UniqueHandle installed_;
  UniqueHandle mainStarted_;
  bench::Record* record_ = nullptr;
};

struct Program {
  const wchar_t* label;
  std::wstring executable;   // in its scenario folder, beside its siblings
  const wchar_t* mainWindowClass;
};

// Copies a program into its own folder as <stem>.x64.exe beside <stem>.exe
// (the main program stub) and <stem>.x64.dll (the hook library).
bool SetUpScenario(const std::wstring& from, const std::wstring& folder, const wchar_t* stem,
                   const std::wstring& hook, const std::wstring& mainStub, std::wstring& executable) {
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring base = folder + L"\\" + stem;
  executable = base + L".x64.exe";
  return CopyFileW(from.c_str(), executable.c_str(), FALSE) &&
         CopyFileW(hook.c_str(), (base + L".x64.dll").c_str(), FALSE) &&
         CopyFileW(mainStub.c_str(), (base + L".exe").c_str(), FALSE);
}

// One started program. Closed properly by the measurement; if that fails the
// destructor ends it by force, so that nothing lingers into the next start.
class Child {
 public:
  explicit Child(const Program& program) {
    std::wstring commandLine = L"\"" + program.executable + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, DirectoryOf(program.executable).c_str(), &startup, &info))
      return;
    process_ = UniqueHandle(info.hProcess);
    UniqueHandle thread(info.hThread);
    processId_ = info.dwProcessId;
    FILETIME creation, exit, kernel, user;
    if (GetProcessTimes(process_.get(), &creation, &exit, &kernel, &user))
      creationTime_ = Ticks(creation);
  }
  ~Child() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      ++forcedEnds;
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kExitDeadlineMs);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return process_ && creationTime_ != 0; }
  HANDLE Process() const { return process_.get(); }
  DWORD ProcessId() const { return processId_; }
  std::uint64_t CreationTime() const { return creationTime_; }

  bool WaitForExitCodeZero() {
    DWORD exitCode = 1;
    return WaitForSingleObject(process_.get(), kExitDeadlineMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process_.get(), &exitCode) && exitCode == 0;
  }

  static int forcedEnds;

 private:
  UniqueHandle process_;
  DWORD processId_ = 0;
  std::uint64_t creationTime_ = 0;
};
int Child::forcedEnds = 0;

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64];
  if (owner == search.processId && GetClassNameW(window, className, 64) &&
      wcscmp(className, search.className) == 0) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// Asks the program to end the way a user's tools would: WM_CLOSE to its main window.
bool CloseProperly(Child& child, const wchar_t* mainWindowClass) {
  WindowSearch search{child.ProcessId(), mainWindowClass, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found && PostMessageW(search.found, WM_CLOSE, 0, 0) && child.WaitForExitCodeZero();
}

// Kernel plus user time as the platform reports it, in whole scheduler ticks.
double WindowsCpuMs(HANDLE process) {
  FILETIME creation, exit, kernel, user;
  if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return NAN;
  return static_cast<double>(Ticks(kernel) + Ticks(user)) / kTicksPerMs;
}

struct Options {
  int starts = 30;
  int idleSamples = 10;
  int idleSeconds = 10;
};

// One start beside a running main program; NaN for what was not measured.
struct RunSample {
  double startToInstalledMs = NAN;
  double installPrivateKiB = NAN;
  double idlePrivateKiB = NAN;
  double idleResidentKiB = NAN;
  double idleHandles = NAN;
  double startupCpuMs = NAN;
  double idleWindowsCpuMs = NAN;
  double idleLinuxCpuMs = NAN;
};

struct Series {
  std::vector<double> startToInstalledMs;
  std::vector<double> handOverMs;
  std::vector<double> idlePrivateKiB;
  std::vector<double> idleResidentKiB;
  std::vector<double> installPrivateKiB;
  std::vector<double> idleHandles;
  std::vector<double> startupCpuMs;
  std::vector<double> idleWindowsCpuMs;  // only the rounds with an idle window
  std::vector<double> idleLinuxCpuMs;
  int failures = 0;

  void Add(const RunSample& sample, bool measuredIdle) {
    startToInstalledMs.push_back(sample.startToInstalledMs);
    installPrivateKiB.push_back(sample.installPrivateKiB);
    idlePrivateKiB.push_back(sample.idlePrivateKiB);
    idleResidentKiB.push_back(sample.idleResidentKiB);
    idleHandles.push_back(sample.idleHandles);
    startupCpuMs.push_back(sample.startupCpuMs);
    if (measuredIdle) {
      idleWindowsCpuMs.push_back(sample.idleWindowsCpuMs);
      idleLinuxCpuMs.push_back(sample.idleLinuxCpuMs);
    }
  }
};

// Memory, handles and the CPU spent so far, read once the child is idle.
// Returns the Linux process id it read them from, 0 when they could not be read.
std::uint32_t ReadIdleFigures(const Program& program, const Child& child, RunSample& sample) {
  const std::uint32_t unixProcessId = bench::FindUnixProcess(program.executable);
  if (!unixProcessId) return 0;
  const std::string status =
      bench::ReadSmallFile(L"Z:\\proc\\" + std::to_wstring(unixProcessId) + L"\\status");
  const long long rssAnon = bench::StatusField(status, "RssAnon");
  const long long vmRss = bench::StatusField(status, "VmRSS");
  const long handles = bench::CountHandles(child.ProcessId());
  if (rssAnon < 0 || vmRss < 0 || handles < 0) return 0;
  sample.idlePrivateKiB = static_cast<double>(rssAnon);
  sample.idleResidentKiB = static_cast<double>(vmRss);
  sample.idleHandles = static_cast<double>(handles);
  // All the work of getting started, which load on the machine stretches in
  // time but hardly in amount.
  sample.startupCpuMs = bench::AllThreadsCpuMs(unixProcessId);
  return unixProcessId;
}

// Started beside a running main program: the time to InstallHook, then
// memory and handles once idle, and CPU over the idle window when asked.
void MeasureRun(const Program& program, SharedRecord& shared, bool measureIdle,
                const Options& options, Series& series) {
  RunSample sample;
  bool ok = WaitUntil([] { return !MutexExists(bench::kPresenceMutexName); }, kExitDeadlineMs);
  shared.Clear();
  Child child(program);
  ok = ok && child.Started();
  if (ok) {
    HANDLE waits[] = {shared.Installed(), child.Process()};
    ok = WaitForMultipleObjects(2, waits, FALSE, kStartDeadlineMs) == WAIT_OBJECT_0 &&
         shared.Get().installProcessId == child.ProcessId();
  }
  if (ok) {
    const bench::Record& record = shared.Get();
    sample.startToInstalledMs =
        static_cast<double>(record.installTime - child.CreationTime()) / kTicksPerMs;
    if (record.installPrivateBytes)
      sample.installPrivateKiB = static_cast<double>(record.installPrivateBytes) / 1024;
    ok = WaitForInputIdle(child.Process(), kStartDeadlineMs) == 0;
  }
  std::uint32_t unixProcessId = 0;
  if (ok) ok = (unixProcessId = ReadIdleFigures(program, child, sample)) != 0;
  if (ok && measureIdle) {
    const double windowsBefore = WindowsCpuMs(child.Process());
    const double linuxBefore = bench::AllThreadsCpuMs(unixProcessId);
    Sleep(static_cast<DWORD>(options.idleSeconds) * 1000);  // the idle window itself
    sample.idleWindowsCpuMs = WindowsCpuMs(child.Process()) - windowsBefore;
    sample.idleLinuxCpuMs = bench::AllThreadsCpuMs(unixProcessId) - linuxBefore;
  }
  if (child.Started()) ok = CloseProperly(child, program.mainWindowClass) && ok;
  if (!ok) {
    ++series.failures;
    sample = RunSample{};
  }
  series.Add(sample, measureIdle);
}

// Started while no main program runs: measures the time until the main
// program stub's process is created by the hand-over.
void MeasureHandOver(const Program& program, SharedRecord& shared, Series& series) {
  double handOver = NAN;
  bool ok = WaitUntil([] { return !MutexExists(bench::kPresenceMutexName); }, kExitDeadlineMs);
  shared.Clear();
  Child child(program);
  ok = ok && child.Started();
  if (ok) {
    HANDLE waits[] = {shared.MainStarted(), shared.Installed()};
    ok = WaitForMultipleObjects(2, waits, FALSE, kStartDeadlineMs) == WAIT_OBJECT_0;
  }
  if (ok) {
    handOver = static_cast<double>(shared.Get().mainCreationTime - child.CreationTime()) / kTicksPerMs;
    UniqueHandle mainStub(OpenProcess(SYNCHRONIZE, FALSE, shared.Get().mainProcessId));
    // Already gone is fine: the stub ends as soon as it has signalled.
    if (mainStub) ok = WaitForSingleObject(mainStub.get(), kExitDeadlineMs) == WAIT_OBJECT_0;
  }
  if (child.Started()) ok = child.WaitForExitCodeZero() && ok;
  if (!ok) {
    ++series.failures;
    handOver = NAN;
  }
  series.handOverMs.push_back(handOver);
}

// "median (lower quartile..upper quartile)" or "-" when there is nothing.
std::string Cell(const bench::Summary& summary, int decimals) {
  if (summary.count == 0) return "-";
  char text[96];
  std::snprintf(text, sizeof text, "%.*f (%.*f..%.*f)", decimals, summary.median, decimals,
                summary.lowerQuartile, decimals, summary.upperQuartile);
  return text;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void PrintRow(const char* figure, const std::vector<double>& companion,
              const std::vector<double>& baseline, int decimals, const char* target,
              const char* verdict) {
  const bench::Summary baselineSummary = bench::Summarise(baseline);
  // A ratio to a baseline that is mostly zero says nothing.
  const bench::Summary ratio = baselineSummary.median > 0
                                   ? bench::Summarise(bench::PairRatios(companion, baseline))
                                   : bench::Summary{};
  std::printf("%-42s %-27s %-27s %-22s %-14s %s\n", figure,
              Cell(bench::Summarise(companion), decimals).c_str(),
              Cell(baselineSummary, decimals).c_str(), Cell(ratio, 3).c_str(), target, verdict);
}

const char* RatioVerdict(const std::vector<double>& companion, const std::vector<double>& baseline,
                         double limit) {
  const bench::Summary ratio = bench::Summarise(bench::PairRatios(companion, baseline));
  return ratio.count == 0 ? "not measured" : Verdict(ratio.median <= limit);
}

void PrintReport(const Series& companion, const Series& baseline, long long companionSize,
                 long long baselineSize, const Options& options) {
  std::printf("\n%-42s %-27s %-27s %-22s %-14s %s\n", "figure: median (quartiles)", "companion",
              "baseline", "ratio (pairwise)", "target", "");
  PrintRow("start to InstallHook, ms", companion.startToInstalledMs, baseline.startToInstalledMs, 1,
           "ratio <= 1.05",
           RatioVerdict(companion.startToInstalledMs, baseline.startToInstalledMs, 1.05));
  PrintRow("hand-over: start to main program, ms", companion.handOverMs, baseline.handOverMs, 1,
           "ratio <= 1.05", RatioVerdict(companion.handOverMs, baseline.handOverMs, 1.05));
  PrintRow("private memory idle (RssAnon), KiB", companion.idlePrivateKiB, baseline.idlePrivateKiB,
           0, "ratio <= 1.10",
           RatioVerdict(companion.idlePrivateKiB, baseline.idlePrivateKiB, 1.10));
  PrintRow("private memory at InstallHook, KiB", companion.installPrivateKiB,
           baseline.installPrivateKiB, 0, "", "");
  PrintRow("resident memory idle (VmRSS), KiB", companion.idleResidentKiB, baseline.idleResidentKiB,
           0, "", "");
  PrintRow("handles idle", companion.idleHandles, baseline.idleHandles, 0, "", "");
  PrintRow("CPU from creation to idle, all threads, ms", companion.startupCpuMs,
           baseline.startupCpuMs, 1, "", "");

  char cpuFigure[64];
  std::snprintf(cpuFigure, sizeof cpuFigure, "idle CPU over %d s, all threads, ms", options.idleSeconds);
  const bench::Summary companionCpu = bench::Summarise(companion.idleLinuxCpuMs);
  const bench::Summary baselineCpu = bench::Summarise(baseline.idleLinuxCpuMs);
  PrintRow(cpuFigure, companion.idleLinuxCpuMs, baseline.idleLinuxCpuMs, 3, "<= baseline",
           companionCpu.count == 0 || baselineCpu.count == 0
               ? "not measured"
               : Verdict(companionCpu.median <= baselineCpu.median));
  std::snprintf(cpuFigure, sizeof cpuFigure, "idle CPU over %d s, GetProcessTimes, ms",
                options.idleSeconds);
  PrintRow(cpuFigure, companion.idleWindowsCpuMs, baseline.idleWindowsCpuMs, 3, "", "");

  char sizes[3][32];
  std::snprintf(sizes[0], sizeof sizes[0], "%lld", companionSize);
  std::snprintf(sizes[1], sizeof sizes[1], "%lld", baselineSize);
  std::snprintf(sizes[2], sizeof sizes[2], "%.3f",
                baselineSize > 0 ? static_cast<double>(companionSize) / baselineSize : NAN);
  std::printf("%-42s %-27s %-27s %-22s %-14s %s\n", "stripped executable, bytes", sizes[0],
              sizes[1], sizes[2], "<= 131072",
              Verdict(companionSize > 0 && companionSize <= kSizeTargetBytes));

  // Under load the quartiles widen; the fastest start is the program's own
  // cost with the least of other processes' in it.
  const auto fastest = [](const std::vector<double>& samples) {
    double least = NAN;
    for (double sample : samples)
      if (!std::isnan(sample) && (std::isnan(least) || sample < least)) least = sample;
    return least;
  };
  const double installC = fastest(companion.startToInstalledMs), installB = fastest(baseline.startToInstalledMs);
  const double handC = fastest(companion.handOverMs), handB = fastest(baseline.handOverMs);
  std::printf("\nfastest start, ms: to InstallHook companion %.1f, baseline %.1f (ratio %.3f); "
              "hand-over companion %.1f, baseline %.1f (ratio %.3f)\n",
              installC, installB, installC / installB, handC, handB, handC / handB);

  std::printf("failed starts: companion %d, baseline %d; programs ended by force: %d\n",
              companion.failures, baseline.failures, Child::forcedEnds);
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    int* target = nullptr;
    if (wcscmp(argv[i], L"--starts") == 0) target = &options.starts;
    if (wcscmp(argv[i], L"--idle-samples") == 0) target = &options.idleSamples;
    if (wcscmp(argv[i], L"--idle-seconds") == 0) target = &options.idleSeconds;
    if (!target || i + 1 == argc) return false;
    *target = _wtoi(argv[++i]);
    if (*target < 0) return false;
  }
  return options.starts > 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: tavrel_bench [--starts N] [--idle-samples N] [--idle-seconds N]\n");
    return 2;
  }
  const ULONGLONG began = GetTickCount64();
  const std::wstring here = OwnDirectory();
  const std::wstring hook = here + L"\\bench_hook.dll";
  const std::wstring mainStub = here + L"\\bench_main_stub.exe";

  Program companion{L"companion", L"", L"TEscortForm"};
  Program baseline{L"baseline", L"", L"TavrelBaseline"};
  if (!SetUpScenario(here + L"\\Tavrel.x64.exe", here + L"\\companion", L"Tavrel", hook, mainStub,
                     companion.executable) ||
      !SetUpScenario(here + L"\\baseline.x64.exe", here + L"\\baseline", L"Baseline", hook,
                     mainStub, baseline.executable)) {
    std::fprintf(stderr, "cannot set up the scenario folders in %ls\n", here.c_str());
    return 1;
  }
  SharedRecord shared;
  if (!shared.Ready()) {
    std::fprintf(stderr, "cannot create the shared record\n");
    return 1;
  }
  if (MutexExists(bench::kMainProgramMutexName) || MutexExists(bench::kPresenceMutexName)) {
    std::fprintf(stderr, "a main program or a companion already runs in this Wine session\n");
    return 1;
  }

  // Spread the idle windows over the whole run, not over its first rounds.
  const int idleSamples = options.idleSamples < options.starts ? options.idleSamples : options.starts;
  Series companionSeries, baselineSeries, warmUp;
  Program* programs[] = {&companion, &baseline};
  Series* series[] = {&companionSeries, &baselineSeries};
  // Round -1 warms Wine's caches for both programs and is not counted.
  for (int round = -1; round < options.starts; ++round) {
    const bool measureIdle =
        round >= 0 && idleSamples > 0 &&
        (round * idleSamples) / options.starts != ((round + 1) * idleSamples) / options.starts;
    std::fprintf(stderr, "round %d/%d%s\n", round + 1, options.starts,
                 round < 0 ? " (warm-up)" : measureIdle ? " (with idle window)" : "");
    // Which program goes first alternates from round to round: a start right
    // after the other program's teardown is slower, and that must not fall
    // on one program only.
    const int first = round < 0 ? 0 : round % 2;
    {
      UniqueHandle mainProgramMutex(CreateMutexW(nullptr, FALSE, bench::kMainProgramMutexName));
      for (int k = 0; k < 2; ++k) {
        const int i = (first + k) % 2;
        MeasureRun(*programs[i], shared, measureIdle, options, round < 0 ? warmUp : *series[i]);
      }
    }
    for (int k = 0; k < 2; ++k) {
      const int i = (first + k) % 2;
      MeasureHandOver(*programs[i], shared, round < 0 ? warmUp : *series[i]);
    }
  }

  std::printf("Tavrel.x64 benchmark: %d starts of each program per scenario, interleaved "
              "(the first of each pair alternating); %d idle windows of %d s each\n",
              options.starts, idleSamples, options.idleSeconds);
  PrintReport(companionSeries, baselineSeries, FileSize(here + L"\\Tavrel.x64.exe"),
              FileSize(here + L"\\baseline.x64.exe"), options);
  const bool clean = !MutexExists(bench::kPresenceMutexName) && Child::forcedEnds == 0;
  std::printf("presence mutex free at the end: %s; warm-up failures: %d\n",
              MutexExists(bench::kPresenceMutexName) ? "no" : "yes", warmUp.failures);
  std::printf("driver run time: %.0f s\n", static_cast<double>(GetTickCount64() - began) / 1000.0);
  std::fflush(stdout);
  return clean && companionSeries.failures == 0 && baselineSeries.failures == 0 ? 0 : 1;
}
