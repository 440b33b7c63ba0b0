// Serlink's process object.
#include "serialsvc/win32/serial_service_app_win32.h"

#include "common/decimal_text.h"
#include "common/device_lists.h"
#include "common/kernel_object_names.h"
#include "common/settings_access.h"
#include "common/settings_loader.h"
#include "common/settings_schema.h"

namespace zorvik {
namespace {

constexpr DWORD kBaudRate = 115200;
constexpr DWORD kIdleCheckMs = 2000;
constexpr int kLastPort = 100;
constexpr int kQueryRounds = 2;
// The first rebuild waits this long before it reopens the listed ports; later ones wait the
// short delay before probing every port, and the answer window after it.
constexpr DWORD kFirstStartDelayMs = 1500;
constexpr DWORD kScanDelayMs = 10;
constexpr DWORD kAnswerWindowMs = 1000;
// Between a rebuild and the settings load it asks for.
constexpr DWORD kAfterRebuildMs = 100;
// A listener just started gets this long before the first query; query rounds this long apart.
constexpr DWORD kListenerStartMs = 10;
constexpr DWORD kQueryRoundGapMs = 1;
// Serlink opens the virtual mouse without sharing it.
constexpr DWORD kMouseShareMode = 0;

// How often the exit looks for a failure box of the worker to close while it waits for it.
constexpr DWORD kWorkerPollMs = 100;

BOOL CALLBACK CloseFailureBox(HWND window, LPARAM) {
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

}  // namespace

SerialServiceApp::SerialServiceApp()
    : primary_{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)} {}

SerialServiceApp::~SerialServiceApp() {
  FailureReports ignored;  // the service is ending: nobody would answer a box
  std::lock_guard lock(device_lock_);
  CloseAll(devices_, ignored);
}

void SerialServiceApp::Run() {
  version_ = ReadSystemVersion();
  if (!CreateControlEvents(version_, kSerialControlEvents, events_)) return;
  worker_.Start([this] { Work(); }, THREAD_PRIORITY_BELOW_NORMAL);
  RunControlLoop(events_,
                 ControlActions{[this] { Tick(); }, [this] { LoadSettings(); },
                                [this] { rescan_requested_ = true; }, [this] { ShutDown(); }});
}

// Serlink plays its tick through the system Beep call on every system.
void SerialServiceApp::Tick() {
  Beep(static_cast<DWORD>(settings_.TickFreq), static_cast<DWORD>(settings_.Ticklength));
}

void SerialServiceApp::LoadSettings() {
  const SettingsLoader loader(store_, ServiceKind::kSerial, primary_, VirtualDesktopOrigin());
  const ServiceSettings loaded = loader.LoadService();
  settings_ = loaded;
  std::lock_guard lock(device_lock_);
  if (rebuilding_) {
    load_deferred_ = true;
    return;
  }
  ApplyDeviceSettings(loader, loaded, std::span<const std::unique_ptr<SerialTouchDevice>>(devices_),
                      captures_);
}

// The worker is stopped first: a rebuild it has not begun never begins, one under way ends at
// its next step, and nothing is opened again after the ports are closed here.
void SerialServiceApp::ShutDown() {
  worker_.RequestStop();
  StopWorker();
  {
    FailureReports ignored;  // the service is ending: nobody would answer a box
    std::lock_guard lock(device_lock_);
    CloseAll(devices_, ignored);
  }
  CloseAtExit(events_, mouse_device_);
}

void SerialServiceApp::StopWorker() {
  worker_.Join(kWorkerPollMs,
               [](DWORD thread_id) { EnumThreadWindows(thread_id, &CloseFailureBox, 0); });
}

bool SerialServiceApp::Rest(DWORD ms) {
  return worker_.Pause(ms);
}

void SerialServiceApp::Work() {
  while (worker_.running()) {
    if (!rescan_requested_) {
      Rest(kIdleCheckMs);
      continue;
    }
    FailureReports reports;
    Rebuild(reports);
    reports.Show(worker_.running_flag());
    if (!Rest(kAfterRebuildMs)) break;
    SetEvent(events_[kSetupChangeEvent].get());  // the main thread loads settings into the devices
    rescan_requested_ = false;  // a request made during the rebuild is served by it
  }
}

void SerialServiceApp::Rebuild(FailureReports& reports) {
  DeviceList devices;
  {
    std::lock_guard lock(device_lock_);
    if (!worker_.running()) return;  // the exit came first
    rebuilding_ = true;
    devices.swap(devices_);
  }
  CloseAll(devices, reports);
  BuildList(devices, reports);
  Publish(devices);
}

void SerialServiceApp::BuildList(DeviceList& devices, FailureReports& reports) {
  if (first_start_) {
    if (!Rest(kFirstStartDelayMs)) return;
    ReopenFromList(devices, reports);
    first_start_ = false;
    return;
  }
  if (!Rest(kScanDelayMs)) return;
  FullScan(devices, reports);
  if (!Rest(kAnswerWindowMs)) return;  // the controllers answer the query meanwhile
  RewriteList(devices, reports);
}

void SerialServiceApp::Publish(DeviceList& devices) {
  bool load_again = false;
  {
    std::lock_guard lock(device_lock_);
    devices_.swap(devices);
    rebuilding_ = false;
    load_again = std::exchange(load_deferred_, false);
  }
  if (load_again) SetEvent(events_[kSetupChangeEvent].get());
}

bool SerialServiceApp::OpenMouseDevice() {
  return ReopenVirtualMouse(mouse_device_, version_, kMouseShareMode);
}

void SerialServiceApp::FullScan(DeviceList& devices, FailureReports& reports) {
  if (!OpenMouseDevice()) return;
  for (int number = 1; number <= kLastPort && worker_.running(); ++number)
    BringUp(number, devices, reports);
}

void SerialServiceApp::ReopenFromList(DeviceList& devices, FailureReports& reports) {
  if (!OpenMouseDevice()) return;
  const ScopedKey list =
      OpenKey(store_, store_.LocalMachine(), schema::kSerialActiveKey, key_rights::kRead);
  if (!list) return;
  const std::int32_t count = ReadInt(store_, list.get(), schema::kNextInstanceCount).value_or(0);
  for (int k = 0; k < count && k < schema::kMaxNumberedNames && worker_.running(); ++k) {
    const ScopedKey entry =
        OpenKey(store_, list.get(), schema::NumberedName(schema::kSerialDeviceSubkeyFormat, k),
                key_rights::kRead);
    if (!entry) continue;
    const auto port = ReadText(store_, entry.get(), schema::kComId);
    if (!port) continue;
    BringUp(AtoiRule(port->view()), devices, reports);
  }
}

void SerialServiceApp::BringUp(int port_number, DeviceList& devices, FailureReports& reports) {
  const SerialServiceContext context{events_[kBeepEvent].get(),
                                     &mouse_device_,
                                     version_.nt_family() ? Platform::kNt : Platform::kOther,
                                     primary_,
                                     &section_view_,
                                     &section_lock_};
  auto device = std::make_unique<SerialTouchDevice>(context, port_number);
  if (device->OpenPort(device->identity().c_str(), 0, 0, false) != serial_result::kSuccess)
    return;  // missing or in use: skipped silently
  reports.AddIfFailed(device->ConfigureLine(kBaudRate, 8, NOPARITY, ONESTOPBIT),
                      "Serial Setup Error");
  reports.AddIfFailed(device->SetEventMask(EV_RXCHAR), "Serial Setup Mask Error");
  SerialTouchDevice& added = *device;
  devices.push_back(std::move(device));
  reports.AddIfFailed(added.PurgeBuffers(), "Serial Purge Error");
  OpenSharedSection(section_, section_view_, names::kSerialSection, kSerialPointFrameSize);
  added.set_capture(captures_.For(port_number));
  reports.AddIfFailed(added.StartListening(), "Serial StartListener Error");
  Sleep(kListenerStartMs);
  // A port whose data does not drain gets no further round.
  for (int round = 0; round < kQueryRounds && added.SendCommand(1, 0); ++round)
    Sleep(kQueryRoundGapMs);
}

void SerialServiceApp::RewriteList(DeviceList& devices, FailureReports& reports) {
  DeleteDeviceList(store_, version_.nt_family(), schema::kSerialActive);
  std::erase_if(devices, [this, &reports](const std::unique_ptr<SerialTouchDevice>& device) {
    if (device->pipeline().answered()) return false;
    Close(*device, reports);
    return true;
  });
  // A key that cannot be created ends the rewrite; the devices keep running.
  std::vector<SerialListEntry> entries;
  entries.reserve(devices.size());
  for (const auto& device : devices) {
    entries.push_back(
        {device->port_number(), device->pipeline().firmware(), device->pipeline().device_id()});
  }
  WriteSerialDeviceList(store_, entries);
}

void SerialServiceApp::Close(SerialTouchDevice& device, FailureReports& reports) {
  reports.AddIfFailed(device.StopListening(INFINITE), "Serial Stop Listener Error");
  reports.AddIfFailed(device.ClosePort(), "Serial Close Error");
}

void SerialServiceApp::CloseAll(DeviceList& devices, FailureReports& reports) {
  for (const auto& device : devices)
    Close(*device, reports);
  devices.clear();
}

}  // namespace zorvik
