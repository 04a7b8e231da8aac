#include "scenario.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace e2e {
namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::vector<std::wstring> SplitTabs(const std::wstring& line) {
  std::vector<std::wstring> fields;
  std::wstring::size_type start = 0;
  for (;;) {
    auto tab = line.find(L'\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::wstring::npos) return fields;
    start = tab + 1;
  }
}

std::wstring CurrentCaseName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name;
  for (const char* part : {info->test_suite_name(), ".", info->name()}) {
    for (const char* c = part; *c; ++c) name += (*c == '/') ? L'_' : static_cast<wchar_t>(*c);
  }
  return name;
}

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ClassNameOf(window) == search->className) {
    search->found.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM context) {
  auto* buttons = reinterpret_cast<std::vector<std::wstring>*>(context);
  if (ClassNameOf(child) == L"Button" && IsWindowVisible(child)) buttons->push_back(TextOf(child));
  return TRUE;
}

BOOL CALLBACK FindIconControl(HWND child, LPARAM context) {
  if (ClassNameOf(child) == L"Static" && IsWindowVisible(child) &&
      (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      SendMessageW(child, STM_GETICON, 0, 0) != 0) {
    *reinterpret_cast<HWND*>(context) = child;
    return FALSE;
  }
  return TRUE;
}

using Pixels = std::vector<DWORD>;

// Reads the pixels of a memory bitmap selected into `dc`.
Pixels PixelsOf(HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  Pixels pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
  return pixels;
}

// Draws into a bitmap of the given size and returns its pixels.
template <typename Paint>
Pixels Draw(int width, int height, Paint paint) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  paint(memory, screen);
  SelectObject(memory, previous);
  Pixels pixels = PixelsOf(memory, bitmap, width, height);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Another process's icon handle cannot be inspected, so the icon is told by
// what the box shows on screen: the standard icon drawn the same way on the
// same background matches it pixel for pixel.
BoxIcon RecogniseIcon(HWND iconControl, const Deadline& deadline) {
  RECT bounds = {};
  GetWindowRect(iconControl, &bounds);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return BoxIcon::Unrecognised;
  const std::pair<LPCWSTR, BoxIcon> standardIcons[] = {{IDI_HAND, BoxIcon::Error},
                                                       {IDI_EXCLAMATION, BoxIcon::Warning},
                                                       {IDI_ASTERISK, BoxIcon::Information},
                                                       {IDI_QUESTION, BoxIcon::Question}};
  BoxIcon recognised = BoxIcon::Unrecognised;
  // The box may not be painted yet when it first becomes visible.
  Deadline painted(std::min<DWORD>(deadline.RemainingMs(), 3000));
  PollUntil(painted, [&] {
    Pixels shown = Draw(width, height, [&](HDC memory, HDC screen) {
      BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
    });
    const DWORD background = shown.front();
    for (const auto& [resource, icon] : standardIcons) {
      Pixels drawn = Draw(width, height, [&](HDC memory, HDC) {
        RECT all = {0, 0, width, height};
        // Bitmap pixels are 0x00RRGGBB.
        HBRUSH brush =
            CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, resource), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
      });
      if (drawn == shown) {
        recognised = icon;
        return true;
      }
    }
    return false;
  });
  return recognised;
}

// A path that the file functions take whole, however long.
std::wstring ExtendedLength(const std::wstring& path) { return L"\\\\?\\" + path; }

// std::filesystem gives up on paths longer than MAX_PATH, so the folders are
// cleared by hand.
bool RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(ExtendedLength(folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND;
  }
  bool removed = true;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      removed = RemoveTree(path) && removed;
    } else {
      removed = DeleteFileW(ExtendedLength(path).c_str()) && removed;
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return RemoveDirectoryW(ExtendedLength(folder).c_str()) && removed;
}

void CopyInto(const std::wstring& source, const std::wstring& target) {
  EXPECT_TRUE(CopyFileW(ExtendedLength(source).c_str(), ExtendedLength(target).c_str(), FALSE))
      << "cannot copy to " << fs::path(target).string() << ": " << GetLastError();
}

// What ntdll takes to create a process, which mingw's headers leave out.
struct ProcessAttribute {
  ULONG_PTR attribute;
  SIZE_T size;
  void* value;
  SIZE_T* returnLength;
};
struct ProcessAttributeList {
  SIZE_T totalLength;
  ProcessAttribute attributes[2];
};
struct ProcessCreateInfo {
  SIZE_T size;
  ULONG state;
  BYTE output[76];
};
static_assert(sizeof(ProcessCreateInfo) == 88, "the system checks the size");
constexpr ULONG_PTR kAttributeImageName = 0x20005;
constexpr ULONG_PTR kAttributeClientId = 0x10003;
constexpr ULONG kCreateThreadSuspended = 1;
constexpr ULONG kParametersNormalized = 1;

extern "C" NTSTATUS NTAPI NtCreateUserProcess(HANDLE* process, HANDLE* thread, ACCESS_MASK processAccess,
                                              ACCESS_MASK threadAccess, OBJECT_ATTRIBUTES* processAttributes,
                                              OBJECT_ATTRIBUTES* threadAttributes, ULONG processFlags,
                                              ULONG threadFlags, RTL_USER_PROCESS_PARAMETERS* parameters,
                                              ProcessCreateInfo* createInfo, ProcessAttributeList* attributes);
extern "C" NTSTATUS NTAPI RtlCreateProcessParametersEx(
    RTL_USER_PROCESS_PARAMETERS** parameters, UNICODE_STRING* imagePath, UNICODE_STRING* dllPath,
    UNICODE_STRING* currentDirectory, UNICODE_STRING* commandLine, void* environment, UNICODE_STRING* windowTitle,
    UNICODE_STRING* desktop, UNICODE_STRING* shellInfo, UNICODE_STRING* runtimeData, ULONG flags);
extern "C" NTSTATUS NTAPI RtlDestroyProcessParameters(RTL_USER_PROCESS_PARAMETERS* parameters);

// CreateProcessW stops at MAX_PATH characters, on Windows as in Wine; the
// native call takes the image path whole. Started suspended, with the
// driver's environment.
bool CreateSuspendedFromLongPath(const std::wstring& program, const std::wstring& commandLine,
                                 const std::wstring& directory, PROCESS_INFORMATION& started) {
  const std::wstring ntProgram = L"\\??\\" + program;
  const std::wstring currentDirectory = directory + L"\\";
  UNICODE_STRING image, command, current, ntImage;
  RtlInitUnicodeString(&image, program.c_str());
  RtlInitUnicodeString(&command, commandLine.c_str());
  RtlInitUnicodeString(&current, currentDirectory.c_str());
  RtlInitUnicodeString(&ntImage, ntProgram.c_str());
  RTL_USER_PROCESS_PARAMETERS* parameters = nullptr;
  NTSTATUS status = RtlCreateProcessParametersEx(&parameters, &image, nullptr, &current, &command, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr, kParametersNormalized);
  if (status < 0) {
    ADD_FAILURE() << "RtlCreateProcessParametersEx failed with " << std::hex << status;
    return false;
  }
  CLIENT_ID ids = {};
  ProcessAttributeList attributes = {};
  attributes.totalLength = sizeof attributes;
  attributes.attributes[0] = {kAttributeImageName, ntImage.Length, ntImage.Buffer, nullptr};
  attributes.attributes[1] = {kAttributeClientId, sizeof ids, &ids, nullptr};
  ProcessCreateInfo createInfo = {};
  createInfo.size = sizeof createInfo;
  status = NtCreateUserProcess(&started.hProcess, &started.hThread, PROCESS_ALL_ACCESS, THREAD_ALL_ACCESS,
                               nullptr, nullptr, 0, kCreateThreadSuspended, parameters, &createInfo,
                               &attributes);
  RtlDestroyProcessParameters(parameters);
  if (status < 0) {
    ADD_FAILURE() << "NtCreateUserProcess failed with " << std::hex << status;
    return false;
  }
  started.dwProcessId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(ids.UniqueProcess));
  started.dwThreadId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(ids.UniqueThread));
  return true;
}

}  // namespace

int Repetitions(int normal, int longRun) {
  const char* setting = std::getenv("TAVREL_LONG_RUN");
  return setting && std::strcmp(setting, "1") == 0 ? longRun : normal;
}

std::wstring BuildBinDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

UniqueHandle HoldMutex(const wchar_t* name) {
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, name));
  DWORD error = GetLastError();
  EXPECT_TRUE(mutex) << "CreateMutexW failed with " << error;
  EXPECT_NE(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a mutex left over from an earlier case";
  return mutex;
}

UniqueHandle HoldEvent(const wchar_t* name) {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, name));
  DWORD error = GetLastError();
  EXPECT_TRUE(event) << "CreateEventW failed with " << error;
  EXPECT_NE(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "an object left over from an earlier case";
  return event;
}

UniqueHandle HoldMutexDenyingAccess(const wchar_t* name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &descriptor, nullptr)) {
    ADD_FAILURE() << "cannot build the security descriptor: " << GetLastError();
    return UniqueHandle();
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  UniqueHandle mutex(CreateMutexW(&attributes, FALSE, name));
  DWORD error = GetLastError();
  LocalFree(descriptor);
  EXPECT_TRUE(mutex) << "CreateMutexW failed with " << error;
  EXPECT_NE(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a mutex left over from an earlier case";
  return mutex;
}

bool MutexExists(const wchar_t* name) {
  UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return static_cast<bool>(mutex);
}

std::wstring ErrorBoxTextFor(DWORD errorCode) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", buffer ? length : 0);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  if (!text.empty() && text.back() > L'.') text += L'.';
  return text;
}

void ExpectStartupErrorBox(const MessageBoxView& box, const wchar_t* text) {
  EXPECT_EQ(box.caption, kApplicationTitle);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(box.icon, BoxIcon::Error);
}

std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> result;
  if (!arguments) return result;
  result.assign(arguments, arguments + count);
  LocalFree(arguments);
  return result;
}

DWORD ErrorOfLoading(const std::wstring& path) {
  HMODULE library = LoadLibraryW(path.c_str());
  const DWORD error = GetLastError();
  if (library) {
    FreeLibrary(library);
    ADD_FAILURE() << "the file loads as a library";
  }
  return error;
}

std::wstring ClassNameOf(HWND window) {
  wchar_t name[256] = {};
  int length = GetClassNameW(window, name, ARRAYSIZE(name));
  return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  int length = GetWindowTextW(window, text, ARRAYSIZE(text));
  return std::wstring(text, static_cast<size_t>(std::max(length, 0)));
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId, const wchar_t* className) {
  WindowSearch search{processId, className, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void PrintTo(BoxIcon icon, std::ostream* out) {
  static const char* const names[] = {"none", "error", "warning", "information", "question", "unrecognised"};
  *out << names[static_cast<int>(icon)];
}

std::optional<MessageBoxView> FindMessageBox(DWORD processId, const Deadline& deadline) {
  for (HWND window : TopLevelWindowsOf(processId, L"#32770")) {
    // A box becomes visible once its dialog initialisation has filled it in.
    if (!IsWindowVisible(window)) continue;
    MessageBoxView box;
    box.window = window;
    box.caption = TextOf(window);
    wchar_t text[4096] = {};
    UINT length = GetDlgItemTextW(window, 0xFFFF, text, ARRAYSIZE(text));
    box.text.assign(text, length);
    EnumChildWindows(window, CollectButton, reinterpret_cast<LPARAM>(&box.buttons));
    HWND iconControl = nullptr;
    EnumChildWindows(window, FindIconControl, reinterpret_cast<LPARAM>(&iconControl));
    if (iconControl) box.icon = RecogniseIcon(iconControl, deadline);
    return box;
  }
  return std::nullopt;
}

bool Dismiss(const MessageBoxView& box, const Deadline& deadline) {
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return PollUntil(deadline, [&] { return !IsWindow(box.window); });
}

std::optional<DWORD> Companion::ExitCode() const {
  if (IsRunning()) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

HWND Companion::Window(const wchar_t* className) const {
  auto windows = TopLevelWindowsOf(processId_, className);
  return windows.empty() ? nullptr : windows.front();
}

HWND Companion::WaitForWindow(const wchar_t* className, const Deadline& deadline) const {
  HWND window = nullptr;
  PollUntil(deadline, [&] { return (window = Window(className)) != nullptr || !IsRunning(); });
  return window;
}

std::optional<MessageBoxView> Companion::WaitForMessageBox(const Deadline& deadline) const {
  std::optional<MessageBoxView> box;
  PollUntil(deadline, [&] { return (box = FindMessageBox(processId_, deadline)).has_value() || !IsRunning(); });
  return box;
}

bool Companion::ShowsNoBoxWithin(DWORD settleMs) const {
  Deadline settled(settleMs);
  return !PollUntil(settled, [&] { return !TopLevelWindowsOf(processId_, L"#32770").empty(); });
}

Companion::Ending Companion::WaitForEnd(const Deadline& deadline) const {
  Ending ending;
  std::set<HWND> dismissed;
  PollUntil(deadline, [&] {
    if (!IsRunning()) return true;
    if (auto box = FindMessageBox(processId_, deadline); box && dismissed.insert(box->window).second) {
      ending.boxes.push_back(*box);
      Dismiss(*box, deadline);
    }
    return false;
  });
  ending.exitCode = ExitCode();
  return ending;
}

void Companion::Terminate() const {
  if (!IsRunning()) return;
  TerminateProcess(process_.get(), 0xDEAD);
  WaitForSingleObject(process_.get(), kCaseBudgetMs);
}

Scenario::Scenario(const wchar_t* companionBuild)
    : Scenario(Layout{companionBuild, L"", L"Tavrel.x64.exe", L"Tavrel.exe"}) {}

Scenario::Scenario(const Layout& layout) {
  const std::wstring bin = BuildBinDirectory();
  const std::wstring caseDirectory = bin + L"\\scenarios\\" + CurrentCaseName();
  directory_ = layout.folder.empty() ? caseDirectory : caseDirectory + L"\\" + layout.folder;
  // The companion is started from a directory of its own, so the main
  // program's working directory shows whether one was passed on hand-over.
  startDirectory_ = caseDirectory + L"\\start";
  logPath_ = caseDirectory + L"\\events.log";
  companionPath_ = PathOf(layout.companionName);
  hookLibraryPath_ = PathOf(layout.companionName.substr(0, layout.companionName.rfind(L'.')) + L".dll");

  EXPECT_TRUE(RemoveTree(caseDirectory)) << "cannot clear " << fs::path(caseDirectory).string();
  std::error_code error;
  for (const std::wstring& folder : {startDirectory_, directory_}) {
    fs::create_directories(ExtendedLength(folder), error);
    EXPECT_FALSE(error) << "cannot create " << fs::path(folder).string() << ": " << error.message();
  }
  CopyInto(bin + L"\\" + layout.companionBuild, companionPath_);
  if (!layout.mainProgramName.empty()) CopyInto(bin + L"\\main_stub.exe", PathOf(layout.mainProgramName));
  SetEnvironmentVariableW(L"TAVREL_TEST_LOG", logPath_.c_str());

  // Wine starts its desktop process for the first process that needs it:
  // let that be the driver, so it is neither in the job nor counted there.
  GetDesktopWindow();
  job_.reset(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

Scenario::~Scenario() {
  for (const auto& companion : companions_) {
    if (!companion->IsRunning()) continue;
    if (!::testing::Test::HasFailure()) {
      ADD_FAILURE() << "companion " << companion->ProcessId() << " still runs at the end of the case";
    }
    companion->Terminate();
  }
}

void Scenario::PlaceHookLibrary(const std::wstring& fixtureFileName) const {
  CopyInto(BuildBinDirectory() + L"\\" + fixtureFileName, hookLibraryPath_);
}

DWORD Scenario::ProcessesStarted() const {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  EXPECT_TRUE(QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                        sizeof accounting, nullptr));
  return accounting.TotalProcesses;
}

Companion& Scenario::Launch() {
  std::wstring commandLine = L"\"" + companionPath_ + L"\"";
  PROCESS_INFORMATION started = {};
  if (companionPath_.size() >= MAX_PATH) {
    CreateSuspendedFromLongPath(companionPath_, commandLine, startDirectory_, started);
  } else {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(companionPath_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, startDirectory_.c_str(), &startup, &started)) {
      ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
    }
  }
  AssignProcessToJobObject(job_.get(), started.hProcess);
  companions_.push_back(std::make_unique<Companion>(started));
  return *companions_.back();
}

Companion& Scenario::Start() {
  Companion& companion = Launch();
  companion.Resume();
  return companion;
}

std::vector<Companion*> Scenario::StartTogether(int count) {
  std::vector<Companion*> started;
  for (int i = 0; i < count; ++i) started.push_back(&Launch());
  for (Companion* companion : started) companion->Resume();
  return started;
}

std::vector<LogEntry> Scenario::ReadLog() const {
  std::ifstream file(fs::path(logPath_), std::ios::binary);
  std::vector<LogEntry> entries;
  std::string line;
  while (std::getline(file, line)) {
    auto fields = SplitTabs(FromUtf8(line));
    if (fields.size() < 3) continue;
    LogEntry entry;
    entry.processId = static_cast<DWORD>(std::stoul(fields[0]));
    entry.source = fields[1];
    entry.fields.assign(fields.begin() + 2, fields.end());
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::wstring> Scenario::HookEventsOf(DWORD processId) const {
  std::vector<std::wstring> events;
  for (const LogEntry& entry : ReadLog()) {
    if (entry.processId != processId || entry.source != L"hook") continue;
    std::wstring event;
    for (const std::wstring& field : entry.fields) event += (event.empty() ? L"" : L" ") + field;
    events.push_back(event);
  }
  return events;
}

std::vector<LogEntry> Scenario::MainProgramStarts() const {
  std::vector<LogEntry> starts;
  for (LogEntry& entry : ReadLog()) {
    if (entry.source == L"main-program") starts.push_back(std::move(entry));
  }
  return starts;
}

bool Scenario::WaitForHookEvent(DWORD processId, const std::wstring& event, const Deadline& deadline) const {
  return PollUntil(deadline, [&] {
    auto events = HookEventsOf(processId);
    return std::find(events.begin(), events.end(), event) != events.end();
  });
}

bool Scenario::WaitForMainProgramStarts(size_t count, const Deadline& deadline) const {
  return PollUntil(deadline, [&] { return MainProgramStarts().size() >= count; });
}

}  // namespace e2e
