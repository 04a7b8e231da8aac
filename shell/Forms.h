#pragma once
// Components and forms: a form is a hidden or visible top-level window whose
// design-time properties are stored as a resource and whose published event
// handlers are bound to its events by name.

#include <windows.h>

#include <string>
#include <vector>

#include "shell/FormResource.h"
#include "shell/SysUtils.h"

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::wstring Name;
  TComponent* Owner() const { return owner_; }
  bool Destroying() const { return destroying_; }
  // Marks this component and those it owns as being destroyed.
  void MarkDestroying();
  // Frees the owned components, the last created first.
  void DestroyComponents();

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;
  bool destroying_ = false;
};

class TForm;
// An event handler: a published method of the form class, called with the
// object that raised the event.
using TNotifyEvent = void (*)(TForm& self, TObject* sender);

struct TPublishedMethod {
  const char* Name;
  TNotifyEvent Code;
};

struct TFont {
  int Charset = DEFAULT_CHARSET;
  int Color = 0;
  int Height = -11;
  std::wstring Name = L"Tahoma";
  std::wstring Style;
};

class TForm : public TComponent {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // The window class name, which is also the name of the stored properties.
  virtual const wchar_t* ClassName() const = 0;
  // The handlers that stored properties may bind to events, by name; the
  // table ends with an entry without a name.
  virtual const TPublishedMethod* PublishedMethods() const = 0;

  // Construction: the form defaults, then the stored properties in order.
  void Construct();
  void ApplyStoredProperties(const TStoredForm& stored);
  // Creates the window and scales the form to the monitor it lands on.
  // Returns false when the platform cannot tell a monitor's DPI; the window
  // is then created later by CreateHandle.
  bool CreateScaledHandle();
  void CreateHandle();
  void ApplyClientSize();
  void DoCreate();
  // The close request: granted always; closing the main form ends the program.
  void Close();
  // Teardown of a form: hide, destruction event, window destroyed.
  void Release();

  HWND Handle() const { return handle_; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  std::wstring Caption;
  int Left = 0, Top = 0;
  int ClientWidth = 0, ClientHeight = 0;
  int Color = 0;
  TFont Font;
  int PixelsPerInch = 96;
  int TextHeight = 13;
  TNotifyEvent OnCreate = nullptr;
  TNotifyEvent OnDestroy = nullptr;
  bool Minimized = false;

 private:
  void ApplyProperty(const TStoredProperty& property);
  TNotifyEvent FindMethod(const TStoredProperty& property) const;
  void ScaleTo(int dpi);
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND handle_ = nullptr;
  bool clientSizeStored_ = false;
  bool oldCreateOrder_ = false;
  int width_ = 320, height_ = 240;
};
