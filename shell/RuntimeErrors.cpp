// Linked into the executable itself, so that these take the place of the C++
// runtime's own error raisers and terminate handler. Ours raise the shell's
// Exception, which the error box and the last-resort report know how to show;
// the runtime's would bring along its whole std::logic_error family, a second
// string implementation and the C++ demangler, more than doubling the size of
// this program. A clash with the runtime's versions fails the link.

#include <windows.h>

#include <cstdlib>

#include "shell/SysUtils.h"

namespace {

[[noreturn]] void RaiseRuntimeError(const char* what) { Raise(Exception(AnsiToWide(what))); }

[[noreturn]] void RaiseOutOfMemory() {
  Raise(Exception(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY)));
}

}  // namespace

namespace std {
void __throw_bad_alloc() { RaiseOutOfMemory(); }
void __throw_bad_array_new_length() { RaiseOutOfMemory(); }
void __throw_length_error(const char* what) { RaiseRuntimeError(what); }
void __throw_logic_error(const char* what) { RaiseRuntimeError(what); }
void __throw_out_of_range_fmt(const char* format, ...) { RaiseRuntimeError(format); }
}  // namespace std

namespace __gnu_cxx {
// The default handler writes to a console this GUI program does not have.
// The shell catches every exception, so this is reached only if that
// guarantee breaks; abort() still reports it.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
