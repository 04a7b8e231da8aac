#pragma once
// The application object: hidden windows of its own, form creation, the
// message loop, the error box and the teardown at exit.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/Forms.h"
#include "shell/SysUtils.h"

#undef MessageBox  // the application's own MessageBox, not the Win32 macro

class TApplication : public TComponent {
 public:
  // Process start: OLE on this thread, the default title, the utility window
  // and the application window.
  TApplication();
  ~TApplication() override;

  std::wstring Title() const;
  void SetTitle(const std::wstring& title);
  bool ShowMainForm = true;
  bool MainFormOnTaskBar() const { return mainFormOnTaskBar_; }
  void SetMainFormOnTaskBar(bool value);
  TForm* MainForm() const { return mainForm_; }
  bool Terminated() const { return terminated_; }
  bool Running() const { return running_; }
  void (*OnException)(TObject* sender, const Exception& e) = nullptr;
  HWND Handle() const { return handle_; }
  HICON Icon() const { return icon_; }

  void Initialize();
  template <class T>
  void CreateForm(T*& reference);
  void Run();
  // One turn of the loop: a waiting message is handled; else the calls
  // queued by other threads run; else the thread sleeps until a message comes.
  void HandleMessage();
  void Terminate();
  // Reports the exception being handled; call only inside a catch block.
  void HandleException(TObject* sender);
  void ShowException(const Exception& e);
  int MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);
  // Lets another thread have `call` run on the main thread; wakes the loop.
  void Queue(void (*call)(void* context), void* context);
  void Minimize();
  void Restore();

  // Teardown, first part: owned pop-ups hidden, components destroyed. Runs once.
  void Done();
  // Whether COM was initialised by Initialize, for the final clean-up.
  bool ComInitialized() const { return comInitialized_; }

 private:
  void CreateFormStep(TForm& form);
  bool ProcessMessage();
  bool RunQueuedCalls();
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK UtilWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::wstring title_;
  bool mainFormOnTaskBar_ = false;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool running_ = false;
  bool minimized_ = false;
  bool done_ = false;
  bool oleInitialized_ = false;
  bool comInitialized_ = false;
  HWND utilWindow_ = nullptr;
  HWND handle_ = nullptr;
  HICON icon_ = nullptr;

  struct QueuedCall {
    void (*Call)(void*);
    void* Context;
  };
  CRITICAL_SECTION queueLock_;
  std::vector<QueuedCall> queue_;
};

extern TApplication* Application;

template <class T>
void TApplication::CreateForm(T*& reference) {
  T* form = new T(this);
  reference = form;  // visible to the form's own handlers while it is built
  try {
    CreateFormStep(*form);
  } catch (...) {
    reference = nullptr;
    delete form;
    throw;
  }
}

// Brings the application object up at process start. A failure here is a
// failure of the runtime itself: reported in the plain runtime-error box and
// the process ends with exit code 217.
void StartApplication();

// The teardown at process exit: the application's components, the application
// object with its windows and OLE, then COM; ends the process with ExitCode.
[[noreturn]] void Halt();
