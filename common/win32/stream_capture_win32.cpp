// Stream captures.
#include "common/win32/stream_capture_win32.h"

#include <utility>

#include "common/win32/service_log_win32.h"

namespace zorvik {
namespace {

// How often the writer takes what the reader handed over.
constexpr DWORD kDrainPeriodMs = 50;
// A write still pending this long after the capture's end is abandoned.
constexpr ULONGLONG kLastWriteGraceMs = 1000;

UtcTime NowUtc() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

// The folder part of `path`, created when missing (one level: the capture folder itself).
void CreateFolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
}

}  // namespace

StreamCapture::StreamCapture() = default;

StreamCapture::~StreamCapture() {
  if (!thread_) return;
  SetEvent(stop_.get());
  WaitForSingleObject(thread_.get(), INFINITE);  // every wait of the writer ends at the stop
}

bool StreamCapture::Begin(std::string path, std::string source, std::uint32_t seconds,
                          std::function<void()> finished) {
  if (thread_running_) return false;
  if (thread_) WaitForSingleObject(thread_.get(), INFINITE);  // a finished one: its last steps
  // The events exist from the first capture on: a device that is never captured holds none.
  if (!stop_) stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!write_done_) write_done_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!stop_ || !write_done_) return false;
  path_ = std::move(path);
  source_ = std::move(source);
  seconds_ = seconds;
  finished_ = std::move(finished);
  ResetEvent(stop_.get());
  thread_running_ = true;
  recording_ = true;
  thread_.reset(CreateThread(nullptr, 0, &StreamCapture::WriterThread, this, 0, nullptr));
  if (!thread_) {
    recording_ = false;
    thread_running_ = false;
    return false;
  }
  return true;
}

void StreamCapture::Record(std::span<const std::uint8_t> chunk) {
  if (recording_ && !chunk.empty()) ring_.Push(NowUtc(), chunk);
}

DWORD WINAPI StreamCapture::WriterThread(void* self) {
  static_cast<StreamCapture*>(self)->Write();
  return 0;
}

void StreamCapture::Write() {
  const ULONGLONG end_tick = GetTickCount64() + seconds_ * 1000ull;
  CreateFolderOf(path_);
  file_.reset(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
  const char* reason = nullptr;
  if (!file_) {
    LogLine("capture of " + source_ + ": cannot create " + path_ + " (error " +
            std::to_string(GetLastError()) + ")");
  } else {
    std::uint64_t size = 0;
    CaptureDrops beyond_limit;  // chunks the ring handed over that the 64 MB did not take
    std::string batch = text_.Header(source_, NowUtc());
    while (reason == nullptr) {
      const bool stopped = WaitForSingleObject(stop_.get(), kDrainPeriodMs) == WAIT_OBJECT_0;
      const bool time_up = GetTickCount64() >= end_tick;
      if (stopped || time_up) recording_ = false;  // the reader keeps nothing more
      bool full = false;
      ring_.Drain([&](const UtcTime& at, std::span<const std::uint8_t> bytes) {
        if (full || size + batch.size() + 4 * bytes.size() > kMaxCaptureBytes) {
          full = true;
          ++beyond_limit.chunks;
          beyond_limit.bytes += bytes.size();
          return;
        }
        text_.AppendChunk(batch, at, bytes);
      });
      if (!batch.empty() && !Append(batch, end_tick + kLastWriteGraceMs)) {
        reason = "the file did not take the data";
        LogLine("capture of " + source_ + ": " + path_ + " did not take the data; capture ended");
        break;
      }
      size += batch.size();
      batch.clear();
      if (full)
        reason = "64 MB reached";
      else if (stopped)
        reason = "the service stopped";
      else if (time_up)
        reason = "time is up";
    }
    recording_ = false;
    CaptureDrops drops = ring_.drops();
    drops.chunks += beyond_limit.chunks;
    drops.bytes += beyond_limit.bytes;
    Append(CaptureText::Trailer(drops, reason), GetTickCount64() + kLastWriteGraceMs);
    file_.reset();
  }
  recording_ = false;
  thread_running_ = false;
  if (finished_) finished_();
}

bool StreamCapture::Append(const std::string& text, ULONGLONG deadline_tick) {
  OVERLAPPED overlapped{};
  overlapped.Offset = 0xFFFFFFFF;  // at the end of the file
  overlapped.OffsetHigh = 0xFFFFFFFF;
  overlapped.hEvent = write_done_.get();
  DWORD written = 0;
  if (WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, &overlapped)) {
    return written == text.size();
  }
  if (GetLastError() != ERROR_IO_PENDING) return false;
  const ULONGLONG now = GetTickCount64();
  const DWORD wait = now < deadline_tick ? static_cast<DWORD>(deadline_tick - now) : 0;
  const HANDLE waits[] = {write_done_.get(), stop_.get()};
  if (WaitForMultipleObjects(2, waits, FALSE, wait) != WAIT_OBJECT_0) {
    CancelIoEx(file_.get(), &overlapped);
  }
  // Waits for the cancellation as well: `overlapped` lives on this stack.
  if (!GetOverlappedResult(file_.get(), &overlapped, &written, TRUE)) return false;
  return written == text.size();
}

}  // namespace zorvik
