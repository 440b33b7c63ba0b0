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

ServiceApp::ServiceApp() : primary_{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)} {}

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
}

// Stop, wait 1 s, start, wait 0.1 s: one restart, never overlapping another.
void ServiceApp::Restart() {
  {
    std::lock_guard lock(restart_lock_);
    StopDevices();
    Sleep(1000);
    StartDevices();
  }
  Sleep(100);
}

void ServiceApp::Rescan() {
  Restart();
  LoadSettings();
}

void ServiceApp::ShutDown() {
  {
    std::lock_guard lock(restart_lock_);
    StopDevices();
  }
  watcher_running_ = false;
  if (watcher_) WaitForSingleObject(watcher_.get(), INFINITE);
  watcher_.reset();
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
  Sleep(1500);
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
      if (attempt++ == kOpenAttempts) return;  // the rest are not started
      Sleep(5000);
    }
    UsbController& started = *controller;
    controllers_.push_back(std::move(controller));
    ++started_count_;
    if (const ScopedKey key =
            CreateKey(store_, store_.LocalMachine(),
                      schema::NumberedName(schema::kUsbDeviceKeyFormat, number))) {
      WriteText(store_, key.get(), schema::kUsbId, paths[k]);
    }
    started.StartReader();
    Sleep(1000);
    started.device().SendDeviceQuery();
    Sleep(100);
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
    const std::size_t present = EnumerateControllers().size();
    if (present != started_count_) {
      Restart();
      SetEvent(events_[kSetupChangeEvent].get());
    }
    // Sleep in steps, so that shut-down does not wait a whole period.
    for (int step = 0; step < 20 && watcher_running_; ++step)
      Sleep(100);
  }
}

}  // namespace zorvik
