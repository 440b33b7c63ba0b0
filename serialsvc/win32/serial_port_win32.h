// A COM port over the Win32 communications API (SerialPort) and a port with a thread that
// waits for communication events and hands them to a handler (SerialListener). Every operation
// returns a Win32 result code (0 = success) and keeps it as the last result; nothing throws.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "common/win32/handle_win32.h"

namespace zorvik {

namespace serial_result {
inline constexpr DWORD kSuccess = 0;
inline constexpr DWORD kNotOpen = ERROR_INVALID_HANDLE;                 // 6
inline constexpr DWORD kNotOverlapped = ERROR_INVALID_FUNCTION;         // 1
inline constexpr DWORD kAlreadyOpen = ERROR_ALREADY_INITIALIZED;        // 1247
inline constexpr DWORD kTimedOut = ERROR_TIMEOUT;                       // 1460
inline constexpr DWORD kInvalidKind = static_cast<DWORD>(0x80070057L);  // E_INVALIDARG
}  // namespace serial_result

// Flow-control and read-mode kinds.
enum : int { kFlowNone = 0, kFlowHardware = 1, kFlowSoftware = 2 };
enum : int { kReadNonBlocking = 0, kReadBlocking = 1 };

inline constexpr DWORD kDefaultEventMask = EV_BREAK | EV_ERR | EV_RXCHAR;  // 0xC1

class SerialPort {
 public:
  SerialPort() = default;
  virtual ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  virtual DWORD OpenPort(const char* name, DWORD input_queue, DWORD output_queue, bool overlapped);
  virtual DWORD ClosePort();
  virtual DWORD ConfigureLine(DWORD baud_rate, BYTE data_bits, BYTE parity, BYTE stop_bits);
  virtual DWORD SetEventChar(char character, bool add_to_mask);
  virtual DWORD SetEventMask(DWORD mask);
  virtual DWORD WaitForEvent(OVERLAPPED* ovl, DWORD timeout);
  virtual DWORD SetFlowControl(int kind);
  virtual DWORD SetReadMode(int kind);
  virtual long QueryBaudRate();
  virtual int QueryDataBits();
  virtual int QueryParity();
  virtual int QueryStopBits();
  virtual int QueryFlowControl();
  virtual DWORD QueryEventMask();
  virtual char QueryEventChar();
  virtual DWORD WriteText(const char* text, DWORD* written, OVERLAPPED* ovl, DWORD timeout);
  virtual DWORD WriteBytes(const void* data, DWORD length, DWORD* written, OVERLAPPED* ovl,
                           DWORD timeout);
  virtual DWORD ReadBytes(void* buffer, DWORD length, DWORD* read, OVERLAPPED* ovl, DWORD timeout);

  DWORD PurgeBuffers();
  // The bits of the last completed event wait that the mask selects; clears them.
  DWORD TakeEventBits();

  bool is_open() const { return static_cast<bool>(port_); }
  DWORD last_result() const { return last_result_; }

 protected:
  HANDLE port() const { return port_.get(); }
  // Keeps `code`, success or failure, as the last result and returns it.
  DWORD SetResult(DWORD code) {
    last_result_ = code;
    return code;
  }

 private:
  enum class Direction { kRead, kWrite };
  DWORD Transfer(Direction direction, void* data, DWORD length, DWORD* count, OVERLAPPED* ovl,
                 DWORD timeout);
  // One wait, read or write: the ovl/time-out rule, the internal OVERLAPPED when the caller
  // gives none on an overlapped port, and the wait for its completion. `issue` starts the
  // operation with the OVERLAPPED to use (null on a port without overlapped I/O).
  // (A template, so that the reads of the touch path allocate nothing.)
  template <typename Issue>
  DWORD Perform(OVERLAPPED* ovl, DWORD timeout, DWORD* count, const Issue& issue);
  // Applies the ovl/time-out rule: non-zero (and the result set) when the call is refused.
  DWORD CheckOverlapUse(const OVERLAPPED* ovl, DWORD timeout);
  // Waits for an operation issued with the internal OVERLAPPED; cancels it on expiry.
  DWORD FinishInternal(OVERLAPPED& internal, DWORD timeout, DWORD* count);
  DWORD ReadState(DCB& dcb);
  DWORD WriteState(DCB& dcb);

  std::atomic<DWORD> last_result_{0};  // written by the listener thread and by callers
  ScopedFileHandle port_;
  DWORD event_bits_ = 0;
  DWORD event_mask_ = 0;
  ScopedKernelHandle io_event_;
  // Operations on the internal OVERLAPPED share io_event_; they run one at a time so that one
  // thread's completion (or the reset when an operation is issued) never reaches another.
  std::mutex internal_io_;
};

class SerialListener : public SerialPort {
 public:
  SerialListener() = default;
  ~SerialListener() override;

  // Always overlapped; starts the listener thread when `start_listening` is set.
  DWORD OpenPort(const char* name, DWORD input_queue, DWORD output_queue,
                 bool start_listening) override;
  DWORD ClosePort() override;
  virtual DWORD StartListening();
  virtual DWORD StopListening(DWORD timeout);
  // On the listener thread, for every wake-up that carries event bits.
  virtual void HandleEvent(DWORD events, DWORD errors) = 0;

 private:
  void WaitForListener(DWORD mask, DWORD timeout);
  static DWORD WINAPI ListenerThread(void* self);
  DWORD Listen();

  std::atomic<std::uint8_t> stop_{0};
  ScopedKernelHandle thread_;
  ScopedKernelHandle listener_event_;
};

}  // namespace zorvik
