#include "shell/Application.h"

#include <ole2.h>
#include <wtsapi32.h>

#include <utility>

#include "shell/Owners.h"
#include "shell/TextRules.h"

TApplication* Application = nullptr;

namespace {

const wchar_t kApplicationClass[] = L"TApplication";
const wchar_t kUtilWindowClass[] = L"TPUtilWindow";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

}  // namespace

TApplication::TApplication() : TComponent(nullptr) {
  InitializeCriticalSection(&queueLock_);
  oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
  title_ = DefaultTitle(ModuleFileName(nullptr));
  icon_ = LoadIconW(Instance(), L"MAINICON");

  WNDCLASSW utilClass{};
  utilClass.lpfnWndProc = UtilWindowProc;
  utilClass.hInstance = Instance();
  utilClass.lpszClassName = kUtilWindowClass;
  if (!RegisterClassW(&utilClass)) RaiseLastOSError();
  utilWindow_ = CreateWindowExW(WS_EX_TOOLWINDOW, kUtilWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, Instance(), nullptr);
  if (!utilWindow_) RaiseLastOSError();

  WNDCLASSW applicationClass{};
  applicationClass.lpfnWndProc = StaticWindowProc;
  applicationClass.hInstance = Instance();
  applicationClass.lpszClassName = kApplicationClass;
  if (!RegisterClassW(&applicationClass))
    Raise(EOutOfResources(L"ウィンドウクラスの作成でエラーが発生しました"));
  if (!CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, title_.c_str(),
                       WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                       GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                       nullptr, nullptr, Instance(), this))
    RaiseLastOSError();
  SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SetClassLongPtrW(handle_, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon_));
  HMENU systemMenu = GetSystemMenu(handle_, FALSE);
  DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(systemMenu, SC_MOVE, MF_BYCOMMAND);
  WTSRegisterSessionNotification(handle_, NOTIFY_FOR_THIS_SESSION);
}

TApplication::~TApplication() {
  Done();
  if (handle_) {
    WTSUnRegisterSessionNotification(handle_);
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    DestroyWindow(std::exchange(handle_, nullptr));
  }
  if (utilWindow_) DestroyWindow(std::exchange(utilWindow_, nullptr));
  if (oleInitialized_) OleUninitialize();
  DeleteCriticalSection(&queueLock_);
}

std::wstring TApplication::Title() const {
  if (mainFormOnTaskBar_ || !handle_) return title_;
  wchar_t caption[256];
  const int length = GetWindowTextW(handle_, caption, 256);
  return length > 0 ? std::wstring(caption, length) : title_;
}

void TApplication::SetTitle(const std::wstring& title) {
  if (title != title_ && handle_)
    SetWindowTextW(handle_, mainFormOnTaskBar_ ? L"" : title.c_str());
  title_ = title;
}

void TApplication::SetMainFormOnTaskBar(bool value) {
  mainFormOnTaskBar_ = value;
  if (value && !mainForm_ && handle_) {
    SetWindowLongPtrW(handle_, GWL_EXSTYLE, GetWindowLongPtrW(handle_, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    SetWindowTextW(handle_, L"");
  }
}

void TApplication::Initialize() {
  // Already initialised by OLE counts as success: it is undone all the same.
  comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
}

void TApplication::CreateFormStep(TForm& form) {
  form.Construct();
  const bool handleCreated = form.CreateScaledHandle();
  if (!form.OldCreateOrder()) form.DoCreate();
  if (!handleCreated) {
    form.CreateHandle();
    form.ApplyClientSize();
  }
  if (!mainForm_) {
    mainForm_ = &form;
    if (mainFormOnTaskBar_ && handle_)
      SetWindowLongPtrW(handle_, GWL_EXSTYLE,
                        GetWindowLongPtrW(handle_, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
  }
}

void TApplication::Run() {
  running_ = true;
  struct ClearRunning {
    bool& running;
    ~ClearRunning() { running = false; }
  } clearRunning{running_};
  if (!mainForm_) return;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const WORD showCommand =
      (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  HWND mainWindow = mainForm_->Handle();
  if (showCommand == SW_SHOWMAXIMIZED)
    SetWindowLongPtrW(mainWindow, GWL_STYLE, GetWindowLongPtrW(mainWindow, GWL_STYLE) | WS_MAXIMIZE);
  else if (showCommand == SW_SHOWMINNOACTIVE)
    mainForm_->Minimized = true;
  if (ShowMainForm) ShowWindow(mainWindow, SW_SHOWNORMAL);

  do {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  } while (!terminated_);
}

void TApplication::HandleMessage() {
  if (!ProcessMessage() && !RunQueuedCalls()) WaitMessage();
}

bool TApplication::ProcessMessage() {
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) return false;
  const bool unicode = !message.hwnd || !IsWindow(message.hwnd) || IsWindowUnicode(message.hwnd);
  if (!(unicode ? PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)
                : PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)))
    return true;
  if (message.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&message);
  if (unicode)
    DispatchMessageW(&message);
  else
    DispatchMessageA(&message);
  return true;
}

void TApplication::Queue(void (*call)(void* context), void* context) {
  EnterCriticalSection(&queueLock_);
  queue_.push_back({call, context});
  LeaveCriticalSection(&queueLock_);
  // A message to our own window wakes the loop, also inside modal loops.
  PostMessageW(utilWindow_, WM_NULL, 0, 0);
}

bool TApplication::RunQueuedCalls() {
  std::vector<QueuedCall> calls;
  EnterCriticalSection(&queueLock_);
  calls.swap(queue_);
  LeaveCriticalSection(&queueLock_);
  for (const QueuedCall& queued : calls) queued.Call(queued.Context);
  return !calls.empty();
}

void TApplication::Terminate() { PostQuitMessage(0); }

// Nothing of the companion is ever visible, so minimising only records it.
void TApplication::Minimize() {
  minimized_ = true;
  if (mainForm_) mainForm_->Minimized = true;
}

void TApplication::Restore() {
  minimized_ = false;
  if (mainForm_) mainForm_->Minimized = false;
}

void TApplication::HandleException(TObject* sender) {
  const std::shared_ptr<Exception> exception = CurrentException();
  if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
  if (exception->InheritsFrom("EAbort")) return;
  if (OnException)
    OnException(sender, *exception);
  else
    ShowException(*exception);
}

void TApplication::ShowException(const Exception& e) {
  std::wstring text = e.Message();
  for (auto inner = e.InnerException(); inner; inner = inner->InnerException())
    if (!inner->Message().empty()) text = inner->Message();
  MessageBox(WithFinalPeriod(text), Title(), MB_OK | MB_ICONSTOP);
}

namespace {

struct DisabledWindows {
  HWND active;
  std::vector<HWND> windows;
};

BOOL CALLBACK DisableOtherWindow(HWND window, LPARAM parameter) {
  auto* disabled = reinterpret_cast<DisabledWindows*>(parameter);
  if (window != disabled->active && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled->windows.push_back(window);
  }
  return TRUE;
}

POINT CentreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

int TApplication::MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  HWND active = GetActiveWindow();
  HWND focus = GetFocus();
  HWND owner = active;
  if (!owner && handle_) owner = GetLastActivePopup(handle_);
  if (!owner) owner = handle_;

  // The box appears on the monitor of its owner; the application window goes there too.
  bool moved = false;
  RECT oldRect{};
  if (handle_ && owner != handle_) {
    HMONITOR ownerMonitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    if (ownerMonitor != MonitorFromWindow(handle_, MONITOR_DEFAULTTONEAREST)) {
      MONITORINFO info{};
      info.cbSize = sizeof info;
      if (GetMonitorInfoW(ownerMonitor, &info) && GetWindowRect(handle_, &oldRect)) {
        const POINT centre = CentreOf(info.rcMonitor);
        const int width = oldRect.right - oldRect.left, height = oldRect.bottom - oldRect.top;
        SetWindowPos(handle_, nullptr, centre.x - width / 2, centre.y - height / 2, 0, 0, 0x1D);
        moved = true;
      }
    }
  }

  DisabledWindows disabled{active, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOtherWindow, reinterpret_cast<LPARAM>(&disabled));

  DWORD layout = 0;
  if (GetSystemMetrics(SM_MIDEASTENABLED) && GetProcessDefaultLayout(&layout) && (layout & LAYOUT_RTL))
    flags |= MB_RTLREADING;

  struct Restore {
    TApplication& application;
    bool moved;
    RECT oldRect;
    DisabledWindows& disabled;
    HWND active, focus;
    ~Restore() {
      if (moved) {
        const POINT centre = CentreOf(oldRect);
        const int width = oldRect.right - oldRect.left, height = oldRect.bottom - oldRect.top;
        SetWindowPos(application.handle_, nullptr, centre.x - width / 2, centre.y - height / 2, 0,
                     0, 0x1D);
      }
      for (HWND window : disabled.windows)
        if (IsWindow(window)) EnableWindow(window, TRUE);
      if (active && IsWindow(active)) SetActiveWindow(active);
      if (focus && IsWindow(focus)) SetFocus(focus);
    }
  } restore{*this, moved, oldRect, disabled, active, focus};

  return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::Done() {
  if (done_) return;
  done_ = true;
  if (handle_) ShowOwnedPopups(handle_, FALSE);
  MarkDestroying();
  DestroyComponents();
  mainForm_ = nullptr;
}

LRESULT TApplication::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
          Minimize();
          return 0;
        case SC_RESTORE:
          Restore();
          return 0;
      }
      break;
    case WM_QUERYENDSESSION:
      return TRUE;  // the end of a session is never vetoed
    case WM_ENDSESSION:
      if (static_cast<DWORD>(wParam) != 0) {
        // The session is ending: the process may not get back to the loop.
        Terminate();
        Halt();
      }
      return 0;
    case WM_WTSSESSION_CHANGE:
      return 0;  // no monitor list is kept, so there is nothing to refresh
  }
  return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK TApplication::StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  auto* application = WindowObject<TApplication>(window, message, lParam);
  if (!application) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCREATE) application->handle_ = window;
  // Exceptions never unwind through the window manager.
  try {
    return application->WindowProc(message, wParam, lParam);
  } catch (...) {
    application->HandleException(application);
    return 0;
  }
}

LRESULT CALLBACK TApplication::UtilWindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

void StartApplication() {
  try {
    Application = new TApplication();
  } catch (...) {
    const auto exception = CurrentException();
    const TRuntimeErrorReport report =
        FormatRuntimeErrorReport(217, reinterpret_cast<std::uintptr_t>(exception->Address()));
    MessageBoxA(nullptr, report.Text, "Error", MB_OK);
    ExitProcess(217);
  }
}

void Halt() {
  // An end of session during the teardown's own error box ends at once.
  static bool halting = false;
  if (std::exchange(halting, true)) ExitProcess(static_cast<UINT>(ExitCode));
  if (Application) {
    Application->Done();
    const bool comInitialized = Application->ComInitialized();
    delete std::exchange(Application, nullptr);
    if (comInitialized) CoUninitialize();
  }
  ExitProcess(static_cast<UINT>(ExitCode));
}
