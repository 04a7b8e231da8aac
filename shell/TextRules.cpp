#include "shell/TextRules.h"

#include <windows.h>

std::wstring TrimSystemErrorText(std::wstring text) {
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

std::wstring WithFinalPeriod(std::wstring text) {
  if (!text.empty() && text.back() > L'.') text += L'.';
  return text;
}

std::wstring FileNamePart(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring DefaultTitle(const std::wstring& exePath) {
  std::wstring title = FileNamePart(exePath);
  title = title.substr(0, title.find(L'.'));
  if (title.size() > 1) CharLowerBuffW(&title[1], static_cast<DWORD>(title.size() - 1));
  return title;
}

std::wstring FormatLastResortReport(const std::wstring& className,
                                    const std::wstring& moduleName,
                                    std::uint64_t offset,
                                    const std::wstring& message) {
  wchar_t address[17];
  wsprintfW(address, L"%08X%08X", static_cast<unsigned>(offset >> 32),
            static_cast<unsigned>(offset));
  // An exact comparison, unlike the error box's rule.
  const wchar_t* period = (!message.empty() && message.back() != L'.') ? L"." : L"";
  std::wstring text = className + L" がモジュール " + moduleName + L" の " + address +
                      L" で発生しました。\r\n" + message + period + L"\r\n";
  if (text.size() > 1024) text.resize(1024);
  return text;
}

std::string FormatRuntimeErrorReport(int exitCode, std::uint64_t address) {
  std::string text = "Runtime error     at 0000000000000000";
  // The code ends on the last of the five blanks after "error".
  std::size_t digit = 17;
  for (unsigned code = static_cast<unsigned>(exitCode); digit >= 13; --digit) {
    text[digit] = static_cast<char>('0' + code % 10);
    code /= 10;
    if (code == 0) break;
  }
  static const char hex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < 16; ++i)
    text[text.size() - 1 - i] = hex[(address >> (4 * i)) & 0xF];
  return text;
}

int ScaleForDpi(int designSize, int dpi) { return MulDiv(designSize, dpi, 96); }
