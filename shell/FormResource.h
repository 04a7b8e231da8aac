#pragma once
// The stored design-time properties of a form class: a small text resource
// (RCDATA named after the class) with a header line and one "Name = Value" per
// line, applied in the order they are stored.

#include <string>
#include <vector>

struct TStoredProperty {
  enum class Kind { Integer, String, Identifier, Set };
  std::wstring Name;
  Kind ValueKind;
  std::wstring Text;  // the string, identifier or set contents
  long long Number = 0;
  int Line = 0;
};

struct TStoredForm {
  std::wstring ComponentName;
  std::wstring ClassName;
  std::vector<TStoredProperty> Properties;
};

// Parses the text of a property resource; raises EReadError naming the line
// at fault when the text is malformed.
TStoredForm ParseFormResource(const std::wstring& text);

// Reads and parses the property resource of `className` from the executable;
// raises EResNotFound when it is missing.
TStoredForm LoadFormResource(const std::wstring& className);
