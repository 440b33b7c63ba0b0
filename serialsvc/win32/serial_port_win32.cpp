// COM port engine over the Win32 communications API.
#include "serialsvc/win32/serial_port_win32.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zorvik {
namespace {

constexpr DWORD kCommConfigSize = 52;
// A listener wake-up without event bits is not an event. On platforms that end every wait that
// way (Wine on a port without modem lines) the next wait follows after a pause that doubles
// with each such wake-up in a row, from 10 ms up to 320 ms, instead of at once.
constexpr DWORD kEmptyWakePauseMs = 10;
constexpr unsigned kEmptyWakeMaxDoublings = 5;
constexpr DWORD kStopSliceMs = 20;

// "COM12" must be opened as "\\.\COM12": only COM1..COM9 are DOS device names in the plain
// form; a plain "COM12" would name a file in the current folder.
std::string DevicePath(const char* name) {
  if (std::strncmp(name, "\\\\", 2) == 0) return name;
  return std::string("\\\\.\\") + name;
}

}  // namespace

SerialPort::~SerialPort() {
  SerialPort::ClosePort();
}

DWORD SerialPort::OpenPort(const char* name, DWORD input_queue, DWORD output_queue,
                           bool overlapped) {
  last_result_ = serial_result::kSuccess;
  if (port_) return SetResult(serial_result::kAlreadyOpen);
  if (name == nullptr) return SetResult(ERROR_INVALID_PARAMETER);
  port_.reset(CreateFileA(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr));
  if (!port_) return SetResult(GetLastError());
  const auto abandon = [this](DWORD error) {
    SerialPort::ClosePort();
    return SetResult(error);
  };
  if (overlapped) {
    io_event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!io_event_) return abandon(GetLastError());
  }
  if ((input_queue != 0 || output_queue != 0) && !SetupComm(port_.get(), input_queue, output_queue))
    return abandon(GetLastError());
  // A port whose events or time-outs cannot be set is of no use: it is closed again, so that a
  // failed open always leaves the object closed.
  if (const DWORD result = SetEventMask(kDefaultEventMask)) return abandon(result);
  if (const DWORD result = SetReadMode(kReadNonBlocking)) return abandon(result);

  alignas(COMMCONFIG) unsigned char buffer[kCommConfigSize] = {};
  auto* config = reinterpret_cast<COMMCONFIG*>(buffer);
  DWORD size = kCommConfigSize;
  if (GetDefaultCommConfigA(name, config, &size)) SetCommConfig(port_.get(), config, size);
  return SetResult(serial_result::kSuccess);
}

DWORD SerialPort::ClosePort() {
  if (port_) {
    io_event_.reset();
    port_.reset();
  }
  return SetResult(serial_result::kSuccess);
}

DWORD SerialPort::ReadState(DCB& dcb) {
  if (!port_) return SetResult(serial_result::kNotOpen);
  dcb = DCB{};
  dcb.DCBlength = sizeof dcb;
  return SetResult(GetCommState(port_.get(), &dcb) ? serial_result::kSuccess : GetLastError());
}

DWORD SerialPort::WriteState(DCB& dcb) {
  return SetResult(SetCommState(port_.get(), &dcb) ? serial_result::kSuccess : GetLastError());
}

DWORD SerialPort::ConfigureLine(DWORD baud_rate, BYTE data_bits, BYTE parity, BYTE stop_bits) {
  DCB dcb;
  if (const DWORD result = ReadState(dcb)) return result;
  dcb.BaudRate = baud_rate;
  dcb.ByteSize = data_bits;
  dcb.Parity = parity;
  dcb.StopBits = stop_bits;
  dcb.fParity = parity != NOPARITY;
  return WriteState(dcb);
}

DWORD SerialPort::SetEventChar(char character, bool add_to_mask) {
  DCB dcb;
  if (const DWORD result = ReadState(dcb)) return result;
  dcb.EvtChar = character;
  if (add_to_mask) {
    if (const DWORD result = SetEventMask(QueryEventMask() | EV_RXFLAG)) return result;
  }
  return WriteState(dcb);
}

DWORD SerialPort::SetEventMask(DWORD mask) {
  if (!port_) return SetResult(serial_result::kNotOpen);
  if (!SetCommMask(port_.get(), mask)) return SetResult(GetLastError());
  event_mask_ = mask;
  return SetResult(serial_result::kSuccess);
}

DWORD SerialPort::CheckOverlapUse(const OVERLAPPED* ovl, DWORD timeout) {
  if (!io_event_ && (ovl != nullptr || timeout != INFINITE))
    return SetResult(serial_result::kNotOverlapped);
  return serial_result::kSuccess;
}

DWORD SerialPort::FinishInternal(OVERLAPPED& internal, DWORD timeout, DWORD* count) {
  const DWORD waited = WaitForSingleObject(internal.hEvent, timeout);
  if (waited != WAIT_OBJECT_0) {
    const DWORD error = waited == WAIT_TIMEOUT ? serial_result::kTimedOut : GetLastError();
    // The OVERLAPPED lives on this call's stack: the cancelled operation must be finished
    // before it goes away.
    CancelIo(port_.get());
    DWORD ignored = 0;
    GetOverlappedResult(port_.get(), &internal, &ignored, TRUE);
    return SetResult(error);
  }
  DWORD transferred = 0;
  if (!GetOverlappedResult(port_.get(), &internal, &transferred, FALSE))
    return SetResult(GetLastError());
  if (count != nullptr) *count = transferred;
  return SetResult(serial_result::kSuccess);
}

template <typename Issue>
DWORD SerialPort::Perform(OVERLAPPED* ovl, DWORD timeout, DWORD* count, const Issue& issue) {
  if (!port_) return SetResult(serial_result::kNotOpen);
  if (const DWORD refused = CheckOverlapUse(ovl, timeout)) return refused;
  std::unique_lock lock(internal_io_, std::defer_lock);
  OVERLAPPED internal{};
  OVERLAPPED* used = ovl;
  if (ovl == nullptr && io_event_) {
    lock.lock();
    internal.hEvent = io_event_.get();
    used = &internal;
  }
  if (issue(used)) {
    if (used != nullptr) SetEvent(used->hEvent);
    return SetResult(serial_result::kSuccess);
  }
  const DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return SetResult(error);
  if (used != &internal) return SetResult(serial_result::kSuccess);  // the caller collects it
  return FinishInternal(internal, timeout, count);
}

DWORD SerialPort::WaitForEvent(OVERLAPPED* ovl, DWORD timeout) {
  return Perform(ovl, timeout, nullptr, [this](OVERLAPPED* used) {
    return WaitCommEvent(port_.get(), &event_bits_, used);
  });
}

DWORD SerialPort::Transfer(Direction direction, void* data, DWORD length, DWORD* count,
                           OVERLAPPED* ovl, DWORD timeout) {
  DWORD local = 0;
  DWORD* transferred = count != nullptr ? count : &local;
  *transferred = 0;
  return Perform(ovl, timeout, transferred, [&](OVERLAPPED* used) {
    return direction == Direction::kRead ? ReadFile(port_.get(), data, length, transferred, used)
                                         : WriteFile(port_.get(), data, length, transferred, used);
  });
}

DWORD SerialPort::WriteText(const char* text, DWORD* written, OVERLAPPED* ovl, DWORD timeout) {
  const DWORD length = text != nullptr ? static_cast<DWORD>(std::strlen(text)) : 0;
  return WriteBytes(text != nullptr ? text : "", length, written, ovl, timeout);
}

DWORD SerialPort::WriteBytes(const void* data, DWORD length, DWORD* written, OVERLAPPED* ovl,
                             DWORD timeout) {
  return Transfer(Direction::kWrite, const_cast<void*>(data), length, written, ovl, timeout);
}

DWORD SerialPort::ReadBytes(void* buffer, DWORD length, DWORD* read, OVERLAPPED* ovl,
                            DWORD timeout) {
  return Transfer(Direction::kRead, buffer, length, read, ovl, timeout);
}

DWORD SerialPort::SetFlowControl(int kind) {
  if (!port_) return SetResult(serial_result::kNotOpen);
  if (kind != kFlowNone && kind != kFlowHardware && kind != kFlowSoftware)
    return SetResult(serial_result::kInvalidKind);
  DCB dcb;
  if (const DWORD result = ReadState(dcb)) return result;
  const bool hardware = kind == kFlowHardware;
  const bool software = kind == kFlowSoftware;
  dcb.fOutxCtsFlow = hardware;
  dcb.fOutxDsrFlow = hardware;
  dcb.fDtrControl = hardware ? DTR_CONTROL_HANDSHAKE : 0;
  dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : 0;
  dcb.fOutX = software;
  dcb.fInX = software;
  return WriteState(dcb);
}

DWORD SerialPort::SetReadMode(int kind) {
  if (!port_) return SetResult(serial_result::kNotOpen);
  if (kind != kReadNonBlocking && kind != kReadBlocking)
    return SetResult(serial_result::kInvalidKind);
  COMMTIMEOUTS timeouts{};
  if (!GetCommTimeouts(port_.get(), &timeouts)) return SetResult(GetLastError());
  timeouts.ReadIntervalTimeout = kind == kReadNonBlocking ? MAXDWORD : 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  return SetResult(SetCommTimeouts(port_.get(), &timeouts) ? serial_result::kSuccess
                                                           : GetLastError());
}

long SerialPort::QueryBaudRate() {
  DCB dcb;
  return ReadState(dcb) == serial_result::kSuccess ? static_cast<long>(dcb.BaudRate) : -1;
}

int SerialPort::QueryDataBits() {
  DCB dcb;
  return ReadState(dcb) == serial_result::kSuccess ? dcb.ByteSize : -1;
}

int SerialPort::QueryParity() {
  DCB dcb;
  if (ReadState(dcb) != serial_result::kSuccess) return -1;
  return dcb.fParity ? dcb.Parity : NOPARITY;
}

int SerialPort::QueryStopBits() {
  DCB dcb;
  return ReadState(dcb) == serial_result::kSuccess ? dcb.StopBits : -1;
}

int SerialPort::QueryFlowControl() {
  DCB dcb;
  if (ReadState(dcb) != serial_result::kSuccess) return -1;
  if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
    return kFlowHardware;
  if (dcb.fOutX && dcb.fInX) return kFlowSoftware;
  return kFlowNone;
}

DWORD SerialPort::QueryEventMask() {
  if (!port_) {
    SetResult(serial_result::kNotOpen);
    return 0;
  }
  SetResult(serial_result::kSuccess);
  return event_mask_;
}

char SerialPort::QueryEventChar() {
  DCB dcb;
  return ReadState(dcb) == serial_result::kSuccess ? dcb.EvtChar : 0;
}

DWORD SerialPort::PurgeBuffers() {
  if (!port_) return SetResult(serial_result::kNotOpen);
  return SetResult(PurgeComm(port_.get(), PURGE_TXCLEAR | PURGE_RXCLEAR) ? serial_result::kSuccess
                                                                         : GetLastError());
}

DWORD SerialPort::TakeEventBits() {
  const DWORD bits = event_bits_ & event_mask_;
  event_bits_ = 0;
  return bits;
}

SerialListener::~SerialListener() {
  SerialListener::ClosePort();
}

DWORD SerialListener::OpenPort(const char* name, DWORD input_queue, DWORD output_queue,
                               bool start_listening) {
  if (const DWORD result = SerialPort::OpenPort(name, input_queue, output_queue, true))
    return result;
  listener_event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!listener_event_) {
    const DWORD error = GetLastError();
    SerialPort::ClosePort();
    return SetResult(error);
  }
  if (start_listening) return StartListening();
  return serial_result::kSuccess;
}

DWORD SerialListener::ClosePort() {
  StopListening(INFINITE);
  listener_event_.reset();
  return SerialPort::ClosePort();
}

DWORD SerialListener::StartListening() {
  if (!thread_) {
    thread_.reset(CreateThread(nullptr, 0, &SerialListener::ListenerThread, this, 0, nullptr));
    if (!thread_) return SetResult(GetLastError());
  }
  return SetResult(serial_result::kSuccess);
}

DWORD SerialListener::StopListening(DWORD timeout) {
  if (thread_) {
    stop_ = 1;
    const DWORD mask = QueryEventMask();
    SetEventMask(mask);  // completes the pending event wait
    WaitForListener(mask, timeout);
    stop_ = 0;
    thread_.reset();
  }
  return SetResult(serial_result::kSuccess);
}

// Some platforms (Wine) end a pending event wait only when the mask differs from the one the
// wait began with. Until the thread ends, the mask alternates between empty and `mask`, so that
// a wait begun just before either change is ended by the next one; `mask` stays at the end.
void SerialListener::WaitForListener(DWORD mask, DWORD timeout) {
  const ULONGLONG start = GetTickCount64();
  bool cleared = false;
  while (WaitForSingleObject(thread_.get(), kStopSliceMs) == WAIT_TIMEOUT) {
    if (timeout != INFINITE && GetTickCount64() - start >= timeout) break;
    if (!is_open()) continue;
    cleared = !cleared;
    SetCommMask(port(), cleared ? 0 : mask);
  }
  if (cleared && is_open()) SetCommMask(port(), mask);
}

DWORD WINAPI SerialListener::ListenerThread(void* self) {
  return static_cast<SerialListener*>(self)->Listen();
}

DWORD SerialListener::Listen() {
  OVERLAPPED wait{};
  wait.hEvent = listener_event_.get();
  unsigned empty_wakes = 0;
  while (true) {
    ResetEvent(listener_event_.get());
    if (const DWORD result = WaitForEvent(&wait, INFINITE)) return result;
    if (WaitForSingleObject(listener_event_.get(), INFINITE) != WAIT_OBJECT_0)
      return GetLastError();
    if (stop_) return 0;
    const DWORD bits = TakeEventBits();
    DWORD errors = 0;
    if (!ClearCommError(port(), &errors, nullptr)) SetResult(GetLastError());
    if (bits != 0) {
      empty_wakes = 0;
      HandleEvent(bits, errors);
    } else {
      Sleep(kEmptyWakePauseMs << std::min(empty_wakes++, kEmptyWakeMaxDoublings));
    }
    if (stop_) return 0;
  }
}

}  // namespace zorvik
