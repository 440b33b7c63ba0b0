// The two pipes of one USB controller: "<path>\PIPE01" read and "<path>\PIPE00" written with
// overlapped I/O, so that a stop never waits for data that does not come nor for a controller
// that takes none. A lock keeps the controller's reads and writes apart.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "common/win32/handle_win32.h"

namespace zorvik {

// 16-bit results of the pipe operations.
namespace pipe_error {
inline constexpr std::uint16_t kSuccess = 0;
inline constexpr std::uint16_t kNotOpen = 0x8000;  // also: the device is in use elsewhere
inline constexpr std::uint16_t kIoFailed = 0x8010;
inline constexpr std::uint16_t kNoBuffer = 0x8080;
}  // namespace pipe_error

class DevicePipe {
 public:
  DevicePipe();
  ~DevicePipe() { Close(); }
  DevicePipe(const DevicePipe&) = delete;
  DevicePipe& operator=(const DevicePipe&) = delete;

  // 0, 0x8000 when another process holds the device, or the system error of the failed open.
  std::uint16_t Open(const std::string& path);
  // Waits for data, or for Stop; a stopped or failed read returns kIoFailed.
  std::uint16_t Read(std::uint8_t* buffer, DWORD size, DWORD* received);
  // Waits for the controller to take the bytes, for Stop or at most kWriteTimeoutMs; a write
  // that is stopped or runs out of time is cancelled and returns kIoFailed.
  std::uint16_t Write(const std::uint8_t* bytes, DWORD count);
  void Close();

  // Wakes a reader blocked in Read or a writer in Write; later reads fail at once.
  void Stop() { SetEvent(stop_.get()); }

 private:
  ScopedFileHandle read_;
  ScopedFileHandle write_;
  // Within the process only: a kernel mutex would cost two wineserver calls per operation.
  std::mutex lock_;
  // Reads and writes carry no event: each pipe handle has one operation at a time, and is
  // itself signalled when it completes. An event would be reset at every operation's start and
  // set at its end, two more wineserver calls per report.
  ScopedKernelHandle stop_;
};

}  // namespace zorvik
