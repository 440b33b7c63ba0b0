// Usblink's process object.
#include "usbsvc/win32/service_app_win32.h"

#include <winioctl.h>

#include "common/kernel_object_names.h"
#include "common/settings_access.h"
#include "common/settings_loader.h"
#include "common/settings_schema.h"
#include "usbsvc/touch_sharing.h"
#include "usbsvc/win32/device_enumeration_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kIoctlBeepSet = 0x10000;
constexpr DWORD kBeepDeviceAccess = FILE_GENERIC_READ | FILE_GENERIC_WRITE;  // 0x12019F
constexpr int kOpenAttempts = 11;
constexpr DWORD kOpenRetryMs = 5000;
constexpr DWORD kWatchPeriodMs = 2000;

// On NT-family systems three of the events carry "Global\" names and a null DACL.
constexpr ControlEventNames kEventNames = {{
    {names::kUsbBeepEvent, names::kUsbBeepEvent, false},
    {names::kUsbSetupChangeEventGlobal, names::kUsbSetupChangeEvent, true},
    {names::kUsbRescanEvent, names::kUsbRescanEvent, false},
    {names::kUsbExitEventGlobal, names::kUsbExitEvent, true},
    {names::kUsbClickChangeEventGlobal, names::kUsbClickChangeEvent, true},
}};

struct BeepSetParameters {
  ULONG frequency;
  ULONG duration;
};

}  // namespace

ServiceApp::ServiceApp()
    : primary_{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
      exiting_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

ServiceApp::~ServiceApp() {
  StopDevices();
  if (point_view_ != nullptr) UnmapViewOfFile(point_view_);
  if (raw_cell_view_ != nullptr) UnmapViewOfFile(raw_cell_view_);
}

int ServiceApp::Run() {
  version_ = ReadSystemVersion();
  if (!CreateControlEvents(version_, kEventNames, events_)) return 0;
  CleanDeviceList();
  if (version_.major > 5 && !OpenBeepDevice()) return 1;
  watcher_.reset(CreateThread(nullptr, 0, &ServiceApp::WatcherThread, this, 0, nullptr));
  RunControlLoop(events_, [this](ControlEvent event) {
    switch (event) {
      case kBeepEvent:
        Tick();
        break;
      case kSetupChangeEvent:
      case kClickChangeEvent:
        LoadSettings();
        break;
      case kRescanEvent:
        Rescan();
        break;
      case kExitEvent:
        ShutDown();
        return false;
    }
    return true;
  });
  return 0;
}

bool ServiceApp::OpenBeepDevice() {
  if (!DefineDosDeviceA(DDD_RAW_TARGET_PATH, names::kBeepDosName, names::kBeepTargetPath)) {
    MessageBoxA(nullptr, "DefineDosDevice   Error!", "Error!", MB_OK);
    return false;
  }
  dos_device_defined_ = true;
  char path[MAX_PATH];
  wsprintfA(path, names::kDosDeviceFormat, names::kBeepDosName);
  beep_device_.reset(CreateFileA(path, kBeepDeviceAccess, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!beep_device_) {
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, names::kBeepDosName, names::kBeepTargetPath);
    dos_device_defined_ = false;
    return false;
  }
  return true;
}

void ServiceApp::Tick() {
  if (beep_device_) {
    BeepSetParameters parameters{static_cast<ULONG>(settings_.TickFreq),
                                 static_cast<ULONG>(settings_.Ticklength)};
    DWORD returned = 0;
    DeviceIoControl(beep_device_.get(), kIoctlBeepSet, &parameters, sizeof parameters, nullptr, 0,
                    &returned, nullptr);
  } else {
    Beep(static_cast<DWORD>(settings_.TickFreq), static_cast<DWORD>(settings_.Ticklength));
  }
}

void ServiceApp::LoadSettings() {
  const SettingsLoader loader(store_, ServiceKind::kUsb, primary_);
  const ServiceSettings loaded = loader.LoadService();
  std::lock_guard lock(restart_lock_);
  settings_ = loaded;
  for (const auto& controller : controllers_) {
    DeviceSettings device = controller->device().settings();
    loader.LoadDevice(loaded, controller->path(), device, [&] { controller->ReopenClickAck(); });
    controller->device().ApplySettings(device);
  }
  std::vector<int> served;
  for (std::size_t k = 0; k < controllers_.size(); ++k)
    served.push_back(static_cast<int>(k) + 1);
  captures_.BeginIfAsked(served);
}

// Stop, wait 1 s, start, wait 0.1 s: one restart, never overlapping another. The watcher saw
// the count without the lock: it may have been a rescan's half-built list, and shut-down may
// have begun while the watcher waited for its turn. Both are checked again under the lock.
bool ServiceApp::Restart(RestartReason reason) {
  {
    std::lock_guard lock(restart_lock_);
    if (reason == RestartReason::kCountChanged &&
        (!watcher_running_ || Exiting() || EnumerateControllers().size() == started_count_)) {
      return false;
    }
    StopDevices();
    if (!Pause(1000)) return false;
    StartDevices();
  }
  return Pause(100);
}

void ServiceApp::Rescan() {
  if (Restart(RestartReason::kRescan)) LoadSettings();
}

bool ServiceApp::Pause(DWORD ms) {
  HANDLE waits[2];
  DWORD count = 0;
  for (const HANDLE event : {exiting_.get(), events_[kExitEvent].get()})
    if (event != nullptr) waits[count++] = event;
  if (count == 0) {
    Sleep(ms);
    return true;
  }
  const DWORD woken = WaitForMultipleObjects(count, waits, FALSE, ms);
  if (woken == WAIT_TIMEOUT) return true;
  if (woken < WAIT_OBJECT_0 + count && waits[woken - WAIT_OBJECT_0] != exiting_.get()) {
    SetEvent(exiting_.get());
    SetEvent(events_[kExitEvent].get());  // auto-reset: the main loop must still see it
  }
  return !Exiting();
}

bool ServiceApp::Exiting() const {
  return exiting_ && WaitForSingleObject(exiting_.get(), 0) == WAIT_OBJECT_0;
}

// The watcher goes first: once it has ended, nothing can start the controllers again.
void ServiceApp::ShutDown() {
  watcher_running_ = false;
  SetEvent(exiting_.get());
  if (watcher_) WaitForSingleObject(watcher_.get(), INFINITE);
  watcher_.reset();
  {
    std::lock_guard lock(restart_lock_);
    StopDevices();
  }
  CloseControlEventsAtExit(events_);
  mouse_device_.reset();
  beep_device_.reset();
  if (dos_device_defined_) {
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, names::kBeepDosName, names::kBeepTargetPath);
    dos_device_defined_ = false;
  }
}

void ServiceApp::CleanDeviceList() {
  const ScopedKey root = OpenKey(store_, store_.LocalMachine(), schema::kRootKey);
  if (!root) return;
  if (version_.nt_family()) {
    DeleteKeyTree(store_, root.get(), schema::kUsbActive);
  } else {
    store_.DeleteKey(root.get(), schema::kUsbActive);
  }
}

void ServiceApp::OpenSections() {
  OpenSharedSection(point_section_, point_view_, names::kPointSection, kPointSectionSize);
  OpenSharedSection(raw_cell_section_, raw_cell_view_, names::kRawCellSection, kRawCellSectionSize);
}

void ServiceApp::StartDevices() {
  std::lock_guard lock(restart_lock_);
  const std::vector<std::string> paths = EnumerateControllers();
  started_count_ = paths.size();
  if (!Pause(1500)) return;
  if (version_.nt_family()) {
    mouse_device_.reset();  // closed before it is opened again
    mouse_device_.reset(CreateFileA(names::kVirtualMouseDevice, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    if (!mouse_device_) return;
  }
  CleanDeviceList();
  if (const ScopedKey list = CreateKey(store_, store_.LocalMachine(), schema::kUsbActiveKey)) {
    WriteDword(store_, list.get(), schema::kNextInstanceCount, static_cast<DWORD>(paths.size()));
  }
  started_count_ = 0;
  OpenSections();
  const ControllerContext context{
      events_[kBeepEvent].get(),
      &mouse_device_,
      version_.nt_family() ? Platform::kNt : Platform::kOther,
      primary_,
      point_view_ ? std::span<std::uint8_t>(point_view_, kPointSectionSize)
                  : std::span<std::uint8_t>(),
      raw_cell_view_ ? std::span<std::uint8_t>(raw_cell_view_, kRawCellSectionSize)
                     : std::span<std::uint8_t>()};
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const int number = static_cast<int>(k) + 1;
    auto controller = std::make_unique<UsbController>(context, number, paths[k]);
    int attempt = 1;
    while (controller->pipe().Open(paths[k]) != pipe_error::kSuccess) {
      // After the last attempt, or on exit, the rest are not started.
      if (attempt++ == kOpenAttempts || !Pause(kOpenRetryMs)) return;
    }
    UsbController& started = *controller;
    started.set_capture(captures_.For(number));
    controllers_.push_back(std::move(controller));
    ++started_count_;
    if (const ScopedKey key =
            CreateKey(store_, store_.LocalMachine(),
                      schema::NumberedName(schema::kUsbDeviceKeyFormat, number))) {
      WriteText(store_, key.get(), schema::kUsbId, paths[k]);
    }
    started.StartReader();
    if (!Pause(1000)) return;
    started.device().SendDeviceQuery();
    if (!Pause(100)) return;
  }
}

void ServiceApp::StopDevices() {
  std::lock_guard lock(restart_lock_);
  for (const auto& controller : controllers_) {
    controller->StopReader();
    controller->pipe().Close();
  }
  controllers_.clear();
}

DWORD WINAPI ServiceApp::WatcherThread(void* self) {
  static_cast<ServiceApp*>(self)->Watch();
  return 0;
}

void ServiceApp::Watch() {
  while (watcher_running_) {
    if (EnumerateControllers().size() != started_count_ && Restart(RestartReason::kCountChanged)) {
      SetEvent(events_[kSetupChangeEvent].get());
    }
    if (!Pause(kWatchPeriodMs)) return;
  }
}

}  // namespace zorvik
