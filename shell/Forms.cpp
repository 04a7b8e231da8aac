#include "shell/Forms.h"

#include <algorithm>

#include "shell/Application.h"
#include "shell/Owners.h"
#include "shell/TextRules.h"

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TComponent::MarkDestroying() {
  destroying_ = true;
  for (TComponent* c : components_) c->MarkDestroying();
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) delete components_.back();  // unlinks itself
}

TForm::TForm(TComponent* owner) : TComponent(owner) {}

TForm::~TForm() { Release(); }

void TForm::Construct() {
  ApplyStoredProperties(LoadFormResource(ClassName()));
  if (oldCreateOrder_) DoCreate();
}

void TForm::ApplyStoredProperties(const TStoredForm& stored) {
  Name = stored.ComponentName;
  for (const TStoredProperty& property : stored.Properties) ApplyProperty(property);
}

namespace {

[[noreturn]] void BadProperty(const TStoredProperty& p, const std::wstring& why) {
  Raise(EReadError(L"Invalid form property resource, line " + DecimalText(p.Line) + L": " +
                   p.Name + L" " + why));
}

int IntegerOf(const TStoredProperty& p) {
  if (p.ValueKind != TStoredProperty::Kind::Integer) BadProperty(p, L"needs a number");
  return static_cast<int>(p.Number);
}

const std::wstring& StringOf(const TStoredProperty& p) {
  if (p.ValueKind != TStoredProperty::Kind::String) BadProperty(p, L"needs a quoted text");
  return p.Text;
}

bool BooleanOf(const TStoredProperty& p) {
  if (p.ValueKind == TStoredProperty::Kind::Identifier) {
    if (p.Text == L"true") return true;
    if (p.Text == L"false") return false;
  }
  BadProperty(p, L"needs true or false");
}

// Colours and charsets by the names a form description uses.
int NamedValueOf(const TStoredProperty& p) {
  struct Named { const wchar_t* Name; int Value; };
  static const Named names[] = {
      {L"clBtnFace", static_cast<int>(0xFF000000u | COLOR_BTNFACE)},
      {L"clWindowText", static_cast<int>(0xFF000000u | COLOR_WINDOWTEXT)},
      {L"clWindow", static_cast<int>(0xFF000000u | COLOR_WINDOW)},
      {L"DEFAULT_CHARSET", DEFAULT_CHARSET},
      {L"ANSI_CHARSET", ANSI_CHARSET},
      {L"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
  };
  if (p.ValueKind == TStoredProperty::Kind::Integer) return static_cast<int>(p.Number);
  for (const Named& n : names)
    if (p.ValueKind == TStoredProperty::Kind::Identifier && p.Text == n.Name) return n.Value;
  BadProperty(p, L"has an unknown value");
}

}  // namespace

TNotifyEvent TForm::FindMethod(const TStoredProperty& p) const {
  if (p.ValueKind != TStoredProperty::Kind::Identifier) BadProperty(p, L"needs a method name");
  for (const TPublishedMethod* m = PublishedMethods(); m->Name; ++m)
    if (AnsiToWide(m->Name) == p.Text) return m->Code;
  BadProperty(p, L"names " + p.Text + L", which " + ClassName() + L" does not publish");
}

void TForm::ApplyProperty(const TStoredProperty& p) {
  const std::wstring& n = p.Name;
  if (n == L"Left") Left = IntegerOf(p);
  else if (n == L"Top") Top = IntegerOf(p);
  else if (n == L"Caption") Caption = StringOf(p);
  else if (n == L"ClientHeight") ClientHeight = IntegerOf(p), clientSizeStored_ = true;
  else if (n == L"ClientWidth") ClientWidth = IntegerOf(p), clientSizeStored_ = true;
  else if (n == L"Color") Color = NamedValueOf(p);
  else if (n == L"Font.Charset") Font.Charset = NamedValueOf(p);
  else if (n == L"Font.Color") Font.Color = NamedValueOf(p);
  else if (n == L"Font.Height") Font.Height = IntegerOf(p);
  else if (n == L"Font.Name") Font.Name = StringOf(p);
  else if (n == L"Font.Style") {
    if (p.ValueKind != TStoredProperty::Kind::Set) BadProperty(p, L"needs a set");
    Font.Style = p.Text;
  }
  else if (n == L"OldCreateOrder") oldCreateOrder_ = BooleanOf(p);
  else if (n == L"OnCreate") OnCreate = FindMethod(p);
  else if (n == L"OnDestroy") OnDestroy = FindMethod(p);
  else if (n == L"PixelsPerInch") PixelsPerInch = IntegerOf(p);
  else if (n == L"TextHeight") TextHeight = IntegerOf(p);
  else BadProperty(p, L"is not a property of " + std::wstring(ClassName()));
}

bool TForm::CreateScaledHandle() {
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  // Only from Windows 8.1 on; load it from the system folder, never from beside us.
  UniqueModule shcore(LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  auto getDpiForMonitor =
      shcore ? reinterpret_cast<GetDpiForMonitorFunction>(reinterpret_cast<void*>(
                   GetProcAddress(shcore.get(), "GetDpiForMonitor")))
             : nullptr;
  if (!getDpiForMonitor) {
    HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ScaleTo(systemDpi);
    return false;
  }
  CreateHandle();
  UINT dpiX = 0, dpiY = 0;
  const int effectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  const int dpi = SUCCEEDED(getDpiForMonitor(MonitorFromWindow(handle_, MONITOR_DEFAULTTONEAREST),
                                             effectiveDpi, &dpiX, &dpiY))
                      ? static_cast<int>(dpiY)
                      : 0;
  // An unreadable DPI leaves the window at its created size.
  if (dpi >= 30) {
    ScaleTo(dpi);
    ApplyClientSize();
  }
  return true;
}

void TForm::ScaleTo(int dpi) {
  if (dpi == 96) return;
  ClientWidth = ScaleForDpi(ClientWidth, dpi);
  ClientHeight = ScaleForDpi(ClientHeight, dpi);
  Font.Height = ScaleForDpi(Font.Height, dpi);
  PixelsPerInch = dpi;
}

void TForm::ApplyClientSize() {
  if (!handle_ || !clientSizeStored_) return;
  RECT window{}, client{};
  GetWindowRect(handle_, &window);
  GetClientRect(handle_, &client);
  const int frameWidth = (window.right - window.left) - client.right;
  const int frameHeight = (window.bottom - window.top) - client.bottom;
  SetWindowPos(handle_, nullptr, 0, 0, frameWidth + ClientWidth, frameHeight + ClientHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CreateHandle() {
  if (handle_) return;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW existing{};
  if (!GetClassInfoW(instance, ClassName(), &existing)) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = StaticWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = ClassName();
    if (!RegisterClassW(&windowClass)) RaiseLastOSError();
  }
  if (!CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, ClassName(), Caption.c_str(),
                       WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, CW_USEDEFAULT,
                       CW_USEDEFAULT, width_, height_, nullptr, nullptr, instance, this))
    RaiseLastOSError();
  SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Application->Icon()));
}

void TForm::DoCreate() {
  if (!OnCreate) return;
  // A failing creation event is reported and the form is still completed.
  try {
    OnCreate(*this, this);
  } catch (...) {
    Application->HandleException(this);
  }
}

void TForm::Close() {
  if (Application->MainForm() == this) Application->Terminate();
}

void TForm::Release() {
  if (handle_ && IsWindowVisible(handle_)) ShowWindow(handle_, SW_HIDE);
  if (TNotifyEvent onDestroy = std::exchange(OnDestroy, nullptr)) {
    try {
      onDestroy(*this, this);
    } catch (...) {
      Application->HandleException(this);
    }
  }
  if (HWND window = std::exchange(handle_, nullptr)) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
}

LRESULT TForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // the end of a session is never vetoed
    case WM_ENDSESSION:
      return 0;  // the application window acts on it
    default:
      return DefWindowProcW(handle_, message, wParam, lParam);
  }
}

LRESULT CALLBACK TForm::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = WindowObject<TForm>(window, message, lParam);
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCREATE) form->handle_ = window;
  // Exceptions never unwind through the window manager.
  try {
    return form->WindowProc(message, wParam, lParam);
  } catch (...) {
    Application->HandleException(form);
    return 0;
  }
}
