#pragma once
// Pure text and number rules of the framework, kept apart so they can be tested
// without windows.

#include <cstdint>
#include <string>

// Drops trailing code units that are at most U+0020 or a "."; U+3002 stays.
std::wstring TrimSystemErrorText(std::wstring text);

// The error box's rule: one "." after a text whose last code unit is above ".".
std::wstring WithFinalPeriod(std::wstring text);

// The default application title: the file name without directory, cut at its
// first ".", every character after the first in lower case.
std::wstring DefaultTitle(const std::wstring& exePath);

// The file name part of a path: what follows its last backslash.
std::wstring FileNamePart(const std::wstring& path);

// The last-resort report's body, at most 1,024 characters.
std::wstring FormatLastResortReport(const std::wstring& className,
                                    const std::wstring& moduleName,
                                    std::uint64_t offset,
                                    const std::wstring& message);

// The report shown when the runtime fails while it starts: 8-bit text in a
// fixed-size template, built without the heap since the runtime is failing.
struct TRuntimeErrorReport {
  char Text[38];
};
TRuntimeErrorReport FormatRuntimeErrorReport(int exitCode, std::uint64_t address);

// A whole number in decimal, as a text.
std::wstring DecimalText(long long value);

// Reads a whole decimal number, optionally negative, that fills all of `text`.
bool ParseDecimal(const std::wstring& text, long long& value);

// A design-time size at `dpi`, rounded to nearest.
int ScaleForDpi(int designSize, int dpi);
