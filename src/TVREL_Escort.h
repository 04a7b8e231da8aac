#pragma once
// The hook host window: binds the hook library for exactly the lifetime of
// the companion's hidden main window.

#include <windows.h>

#include "shell/Forms.h"

class TEscortForm : public TForm {
 public:
  using TForm::TForm;
  const wchar_t* ClassName() const override { return L"TEscortForm"; }
  const TPublishedMethod* PublishedMethods() const override;

  // published
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
};

extern TEscortForm* EscortForm;

// The hook state belongs to the process, not to the window.
extern HMODULE HookLibrary;
extern FARPROC InstallHookProc;
extern FARPROC UninstallHookProc;

// Loads the library beside the companion and installs its hook; each failure
// raises an Exception with the system's text for the last-error code.
void LoadHookLibrary();
// Uninstalls the hook if it was resolved and frees the library; does nothing
// when no library is loaded.
void UnloadHookLibrary();
