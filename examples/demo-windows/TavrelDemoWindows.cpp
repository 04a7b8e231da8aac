// Demo helper: creates the number of ordinary top-level windows given on its
// command line, destroys them and exits with the number it created, so the
// demo can compare it with what the hook counted in this process.

#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const int wanted = static_cast<int>(std::wcstol(commandLine, nullptr, 10));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TavrelDemoWindow";
  if (!RegisterClassExW(&windowClass)) return 0;
  int created = 0;
  for (int i = 0; i < wanted; ++i) {
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Tavrel demo window",
                                        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                        nullptr, nullptr, instance, nullptr);
    if (!window) break;
    ++created;
    DestroyWindow(window);
  }
  UnregisterClassW(windowClass.lpszClassName, instance);
  return created;
}
