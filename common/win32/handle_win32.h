// Move-only owners of Win32 handles (the traits say which value means "no handle") and of GDI
// objects.
#pragma once

#include <windows.h>

#include <utility>

namespace zorvik {

struct NullHandleTraits {
  static HANDLE Invalid() { return nullptr; }
};
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};

template <typename Traits>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid() && handle_ != nullptr; }
  HANDLE release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(HANDLE handle = Traits::Invalid()) {
    const HANDLE old = std::exchange(handle_, handle);
    if (old != Traits::Invalid() && old != nullptr) CloseHandle(old);
  }

 private:
  HANDLE handle_ = Traits::Invalid();
};

using ScopedKernelHandle = ScopedHandle<NullHandleTraits>;  // events, mutexes, threads, sections
using ScopedFileHandle = ScopedHandle<FileHandleTraits>;    // files, pipes, devices

// Owns a pen, brush, font or bitmap; it must not be selected into a device context when freed.
template <typename Object>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Object object) : object_(object) {}
  ScopedGdiObject(ScopedGdiObject&& other) noexcept : object_(other.release()) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ~ScopedGdiObject() { reset(); }

  Object get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  Object release() { return std::exchange(object_, nullptr); }
  void reset(Object object = nullptr) {
    const Object old = std::exchange(object_, object);
    if (old != nullptr) DeleteObject(old);
  }

 private:
  Object object_ = nullptr;
};

}  // namespace zorvik
