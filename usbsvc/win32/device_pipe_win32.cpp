// The two pipes of one USB controller.
#include "usbsvc/win32/device_pipe_win32.h"

#include "common/kernel_object_names.h"

namespace zorvik {
namespace {

// A controller takes a command within milliseconds; one that has not taken it by then has
// stopped reading, and the reader must not wait on it.
constexpr DWORD kWriteTimeoutMs = 500;
// A controller whose pipes have just been opened is given this long before the first read.
constexpr DWORD kOpenSettleMs = 500;

// The probe mutex is closed again at once: it only asks, it does not claim the controller.
bool HeldElsewhere(const std::string& path) {
  const ScopedKernelHandle probe(CreateMutexA(nullptr, FALSE, path.c_str()));
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

}  // namespace

DevicePipe::DevicePipe() : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

std::uint16_t DevicePipe::Open(const std::string& path) {
  // A mutex named as the path tells whether another process holds the controller. (The system
  // refuses names with backslashes, so for interface paths the check passes; it is kept as the
  // controller driver's convention.)
  if (HeldElsewhere(path)) return pipe_error::kNotOpen;

  read_.reset(CreateFileA((path + names::kReadPipeSuffix).c_str(), GENERIC_READ, 0, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  const DWORD read_error = GetLastError();
  write_.reset(CreateFileA((path + names::kWritePipeSuffix).c_str(), GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  const DWORD write_error = GetLastError();
  if (!read_ || !write_) {
    const DWORD error = !read_ ? read_error : write_error;
    Close();
    return static_cast<std::uint16_t>(error == 0 ? pipe_error::kNotOpen : error);
  }
  ResetEvent(stop_.get());
  Sleep(kOpenSettleMs);
  return pipe_error::kSuccess;
}

std::uint16_t DevicePipe::Read(std::uint8_t* buffer, DWORD size, DWORD* received) {
  *received = 0;
  if (!read_) return pipe_error::kNotOpen;
  OVERLAPPED overlapped{};  // no event: the read handle is signalled at completion
  {
    // The lock covers issuing the read and collecting it, not the wait for data: a write (an
    // acknowledge, the device query) must not wait for the controller to speak first.
    std::lock_guard lock(lock_);
    if (!ReadFile(read_.get(), buffer, size, received, &overlapped)) {
      if (GetLastError() != ERROR_IO_PENDING) return pipe_error::kIoFailed;
    } else {
      return pipe_error::kSuccess;
    }
  }
  const HANDLE waits[] = {read_.get(), stop_.get()};
  const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  std::lock_guard lock(lock_);
  if (woken != WAIT_OBJECT_0) {
    CancelIoEx(read_.get(), &overlapped);
    GetOverlappedResult(read_.get(), &overlapped, received, TRUE);
    *received = 0;
    return pipe_error::kIoFailed;
  }
  if (!GetOverlappedResult(read_.get(), &overlapped, received, FALSE)) return pipe_error::kIoFailed;
  return pipe_error::kSuccess;
}

std::uint16_t DevicePipe::Write(const std::uint8_t* bytes, DWORD count) {
  if (bytes == nullptr) return pipe_error::kNoBuffer;
  if (!write_) return pipe_error::kNotOpen;
  std::lock_guard lock(lock_);
  OVERLAPPED overlapped{};  // no event: the write handle is signalled at completion
  DWORD written = 0;
  if (!WriteFile(write_.get(), bytes, count, &written, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) return pipe_error::kIoFailed;
    const HANDLE waits[] = {write_.get(), stop_.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, kWriteTimeoutMs) != WAIT_OBJECT_0) {
      CancelIoEx(write_.get(), &overlapped);
    }
    // Waits for the cancellation as well: `overlapped` lives on this stack.
    if (!GetOverlappedResult(write_.get(), &overlapped, &written, TRUE)) {
      return pipe_error::kIoFailed;
    }
  }
  return written == count ? pipe_error::kSuccess : pipe_error::kIoFailed;
}

void DevicePipe::Close() {
  read_.reset();
  write_.reset();
}

}  // namespace zorvik
