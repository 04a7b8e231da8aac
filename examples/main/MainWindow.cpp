#include "MainWindow.h"

#include <string>

namespace {

constexpr wchar_t kWindowClass[] = L"TavrelMainProgram";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshIntervalMs = 1000;
constexpr UINT kAskTimeoutMs = 5000;
constexpr int kTextMargin = 12;

// Registered by name, so both copies get the same number.
UINT OpenedAgainMessage() {
  static const UINT message = RegisterWindowMessageW(L"Tavrel.MainProgram.OpenedAgain");
  return message;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const HookCounter& counter,
                       OpenedAgainHandler onOpenedAgain)
    : instance_(instance), counter_(counter), onOpenedAgain_(std::move(onOpenedAgain)) {}

MainWindow::~MainWindow() {
  if (window_) DestroyWindow(window_);
  if (class_) UnregisterClassW(MAKEINTATOM(class_), instance_);
}

bool MainWindow::Create() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  class_ = RegisterClassExW(&windowClass);
  if (!class_) return false;
  return CreateWindowExW(0, MAKEINTATOM(class_), L"Tavrel", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 480, 120, nullptr, nullptr, instance_, this) != nullptr;
}

void MainWindow::Show(int showCommand) {
  SetTimer(window_, kRefreshTimer, kRefreshIntervalMs, nullptr);
  ShowWindow(window_, showCommand);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  // Exceptions must not unwind through the window manager.
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == OpenedAgainMessage()) {
    ComeForward();
    if (onOpenedAgain_) onOpenedAgain_(static_cast<DWORD>(wParam));
    return TRUE;
  }
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_TIMER:
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

void MainWindow::Paint() {
  std::wstring text = L"The hook library Tavrel.x64.dll could not be loaded.";
  if (counter_.loaded()) {
    const DWORD installer = counter_.InstallerProcessId();
    text = (installer ? L"Hook installed by process " + std::to_wstring(installer)
                      : std::wstring(L"Hook not installed")) +
           L"\nWindow creations seen in other processes: " +
           std::to_wstring(counter_.WindowCreations());
  }
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window_, &paint);
  RECT client;
  GetClientRect(window_, &client);
  InflateRect(&client, -kTextMargin, -kTextMargin);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, DT_LEFT | DT_WORDBREAK);
  EndPaint(window_, &paint);
}

void MainWindow::ComeForward() {
  // A copy running without a visible window (the demo) stays hidden.
  if (!IsWindowVisible(window_)) return;
  if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
  SetForegroundWindow(window_);
}

void AskRunningCopyToComeForward() {
  const HWND running = FindWindowW(kWindowClass, nullptr);
  // Not there yet when that copy is still starting: ending quietly is enough.
  if (!running) return;
  DWORD runningProcessId = 0;
  GetWindowThreadProcessId(running, &runningProcessId);
  // Only the foreground process may hand the foreground on.
  AllowSetForegroundWindow(runningProcessId);
  // Sent, not posted: this copy stays alive until the running one has noted it.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(running, OpenedAgainMessage(), GetCurrentProcessId(), 0,
                      SMTO_ABORTIFHUNG | SMTO_BLOCK, kAskTimeoutMs, &answer);
}
