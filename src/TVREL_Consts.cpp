#include "src/TVREL_Consts.h"

#include <windows.h>

bool MutexExists(const wchar_t* name) {
  HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
  if (mutex) CloseHandle(mutex);
  return mutex != nullptr;
}
