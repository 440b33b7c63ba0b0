// The COM port engine under Wine, on COM41 and COM42 wired to each other (null modem) by the
// test's launcher; COM43 does not exist.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "serialsvc/win32/serial_port_win32.h"

namespace zorvik {
namespace {

constexpr char kNear[] = "COM41";
constexpr char kFar[] = "COM42";
constexpr char kMissing[] = "COM43";

// Waits (bounded) until `port` holds `count` received bytes.
bool WaitQueued(HANDLE port, DWORD count) {
  for (int i = 0; i < 200; ++i) {
    COMSTAT status{};
    DWORD errors = 0;
    if (ClearCommError(port, &errors, &status) && status.cbInQue >= count) return true;
    Sleep(10);
  }
  return false;
}

class TestPort : public SerialPort {
 public:
  using SerialPort::port;
};

DCB CurrentState(TestPort& port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(GetCommState(port.port(), &dcb));
  return dcb;
}

TEST(SerialPortTest, OpenAndCloseResults) {
  TestPort port;
  EXPECT_EQ(port.OpenPort(kMissing, 0, 0, true), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(port.last_result(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // Closed: every operation reports the missing handle.
  char byte = 0;
  EXPECT_EQ(port.ReadBytes(&byte, 1, nullptr, nullptr, INFINITE), serial_result::kNotOpen);
  EXPECT_EQ(port.ConfigureLine(9600, 8, NOPARITY, ONESTOPBIT), serial_result::kNotOpen);
  EXPECT_EQ(port.PurgeBuffers(), serial_result::kNotOpen);
  EXPECT_EQ(port.QueryEventMask(), 0u);
  EXPECT_EQ(port.last_result(), serial_result::kNotOpen);
  EXPECT_EQ(port.QueryBaudRate(), -1);

  ASSERT_EQ(port.OpenPort(kNear, 4096, 4096, true), serial_result::kSuccess);
  EXPECT_EQ(port.QueryEventMask(), DWORD{0xC1});  // break, error, character received
  EXPECT_EQ(port.OpenPort(kFar, 0, 0, true), serial_result::kAlreadyOpen);
  EXPECT_TRUE(port.is_open());

  EXPECT_EQ(port.ClosePort(), serial_result::kSuccess);
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(port.ClosePort(), serial_result::kSuccess);
  EXPECT_EQ(port.OpenPort(kNear, 0, 0, false), serial_result::kSuccess);
}

TEST(SerialPortTest, WithoutOverlappedIoOnlyInfiniteCallsWithoutOverlappedAreAccepted) {
  TestPort port;
  ASSERT_EQ(port.OpenPort(kNear, 0, 0, false), serial_result::kSuccess);
  char buffer[8] = {};
  DWORD count = 99;
  EXPECT_EQ(port.ReadBytes(buffer, sizeof buffer, &count, nullptr, 100),
            serial_result::kNotOverlapped);
  EXPECT_EQ(count, 0u);
  OVERLAPPED ovl{};
  EXPECT_EQ(port.WriteBytes("x", 1, nullptr, &ovl, INFINITE), serial_result::kNotOverlapped);
  EXPECT_EQ(port.WaitForEvent(&ovl, INFINITE), serial_result::kNotOverlapped);
  EXPECT_EQ(port.WaitForEvent(nullptr, 10), serial_result::kNotOverlapped);
  // The synchronous non-blocking read still works.
  EXPECT_EQ(port.ReadBytes(buffer, sizeof buffer, &count, nullptr, INFINITE),
            serial_result::kSuccess);
  EXPECT_EQ(count, 0u);
}

TEST(SerialPortTest, LineSettingsFlowControlAndReadModes) {
  TestPort port;
  ASSERT_EQ(port.OpenPort(kNear, 0, 0, true), serial_result::kSuccess);
  ASSERT_EQ(port.ConfigureLine(115200, 8, NOPARITY, ONESTOPBIT), serial_result::kSuccess);
  EXPECT_EQ(port.QueryBaudRate(), 115200);
  EXPECT_EQ(port.QueryDataBits(), 8);
  EXPECT_EQ(port.QueryParity(), NOPARITY);
  EXPECT_EQ(port.QueryStopBits(), ONESTOPBIT);
  // (A pseudo-terminal keeps its character size and parity; the speed and stop bits change.)
  ASSERT_EQ(port.ConfigureLine(9600, 8, NOPARITY, TWOSTOPBITS), serial_result::kSuccess);
  EXPECT_EQ(port.QueryBaudRate(), 9600);
  EXPECT_EQ(port.QueryStopBits(), TWOSTOPBITS);

  ASSERT_EQ(port.SetFlowControl(kFlowSoftware), serial_result::kSuccess);
  EXPECT_EQ(port.QueryFlowControl(), kFlowSoftware);
  ASSERT_EQ(port.SetFlowControl(kFlowNone), serial_result::kSuccess);
  EXPECT_EQ(port.QueryFlowControl(), kFlowNone);

  const DCB before = CurrentState(port);
  EXPECT_EQ(port.SetFlowControl(3), serial_result::kInvalidKind);
  EXPECT_EQ(port.last_result(), serial_result::kInvalidKind);
  const DCB after = CurrentState(port);
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
  EXPECT_EQ(port.SetReadMode(2), serial_result::kInvalidKind);

  // (Wine keeps no event character; the mask is ours.)
  ASSERT_EQ(port.SetEventChar('\n', true), serial_result::kSuccess);
  EXPECT_EQ(port.QueryEventMask(), DWORD{0xC1} | EV_RXFLAG);
}

TEST(SerialPortTest, NonBlockingReadReturnsWhatIsQueued) {
  TestPort near_end;
  TestPort far_end;
  ASSERT_EQ(near_end.OpenPort(kNear, 0, 0, true), serial_result::kSuccess);
  ASSERT_EQ(far_end.OpenPort(kFar, 0, 0, true), serial_result::kSuccess);
  ASSERT_EQ(near_end.PurgeBuffers(), serial_result::kSuccess);

  DWORD written = 0;
  ASSERT_EQ(far_end.WriteText("hello", &written, nullptr, INFINITE), serial_result::kSuccess);
  EXPECT_EQ(written, 5u);  // without the terminator
  ASSERT_TRUE(WaitQueued(near_end.port(), 5));
  char buffer[1024] = {};
  DWORD count = 0;
  ASSERT_EQ(near_end.ReadBytes(buffer, sizeof buffer, &count, nullptr, INFINITE),
            serial_result::kSuccess);
  EXPECT_EQ(std::string(buffer, count), "hello");

  // Blocking mode with nothing queued: the finite time-out expires, the read is cancelled and
  // the port stays usable.
  ASSERT_EQ(near_end.SetReadMode(kReadBlocking), serial_result::kSuccess);
  EXPECT_EQ(near_end.ReadBytes(buffer, 4, &count, nullptr, 200), serial_result::kTimedOut);
  ASSERT_EQ(far_end.WriteBytes("abcd", 4, nullptr, nullptr, INFINITE), serial_result::kSuccess);
  ASSERT_EQ(near_end.ReadBytes(buffer, 4, &count, nullptr, 5000), serial_result::kSuccess);
  EXPECT_EQ(std::string(buffer, count), "abcd");

  // An event wait with the internal OVERLAPPED sees the received characters.
  ASSERT_EQ(near_end.SetReadMode(kReadNonBlocking), serial_result::kSuccess);
  ASSERT_EQ(far_end.WriteBytes("z", 1, nullptr, nullptr, INFINITE), serial_result::kSuccess);
  ASSERT_EQ(near_end.WaitForEvent(nullptr, 5000), serial_result::kSuccess);
  EXPECT_EQ(near_end.TakeEventBits(), static_cast<DWORD>(EV_RXCHAR));
  EXPECT_EQ(near_end.TakeEventBits(), 0u);  // taken once
}

class RecordingListener : public SerialListener {
 public:
  RecordingListener() : arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~RecordingListener() override {
    ClosePort();
    CloseHandle(arrived_);
  }

  void HandleEvent(DWORD events, DWORD /*errors*/) override {
    char buffer[1024];
    DWORD count = 0;
    if (!(events & EV_RXCHAR)) return;
    ReadBytes(buffer, sizeof buffer, &count, nullptr, INFINITE);
    std::lock_guard lock(mutex_);
    received_.append(buffer, count);
    SetEvent(arrived_);
  }

  // Waits (bounded) until `expected` bytes have arrived in total.
  std::string WaitFor(std::size_t expected) {
    for (int i = 0; i < 50; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (received_.size() >= expected) return received_;
      }
      WaitForSingleObject(arrived_, 100);
    }
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  HANDLE arrived_;
  std::mutex mutex_;
  std::string received_;
};

TEST(SerialListenerTest, DeliversReceivedCharactersAndStopsOnRequest) {
  RecordingListener listener;
  EXPECT_EQ(listener.StopListening(INFINITE), serial_result::kSuccess);  // no thread yet
  ASSERT_EQ(listener.OpenPort(kNear, 0, 0, true), serial_result::kSuccess);
  TestPort far_end;
  ASSERT_EQ(far_end.OpenPort(kFar, 0, 0, true), serial_result::kSuccess);
  ASSERT_EQ(listener.PurgeBuffers(), serial_result::kSuccess);

  ASSERT_EQ(far_end.WriteText("first", nullptr, nullptr, INFINITE), serial_result::kSuccess);
  EXPECT_EQ(listener.WaitFor(5), "first");
  ASSERT_EQ(far_end.WriteText("second", nullptr, nullptr, INFINITE), serial_result::kSuccess);
  EXPECT_EQ(listener.WaitFor(11), "firstsecond");

  // Stopping wakes the pending event wait; afterwards nothing more is delivered.
  EXPECT_EQ(listener.StopListening(INFINITE), serial_result::kSuccess);
  ASSERT_EQ(far_end.WriteText("late", nullptr, nullptr, INFINITE), serial_result::kSuccess);
  Sleep(300);
  EXPECT_EQ(listener.WaitFor(11), "firstsecond");
  // Listening again picks up what is queued once more characters arrive.
  ASSERT_EQ(listener.StartListening(), serial_result::kSuccess);
  ASSERT_EQ(far_end.WriteText("!", nullptr, nullptr, INFINITE), serial_result::kSuccess);
  EXPECT_EQ(listener.WaitFor(16), "firstsecondlate!");
  EXPECT_EQ(listener.ClosePort(), serial_result::kSuccess);
  EXPECT_FALSE(listener.is_open());
}

}  // namespace
}  // namespace zorvik
