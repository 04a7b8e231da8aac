#include "shell/SysUtils.h"

#include <cstring>
#include <exception>

#include "shell/TextRules.h"

const TClassInfo Exception::ClassInfo{"Exception", nullptr};
const TClassInfo EAbort::ClassInfo{"EAbort", &Exception::ClassInfo};
const TClassInfo EOutOfResources::ClassInfo{"EOutOfResources", &Exception::ClassInfo};
const TClassInfo EResNotFound::ClassInfo{"EResNotFound", &Exception::ClassInfo};
const TClassInfo EReadError::ClassInfo{"EReadError", &Exception::ClassInfo};
const TClassInfo EOSError::ClassInfo{"EOSError", &Exception::ClassInfo};

int ExitCode = 0;

bool Exception::InheritsFrom(const char* className) const {
  for (const TClassInfo* c = &ClassType(); c; c = c->Parent)
    if (std::strcmp(c->Name, className) == 0) return true;
  return false;
}

std::wstring AnsiToWide(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring result(length - 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), length);
  return result;
}

std::shared_ptr<Exception> CurrentException() {
  try {
    throw;
  } catch (const Exception& e) {
    // Copy through the dynamic type so the class chain survives.
    try {
      throw;
    } catch (const EOSError& os) {
      return std::make_shared<EOSError>(os);
    } catch (const EAbort& a) {
      return std::make_shared<EAbort>(a);
    } catch (const EOutOfResources& r) {
      return std::make_shared<EOutOfResources>(r);
    } catch (const EResNotFound& r) {
      return std::make_shared<EResNotFound>(r);
    } catch (const EReadError& r) {
      return std::make_shared<EReadError>(r);
    } catch (...) {
      return std::make_shared<Exception>(e);
    }
  } catch (const std::exception& e) {
    // A hook library written in C++ may let its own exceptions out.
    return std::make_shared<Exception>(AnsiToWide(e.what()));
  } catch (...) {
    return std::make_shared<Exception>(std::wstring());
  }
}

std::wstring SystemErrorText(DWORD errorCode) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
          FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (buffer) {
    text = TrimSystemErrorText(std::wstring(buffer, length));
    LocalFree(buffer);
  }
  return text;
}

void RaiseLastOSError() {
  const DWORD code = GetLastError();
  if (code == 0) Raise(EOSError(code, L"OS 機能呼び出しの失敗"));
  Raise(EOSError(code, L"システム エラー。コード: " + DecimalText(static_cast<int>(code)) + L"。\r\n" +
                           SystemErrorText(code)));
}

std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    // A full buffer means the path may have been cut: try again with more room.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}
