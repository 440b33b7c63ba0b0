// One capture of a controller's read chunks into a file, for a given number of seconds, written
// by its own thread in the replay tool's input language. The reader hands chunks over through a
// fixed-size ring and never waits for the file: what finds no room is dropped, counted and
// reported at the end of the file. A file that cannot be written, or that does not take the
// data in time, ends the capture with a line in the service's log; the service goes on as before.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/capture/capture_ring.h"
#include "common/capture/capture_text.h"
#include "common/win32/handle_win32.h"

namespace zorvik {

class StreamCapture {
 public:
  StreamCapture();   // holds no handle until its first capture
  ~StreamCapture();  // ends a capture under way ("the service stopped") and waits for its thread
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;

  // Begins a capture of `source` ("USB01") into `path` for `seconds`; `finished` runs on the
  // writer thread when it has ended, however it ended. False when one is already under way.
  bool Begin(std::string path, std::string source, std::uint32_t seconds,
             std::function<void()> finished);
  // On the reader thread, for every chunk read: kept while a capture is under way.
  void Record(std::span<const std::uint8_t> chunk);
  bool under_way() const { return thread_running_; }

 private:
  static DWORD WINAPI WriterThread(void* self);
  void Write();
  // Appends `text` to the file; false when it could not be written by `deadline_tick` (the
  // write is then cancelled) or the capture is being stopped.
  bool Append(const std::string& text, ULONGLONG deadline_tick);

  std::atomic<bool> recording_{false};
  std::atomic<bool> thread_running_{false};
  CaptureRing ring_;
  CaptureText text_;
  std::string path_;
  std::string source_;
  std::uint32_t seconds_ = 0;
  std::function<void()> finished_;
  ScopedKernelHandle stop_;
  ScopedKernelHandle write_done_;
  ScopedKernelHandle thread_;
  ScopedFileHandle file_;
};

}  // namespace zorvik
