// The stream captures of one service, one per device number, and the rule that starts them: at
// a settings load, a non-zero CaptureSeconds under Diagnostics captures every served device for
// that many seconds into CaptureFolder (or "Capture" in the services' data folder); when the last
// capture has ended, CaptureSeconds is set back to 0.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/win32/stream_capture_win32.h"

namespace zorvik {

class CaptureSession {
 public:
  static constexpr int kMaxNumber = 100;

  // `file_format` names a device's file from its number ("USB%02d.txt", "SerialCOM%d.txt").
  explicit CaptureSession(const char* file_format) : file_format_(file_format) {}

  // The capture of device `number` (0..kMaxNumber), kept across restarts of its device, so
  // that a capture goes on when the devices are started again; null beyond kMaxNumber.
  StreamCapture* For(int number);
  // At a settings load, with the numbers of the devices served now.
  void BeginIfAsked(std::span<const int> numbers);

 private:
  void Finished();
  // CaptureFolder, else "Capture" in the data folder; nothing when neither is known.
  std::optional<std::string> Folder() const;

  const char* file_format_;
  std::atomic<int> under_way_{0};
  std::array<std::unique_ptr<StreamCapture>, kMaxNumber + 1> captures_;
};

}  // namespace zorvik
