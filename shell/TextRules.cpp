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

TRuntimeErrorReport FormatRuntimeErrorReport(int exitCode, std::uint64_t address) {
  TRuntimeErrorReport report{"Runtime error     at 0000000000000000"};
  char* text = report.Text;
  const std::size_t size = sizeof report.Text - 1;
  // The code ends on the last of the five blanks after "error".
  std::size_t digit = 17;
  for (unsigned code = static_cast<unsigned>(exitCode); digit >= 13; --digit) {
    text[digit] = static_cast<char>('0' + code % 10);
    code /= 10;
    if (code == 0) break;
  }
  static const char hex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < 16; ++i)
    text[size - 1 - i] = hex[(address >> (4 * i)) & 0xF];
  return report;
}

std::wstring DecimalText(long long value) {
  const bool negative = value < 0;
  unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                                          : static_cast<unsigned long long>(value);
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude);
  return negative ? L"-" + digits : digits;
}

bool ParseDecimal(const std::wstring& text, long long& value) {
  std::size_t i = (!text.empty() && text[0] == L'-') ? 1 : 0;
  if (i == text.size()) return false;
  unsigned long long magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    const unsigned digit = static_cast<unsigned>(text[i] - L'0');
    if (magnitude > ((1ull << 63) - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  const bool negative = text[0] == L'-';
  if (!negative && magnitude == (1ull << 63)) return false;
  value = negative ? static_cast<long long>(0ull - magnitude) : static_cast<long long>(magnitude);
  return true;
}

int ScaleForDpi(int designSize, int dpi) { return MulDiv(designSize, dpi, 96); }
