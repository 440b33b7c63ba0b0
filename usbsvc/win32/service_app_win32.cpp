// Usblink's process object.
#include "usbsvc/win32/service_app_win32.h"

#include <winioctl.h>

#include "common/device_lists.h"
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
// A restart: stop, a gap, start, a settle time before the settings load.
constexpr DWORD kRestartGapMs = 1000;
constexpr DWORD kRestartSettleMs = 100;
// Between counting the controllers and opening them.
constexpr DWORD kStartDelayMs = 1500;
// A controller's reader runs this long before the device query, and the query this long before
// the next controller.
constexpr DWORD kQueryDelayMs = 1000;
constexpr DWORD kAfterQueryMs = 100;
// Usblink shares the virtual mouse with its peers.
constexpr DWORD kMouseShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct BeepSetParameters {
  ULONG frequency;
  ULONG duration;
};

}  // namespace

void RestartTurns::Take() {
  std::unique_lock lock(lock_);
  given_.wait(lock, [this] { return !taken_; });
  taken_ = true;
}

void RestartTurns::Give() {
  {
    std::lock_guard lock(lock_);
    taken_ = false;
  }
  given_.notify_one();
}

ServiceApp::ServiceApp() : primary_{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)} {}

ServiceApp::~ServiceApp() {
  StopDevices();
}

int ServiceApp::Run() {
  version_ = ReadSystemVersion();
  if (!CreateControlEvents(version_, kUsbControlEvents, events_)) return 0;
  DeleteDeviceList(store_, version_.nt_family(), schema::kUsbActive);
  if (version_.major > 5 && !OpenBeepDevice()) return 1;
  watcher_.Start([this] { Watch(); });
  RunControlLoop(events_, ControlActions{[this] { Tick(); }, [this] { LoadSettings(); },
                                         [this] { Rescan(); }, [this] { ShutDown(); }});
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
  const SettingsLoader loader(store_, ServiceKind::kUsb, primary_, VirtualDesktopOrigin());
  const ServiceSettings loaded = loader.LoadService();
  std::lock_guard lock(devices_lock_);
  settings_ = loaded;
  if (restarting_) return;
  ApplyDeviceSettings(loader, loaded, std::span<const std::unique_ptr<UsbController>>(controllers_),
                      captures_);
}

// Stop, wait 1 s, start, wait 0.1 s: one restart per turn. The watcher saw the count before its
// turn: it may have been a rescan's half-built list, and shut-down may have begun while the
// watcher waited. Both are checked again within the turn.
bool ServiceApp::Restart(RestartReason reason) {
  restart_turns_.Take();
  const bool needed =
      reason == RestartReason::kRescan || (watcher_.running() && !watcher_.Stopping() &&
                                           EnumerateControllers().size() != started_count_);
  const bool completed = needed && StopAndStart();
  restart_turns_.Give();
  return completed && Pause(kRestartSettleMs);
}

bool ServiceApp::StopAndStart() {
  {
    std::lock_guard lock(devices_lock_);
    restarting_ = true;
  }
  StopDevices();
  const bool go_on = Pause(kRestartGapMs);
  if (go_on) StartDevices();
  std::lock_guard lock(devices_lock_);
  restarting_ = false;
  return go_on;
}

void ServiceApp::Rescan() {
  if (Restart(RestartReason::kRescan)) LoadSettings();
}

bool ServiceApp::Pause(DWORD ms) {
  return watcher_.Pause(ms, events_[kExitEvent].get());
}

// The watcher goes first: once it has ended, nothing can start the controllers again.
void ServiceApp::ShutDown() {
  watcher_.RequestStop();
  watcher_.Join();
  StopDevices();
  CloseAtExit(events_, mouse_device_);
  beep_device_.reset();
  if (dos_device_defined_) {
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, names::kBeepDosName, names::kBeepTargetPath);
    dos_device_defined_ = false;
  }
}

void ServiceApp::OpenSections() {
  OpenSharedSection(point_section_, point_view_, names::kPointSection, kPointSectionSize);
  OpenSharedSection(raw_cell_section_, raw_cell_view_, names::kRawCellSection, kRawCellSectionSize);
}

void ServiceApp::StartDevices() {
  const std::vector<std::string> paths = EnumerateControllers();
  started_count_ = paths.size();
  if (!Pause(kStartDelayMs)) return;
  if (!ReopenVirtualMouse(mouse_device_, version_, kMouseShareMode)) return;
  DeleteDeviceList(store_, version_.nt_family(), schema::kUsbActive);
  WriteDeviceCount(store_, schema::kUsbActiveKey, static_cast<std::uint32_t>(paths.size()));
  started_count_ = 0;
  OpenSections();
  const auto view = [](const ScopedMappedView& mapped, std::size_t size) {
    return mapped ? std::span<std::uint8_t>(mapped.bytes(), size) : std::span<std::uint8_t>();
  };
  const ControllerContext context{events_[kBeepEvent].get(),
                                  &mouse_device_,
                                  version_.nt_family() ? Platform::kNt : Platform::kOther,
                                  primary_,
                                  view(point_view_, kPointSectionSize),
                                  view(raw_cell_view_, kRawCellSectionSize),
                                  &section_lock_};
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (!StartController(context, paths[k], static_cast<int>(k) + 1)) return;
  }
}

bool ServiceApp::StartController(const ControllerContext& context, const std::string& path,
                                 int number) {
  auto controller = std::make_unique<UsbController>(context, number, path);
  int attempt = 1;
  while (controller->pipe().Open(path) != pipe_error::kSuccess) {
    // After the last attempt, or on exit, the rest are not started.
    if (attempt++ == kOpenAttempts || !Pause(kOpenRetryMs)) return false;
  }
  UsbController& started = *controller;
  started.set_capture(captures_.For(number));
  {
    std::lock_guard lock(devices_lock_);
    controllers_.push_back(std::move(controller));
  }
  ++started_count_;
  WriteUsbDeviceText(store_, number, schema::kUsbId, path);
  started.StartReader();
  if (!Pause(kQueryDelayMs)) return false;
  started.pipeline().SendDeviceQuery();
  return Pause(kAfterQueryMs);
}

// The controllers leave the list first; stopping a reader waits for its thread, which must not
// happen under the list lock.
void ServiceApp::StopDevices() {
  std::vector<std::unique_ptr<UsbController>> stopping;
  {
    std::lock_guard lock(devices_lock_);
    stopping.swap(controllers_);
  }
  for (const auto& controller : stopping) {
    controller->StopReader();
    controller->pipe().Close();
  }
}

void ServiceApp::Watch() {
  while (watcher_.running()) {
    if (EnumerateControllers().size() != started_count_ && Restart(RestartReason::kCountChanged)) {
      SetEvent(events_[kSetupChangeEvent].get());
    }
    if (!Pause(kWatchPeriodMs)) return;
  }
}

}  // namespace zorvik
