#pragma once
// One move-only owner per kind of platform handle.

#include <windows.h>

#include <utility>

template <class Handle, auto Close>
class UniqueOwner {
 public:
  UniqueOwner() = default;
  explicit UniqueOwner(Handle handle) : handle_(handle) {}
  ~UniqueOwner() { reset(); }
  UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) {
    if (handle_) Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using UniqueModule = UniqueOwner<HMODULE, FreeLibrary>;
using UniqueKernelHandle = UniqueOwner<HANDLE, CloseHandle>;
using UniqueWindow = UniqueOwner<HWND, DestroyWindow>;

// The object a window belongs to: attached from the creation parameter at
// WM_NCCREATE and read back from the window's user data afterwards; null for
// the few messages that come before.
template <class T>
T* WindowObject(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* object = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
