// What both touch services do the same way around their devices.
#include "common/win32/service_lifecycle_win32.h"

#include <utility>

#include "common/kernel_object_names.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik {

int RunAsOnlyInstance(const char* mutex_name, const std::function<int()>& run) {
  const ScopedKernelHandle instance(CreateMutexA(nullptr, FALSE, mutex_name));
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return 0;
  return run();
}

ServiceWorker::ServiceWorker() : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool ServiceWorker::Start(std::function<void()> body, int priority) {
  body_ = std::move(body);
  thread_.reset(CreateThread(nullptr, 0, &ServiceWorker::ThreadMain, this, 0, &thread_id_));
  if (!thread_) return false;
  if (priority != THREAD_PRIORITY_NORMAL) SetThreadPriority(thread_.get(), priority);
  return true;
}

DWORD WINAPI ServiceWorker::ThreadMain(void* self) {
  static_cast<ServiceWorker*>(self)->body_();
  return 0;
}

void ServiceWorker::RequestStop() {
  running_ = false;
  if (stop_) SetEvent(stop_.get());
}

void ServiceWorker::Join(DWORD poll_ms, const std::function<void(DWORD)>& meanwhile) {
  if (!thread_) return;
  while (WaitForSingleObject(thread_.get(), poll_ms) == WAIT_TIMEOUT) {
    if (meanwhile) meanwhile(thread_id_);
  }
  thread_.reset();
}

bool ServiceWorker::Stopping() const {
  return stop_ && WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0;
}

bool ServiceWorker::Pause(DWORD ms, HANDLE exit_event) {
  HANDLE waits[2];
  DWORD count = 0;
  for (const HANDLE event : {stop_.get(), exit_event})
    if (event != nullptr) waits[count++] = event;
  if (count == 0) {
    Sleep(ms);
    return running_;
  }
  const DWORD woken = WaitForMultipleObjects(count, waits, FALSE, ms);
  if (woken == WAIT_TIMEOUT) return true;
  if (woken < WAIT_OBJECT_0 + count && waits[woken - WAIT_OBJECT_0] == exit_event) {
    if (stop_) SetEvent(stop_.get());
    SetEvent(exit_event);  // auto-reset: the main loop must still see it
  }
  return !Stopping();
}

bool ReopenVirtualMouse(ScopedFileHandle& mouse, const SystemVersion& version, DWORD share_mode) {
  if (!version.nt_family()) return true;
  mouse.reset();  // closed before it is opened again
  mouse.reset(CreateFileA(names::kVirtualMouseDevice, GENERIC_READ | GENERIC_WRITE, share_mode,
                          nullptr, OPEN_EXISTING, 0, nullptr));
  return static_cast<bool>(mouse);
}

void CloseAtExit(ControlEvents& events, ScopedFileHandle& mouse) {
  CloseControlEventsAtExit(events);
  mouse.reset();
}

}  // namespace zorvik
