// Move-only owners of Win32 handles (the traits say which value means "no handle" and how one is
// closed), of mapped views and of GDI objects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace zorvik {

struct NullHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};

// Freeing an object must not change the last error: a caller may read the error of the call
// that produced the new value right after handing it to reset().
class LastErrorKeeper {
 public:
  LastErrorKeeper() : error_(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(error_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD error_;
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
    if (old == Traits::Invalid() || old == nullptr) return;
    const LastErrorKeeper keep;
    Traits::Close(old);
  }

 private:
  HANDLE handle_ = Traits::Invalid();
};

using ScopedKernelHandle = ScopedHandle<NullHandleTraits>;  // events, mutexes, threads, sections
using ScopedFileHandle = ScopedHandle<FileHandleTraits>;    // files, pipes, devices

// Owns a view mapped with MapViewOfFile; the section it maps may be closed before it.
class ScopedMappedView {
 public:
  ScopedMappedView() = default;
  explicit ScopedMappedView(void* view) : view_(view) {}
  ScopedMappedView(ScopedMappedView&& other) noexcept : view_(other.release()) {}
  ScopedMappedView& operator=(ScopedMappedView&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedMappedView(const ScopedMappedView&) = delete;
  ScopedMappedView& operator=(const ScopedMappedView&) = delete;
  ~ScopedMappedView() { reset(); }

  void* get() const { return view_; }
  std::uint8_t* bytes() const { return static_cast<std::uint8_t*>(view_); }
  explicit operator bool() const { return view_ != nullptr; }
  void* release() { return std::exchange(view_, nullptr); }
  void reset(void* view = nullptr) {
    void* const old = std::exchange(view_, view);
    if (old == nullptr) return;
    const LastErrorKeeper keep;
    UnmapViewOfFile(old);
  }

 private:
  void* view_ = nullptr;
};

// Owns an open registry key (RegCreateKeyEx, RegOpenKeyEx write it through put()).
class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;
  ~ScopedRegKey() {
    if (key_ == nullptr) return;
    const LastErrorKeeper keep;
    RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* put() { return &key_; }  // only while empty

 private:
  HKEY key_ = nullptr;
};

// Owns what a security call returned in LocalAlloc'ed memory (a descriptor, an SDDL text).
template <typename Pointer>
class ScopedLocalMemory {
 public:
  ScopedLocalMemory() = default;
  ScopedLocalMemory(const ScopedLocalMemory&) = delete;
  ScopedLocalMemory& operator=(const ScopedLocalMemory&) = delete;
  ~ScopedLocalMemory() {
    if (memory_ == nullptr) return;
    const LastErrorKeeper keep;
    LocalFree(memory_);
  }
  Pointer get() const { return memory_; }
  Pointer* put() { return &memory_; }  // only while empty

 private:
  Pointer memory_ = nullptr;
};

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
    if (old == nullptr) return;
    const LastErrorKeeper keep;
    DeleteObject(old);
  }

 private:
  Object object_ = nullptr;
};

}  // namespace zorvik
