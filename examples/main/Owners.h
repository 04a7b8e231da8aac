#pragma once
// Move-only owners for the few kinds of handle the main program keeps.

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

using UniqueHandle = UniqueOwner<HANDLE, CloseHandle>;
using UniqueModule = UniqueOwner<HMODULE, FreeLibrary>;
