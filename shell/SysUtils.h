#pragma once
// Exceptions of the application framework and the platform helpers they rest on.

#include <windows.h>

#include <memory>
#include <string>

// Run-time class information: exceptions are recognised by walking this chain
// and comparing class names, so a class is known by name alone.
struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;
};

class TObject {
 public:
  virtual ~TObject() = default;
};

class Exception {
 public:
  explicit Exception(std::wstring message) : message_(std::move(message)) {}
  virtual ~Exception() = default;

  static const TClassInfo ClassInfo;
  virtual const TClassInfo& ClassType() const { return ClassInfo; }
  const char* ClassName() const { return ClassType().Name; }
  bool InheritsFrom(const char* className) const;

  const std::wstring& Message() const { return message_; }
  // Where the exception was raised; null when it came from foreign code.
  void* Address() const { return address_; }
  void SetAddress(void* address) { address_ = address; }
  const std::shared_ptr<Exception>& InnerException() const { return inner_; }
  void SetInnerException(std::shared_ptr<Exception> inner) { inner_ = std::move(inner); }

 private:
  std::wstring message_;
  void* address_ = nullptr;
  std::shared_ptr<Exception> inner_;
};

#define TAVREL_EXCEPTION_CLASS(Name, Base)                                   \
  class Name : public Base {                                                 \
   public:                                                                   \
    using Base::Base;                                                        \
    static const TClassInfo ClassInfo;                                       \
    const TClassInfo& ClassType() const override { return ClassInfo; }       \
  };

// A silent exception: reported by nobody.
TAVREL_EXCEPTION_CLASS(EAbort, Exception)
TAVREL_EXCEPTION_CLASS(EOutOfResources, Exception)
TAVREL_EXCEPTION_CLASS(EResNotFound, Exception)
TAVREL_EXCEPTION_CLASS(EReadError, Exception)

class EOSError : public Exception {
 public:
  EOSError(DWORD errorCode, std::wstring message)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  static const TClassInfo ClassInfo;
  const TClassInfo& ClassType() const override { return ClassInfo; }
  DWORD ErrorCode;
};

// Throws `exception` with the caller's code address recorded for the
// last-resort report. Kept out of line so the return address is the raise site.
template <class E>
[[noreturn]] __attribute__((noinline)) void Raise(E exception) {
  exception.SetAddress(__builtin_return_address(0));
  throw exception;
}

// The exception being handled, as an Exception: foreign C++ exceptions keep
// their text, anything else becomes an Exception without a message.
// Call only inside a catch block.
std::shared_ptr<Exception> CurrentException();

// An 8-bit text in the system's ANSI code page, as UTF-16.
std::wstring AnsiToWide(const char* text);

// The operating system's text for an error code, trailing blanks, control
// characters and dots removed; empty when the system has none.
std::wstring SystemErrorText(DWORD errorCode);

// Raises EOSError for the last-error code. Must be the first call after the
// failing platform call, so that nothing overwrites the code.
[[noreturn]] void RaiseLastOSError();

// The full path of a module's file, however long it is.
std::wstring ModuleFileName(HMODULE module);

// The process exit code; set by the last-resort report.
extern int ExitCode;
