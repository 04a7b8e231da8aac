#pragma once
// Linux's view of a Wine process, through drive Z:, which maps the host's
// root. Read from outside the process: inside it, Z:\proc\self would be the
// wineserver, which opens files on the process's behalf.

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace bench {

// Whole text of a small file; empty when it cannot be read. /proc files
// report no size, so read to the end.
inline std::string ReadSmallFile(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

// The number after "<key>:" at the start of a line of a /proc status text
// (its unit dropped); -1 when there is no such line.
inline long long StatusField(const std::string& text, const std::string& key) {
  const std::string label = key + ":";
  for (std::size_t line = 0; line < text.size(); line = text.find('\n', line) + 1) {
    if (text.compare(line, label.size(), label) == 0)
      return std::strtoll(text.c_str() + line + label.size(), nullptr, 10);
    if (text.find('\n', line) == std::string::npos) break;
  }
  return -1;
}

// The Linux process that Wine runs `executable` in: Wine gives it the Windows
// command line as its arguments, so its first argument is the path we started.
// 0 when there is none.
inline std::uint32_t FindUnixProcess(const std::wstring& executable) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  std::uint32_t found = 0;
  do {
    if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
    const std::string commandLine =
        ReadSmallFile(std::wstring(L"Z:\\proc\\") + entry.cFileName + L"\\cmdline");
    const std::string first = commandLine.substr(0, commandLine.find('\0'));
    std::wstring wide(first.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, first.data(), static_cast<int>(first.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    if (!first.empty() && CompareStringOrdinal(wide.c_str(), -1, executable.c_str(), -1, TRUE) == CSTR_EQUAL)
      found = static_cast<std::uint32_t>(_wtoi(entry.cFileName));
  } while (!found && FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}

// CPU time of all the process's threads, Wine's own included, from the
// scheduler's nanosecond counters; NaN when unreadable.
inline double AllThreadsCpuMs(std::uint32_t unixProcessId) {
  const std::wstring tasks = L"Z:\\proc\\" + std::to_wstring(unixProcessId) + L"\\task\\";
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((tasks + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return NAN;
  double totalNs = 0;
  bool any = false;
  do {
    if (entry.cFileName[0] == L'.') continue;
    const std::string schedstat = ReadSmallFile(tasks + entry.cFileName + L"\\schedstat");
    if (schedstat.empty()) continue;
    totalNs += std::strtod(schedstat.c_str(), nullptr);
    any = true;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return any ? totalNs / 1e6 : NAN;
}

}  // namespace bench
