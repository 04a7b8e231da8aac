#pragma once
// How the companion finds its siblings: by its own file name alone.

#include <string>

// `path` with its extension (from the last "." after the last "\" or ":")
// replaced by `extension`, which brings its own "." and may be empty.
std::wstring ChangeExtension(const std::wstring& path, const std::wstring& extension);

// The main program beside a companion at `ownPath`: the last extension
// dropped and the one before it replaced by ".exe".
std::wstring MainProgramPathFor(const std::wstring& ownPath);

// The hook library beside a companion at `ownPath`: ".dll" for the last extension.
std::wstring HookLibraryPathFor(const std::wstring& ownPath);

// Whether two paths name the same file by text, ignoring case as the file system does.
bool SamePath(const std::wstring& a, const std::wstring& b);

// The full path of the companion's own file, however long.
std::wstring OwnPath();
