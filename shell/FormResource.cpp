#include "shell/FormResource.h"

#include <windows.h>

#include <cwctype>

#include "shell/SysUtils.h"
#include "shell/TextRules.h"

namespace {

[[noreturn]] void Malformed(int line, const std::wstring& what) {
  Raise(EReadError(L"Invalid form property resource, line " + DecimalText(line) + L": " +
                   what));
}

std::wstring Trim(const std::wstring& s) {
  const auto first = s.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L" \t\r") - first + 1);
}

bool IsIdentifier(const std::wstring& s) {
  if (s.empty() || !(std::iswalpha(s[0]) || s[0] == L'_')) return false;
  for (wchar_t c : s)
    if (!(std::iswalnum(c) || c == L'_' || c == L'.')) return false;
  return true;
}

TStoredProperty ParseValue(std::wstring name, const std::wstring& value, int line) {
  TStoredProperty p{std::move(name), TStoredProperty::Kind::Identifier, {}, 0, line};
  if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
    p.ValueKind = TStoredProperty::Kind::String;
    p.Text = value.substr(1, value.size() - 2);
    if (p.Text.find(L'"') != std::wstring::npos) Malformed(line, L"stray quote in " + value);
  } else if (value.size() >= 2 && value.front() == L'[' && value.back() == L']') {
    p.ValueKind = TStoredProperty::Kind::Set;
    p.Text = Trim(value.substr(1, value.size() - 2));
  } else if (!value.empty() && (std::iswdigit(value[0]) || value[0] == L'-')) {
    if (!ParseDecimal(value, p.Number)) Malformed(line, L"not a number: " + value);
    p.ValueKind = TStoredProperty::Kind::Integer;
  } else if (IsIdentifier(value)) {
    p.Text = value;
  } else {
    Malformed(line, L"unreadable value: " + value);
  }
  return p;
}

}  // namespace

TStoredForm ParseFormResource(const std::wstring& text) {
  TStoredForm form;
  bool header = false, ended = false;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line[0] == L';') continue;
    if (ended) Malformed(lineNumber, L"text after \"end\"");
    if (!header) {
      // form <ComponentName> : <ClassName>
      const auto colon = line.find(L':');
      if (line.compare(0, 5, L"form ") != 0 || colon == std::wstring::npos)
        Malformed(lineNumber, L"expected \"form Name : Class\"");
      form.ComponentName = Trim(line.substr(5, colon - 5));
      form.ClassName = Trim(line.substr(colon + 1));
      if (!IsIdentifier(form.ComponentName) || !IsIdentifier(form.ClassName))
        Malformed(lineNumber, L"bad form header");
      header = true;
      continue;
    }
    if (line == L"end") {
      ended = true;
      continue;
    }
    const auto equals = line.find(L'=');
    if (equals == std::wstring::npos) Malformed(lineNumber, L"expected \"Name = Value\"");
    std::wstring name = Trim(line.substr(0, equals));
    if (!IsIdentifier(name)) Malformed(lineNumber, L"bad property name");
    form.Properties.push_back(ParseValue(std::move(name), Trim(line.substr(equals + 1)), lineNumber));
  }
  if (!header || !ended) Malformed(lineNumber, L"incomplete form description");
  return form;
}

TStoredForm LoadFormResource(const std::wstring& className) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, className.c_str(), RT_RCDATA);
  HGLOBAL data = info ? LoadResource(module, info) : nullptr;
  const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
  if (!bytes) Raise(EResNotFound(L"Resource " + className + L" not found"));
  const int size = static_cast<int>(SizeofResource(module, info));
  std::wstring text(MultiByteToWideChar(CP_UTF8, 0, bytes, size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, size, text.data(), static_cast<int>(text.size()));
  TStoredForm form = ParseFormResource(text);
  if (form.ClassName != className)
    Raise(EReadError(L"Resource " + className + L" describes " + form.ClassName));
  return form;
}
