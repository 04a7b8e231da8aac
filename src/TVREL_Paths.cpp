#include "src/TVREL_Paths.h"

#include <windows.h>

#include "shell/SysUtils.h"

std::wstring ChangeExtension(const std::wstring& path, const std::wstring& extension) {
  const auto delimiter = path.find_last_of(L".\\:");
  if (delimiter != std::wstring::npos && path[delimiter] == L'.')
    return path.substr(0, delimiter) + extension;
  return path + extension;
}

std::wstring MainProgramPathFor(const std::wstring& ownPath) {
  return ChangeExtension(ChangeExtension(ownPath, L""), L".exe");
}

std::wstring HookLibraryPathFor(const std::wstring& ownPath) {
  return ChangeExtension(ownPath, L".dll");
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Read whole: a path cut at 260 characters could name a different program or library.
std::wstring OwnPath() { return ModuleFileName(nullptr); }
