// Serlink's process object.
#include "serialsvc/win32/serial_service_app_win32.h"

#include "common/decimal_text.h"
#include "common/kernel_object_names.h"
#include "common/registry_batch_writer.h"
#include "common/settings_access.h"
#include "common/settings_loader.h"
#include "common/settings_schema.h"

namespace zorvik {
namespace {

constexpr DWORD kBaudRate = 115200;
constexpr DWORD kIdleCheckMs = 2000;
constexpr int kLastPort = 100;
constexpr int kQueryRounds = 2;

// The same names everywhere; on NT-family systems all but BEEP carry a null DACL.
constexpr ControlEventNames kEventNames = {{
    {names::kSerialBeepEvent, names::kSerialBeepEvent, false},
    {names::kSerialSetupChangeEvent, names::kSerialSetupChangeEvent, true},
    {names::kSerialRescanEvent, names::kSerialRescanEvent, true},
    {names::kSerialExitEvent, names::kSerialExitEvent, true},
    {names::kSerialClickChangeEvent, names::kSerialClickChangeEvent, true},
}};

// How often the exit looks for a failure box of the worker to close while it waits for it.
constexpr DWORD kWorkerPollMs = 100;

BOOL CALLBACK CloseFailureBox(HWND window, LPARAM) {
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

std::string PortName(int number) {
  return schema::NumberedName(names::kComPortFormat, number);
}

}  // namespace

SerialServiceApp::SerialServiceApp()
    : primary_{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)} {}

SerialServiceApp::~SerialServiceApp() {
  {
    FailureReports ignored;  // the service is ending: nobody would answer a box
    std::lock_guard lock(device_lock_);
    CloseAll(ignored);
  }
  if (section_view_ != nullptr) UnmapViewOfFile(section_view_);
}

void SerialServiceApp::Run() {
  version_ = ReadSystemVersion();
  if (!CreateControlEvents(version_, kEventNames, events_)) return;
  worker_stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  worker_.reset(CreateThread(nullptr, 0, &SerialServiceApp::WorkerThread, this, 0, &worker_id_));
  if (worker_) SetThreadPriority(worker_.get(), THREAD_PRIORITY_BELOW_NORMAL);
  RunControlLoop(events_, [this](ControlEvent event) {
    switch (event) {
      case kBeepEvent:
        Beep(static_cast<DWORD>(settings_.TickFreq), static_cast<DWORD>(settings_.Ticklength));
        break;
      case kSetupChangeEvent:
      case kClickChangeEvent:
        LoadSettings();
        break;
      case kRescanEvent:
        rescan_requested_ = true;
        break;
      case kExitEvent:
        ShutDown();
        return false;
    }
    return true;
  });
}

void SerialServiceApp::LoadSettings() {
  const SettingsLoader loader(store_, ServiceKind::kSerial, primary_);
  const ServiceSettings loaded = loader.LoadService();
  settings_ = loaded;
  std::lock_guard lock(device_lock_);
  for (const auto& device : devices_) {
    DeviceSettings settings = device->decoder().settings();
    loader.LoadDevice(loaded, PortName(device->port_number()), settings,
                      [&] { device->ReopenClickAck(); });
    device->decoder().ApplySettings(settings);
  }
  std::vector<int> served;
  for (const auto& device : devices_)
    served.push_back(device->port_number());
  captures_.BeginIfAsked(served);
}

// The worker is stopped first: a rebuild it has not begun never begins, one under way ends at
// its next step, and nothing is opened again after the ports are closed here.
void SerialServiceApp::ShutDown() {
  running_ = false;
  if (worker_stop_) SetEvent(worker_stop_.get());
  StopWorker();
  {
    FailureReports ignored;  // the service is ending: nobody would answer a box
    std::lock_guard lock(device_lock_);
    CloseAll(ignored);
  }
  CloseControlEventsAtExit(events_);
  mouse_device_.reset();
}

void SerialServiceApp::StopWorker() {
  if (!worker_) return;
  while (WaitForSingleObject(worker_.get(), kWorkerPollMs) == WAIT_TIMEOUT)
    EnumThreadWindows(worker_id_, &CloseFailureBox, 0);
  worker_.reset();
}

DWORD WINAPI SerialServiceApp::WorkerThread(void* self) {
  static_cast<SerialServiceApp*>(self)->Work();
  return 0;
}

bool SerialServiceApp::Rest(DWORD ms) {
  if (worker_stop_) return WaitForSingleObject(worker_stop_.get(), ms) == WAIT_TIMEOUT;
  Sleep(ms);
  return running_;
}

void SerialServiceApp::Work() {
  while (running_) {
    if (!rescan_requested_) {
      Rest(kIdleCheckMs);
      continue;
    }
    FailureReports reports;
    Rebuild(reports);
    reports.Show(running_);
    if (!Rest(100)) break;
    SetEvent(events_[kSetupChangeEvent].get());  // the main thread loads settings into the devices
    rescan_requested_ = false;  // a request made during the rebuild is served by it
  }
}

void SerialServiceApp::Rebuild(FailureReports& reports) {
  std::lock_guard lock(device_lock_);
  if (!running_) return;  // the exit came first
  CloseAll(reports);
  if (first_start_) {
    if (!Rest(1500)) return;
    ReopenFromList(reports);
    first_start_ = false;
    return;
  }
  if (!Rest(10)) return;
  FullScan(reports);
  if (!Rest(1000)) return;  // the controllers answer the query meanwhile
  RewriteList(reports);
}

bool SerialServiceApp::OpenMouseDevice() {
  if (!version_.nt_family()) return true;
  mouse_device_.reset();  // closed before it is opened again
  mouse_device_.reset(CreateFileA(names::kVirtualMouseDevice, GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  return static_cast<bool>(mouse_device_);
}

void SerialServiceApp::FullScan(FailureReports& reports) {
  if (!OpenMouseDevice()) return;
  for (int number = 1; number <= kLastPort && running_; ++number)
    BringUp(number, reports);
}

void SerialServiceApp::ReopenFromList(FailureReports& reports) {
  if (!OpenMouseDevice()) return;
  const ScopedKey list = OpenKey(store_, store_.LocalMachine(), schema::kSerialActiveKey);
  if (!list) return;
  const std::int32_t count = ReadInt(store_, list.get(), schema::kNextInstanceCount).value_or(0);
  for (int k = 0; k < count && k < schema::kMaxNumberedNames && running_; ++k) {
    const ScopedKey entry =
        OpenKey(store_, list.get(), schema::NumberedName(schema::kSerialDeviceSubkeyFormat, k));
    if (!entry) continue;
    const auto port = ReadText(store_, entry.get(), schema::kComId);
    if (!port) continue;
    BringUp(AtoiRule(port->view()), reports);
  }
}

void SerialServiceApp::BringUp(int port_number, FailureReports& reports) {
  const SerialServiceContext context{events_[kBeepEvent].get(),
                                     &mouse_device_,
                                     version_.nt_family() ? Platform::kNt : Platform::kOther,
                                     primary_,
                                     &section_view_,
                                     &section_lock_};
  auto device = std::make_unique<SerialTouchDevice>(context, port_number);
  if (device->OpenPort(PortName(port_number).c_str(), 0, 0, false) != serial_result::kSuccess)
    return;  // missing or in use: skipped silently
  reports.AddIfFailed(device->ConfigureLine(kBaudRate, 8, NOPARITY, ONESTOPBIT),
                      "Serial Setup Error");
  reports.AddIfFailed(device->SetEventMask(EV_RXCHAR), "Serial Setup Mask Error");
  SerialTouchDevice& added = *device;
  devices_.push_back(std::move(device));
  reports.AddIfFailed(added.PurgeBuffers(), "Serial Purge Error");
  OpenSharedSection(section_, section_view_, names::kSerialSection, kSerialPointFrameSize);
  added.set_capture(captures_.For(port_number));
  reports.AddIfFailed(added.StartListening(), "Serial StartListener Error");
  Sleep(10);
  // A port whose data does not drain gets no further round.
  for (int round = 0; round < kQueryRounds && added.SendCommand(1, 0); ++round)
    Sleep(1);
}

void SerialServiceApp::RewriteList(FailureReports& reports) {
  if (const ScopedKey root = OpenKey(store_, store_.LocalMachine(), schema::kRootKey)) {
    if (version_.nt_family()) {
      DeleteKeyTree(store_, root.get(), schema::kSerialActive);
    } else {
      store_.DeleteKey(root.get(), schema::kSerialActive);
    }
  }
  std::erase_if(devices_, [this, &reports](const std::unique_ptr<SerialTouchDevice>& device) {
    if (device->decoder().answered()) return false;
    Close(*device, reports);
    return true;
  });
  // A key that cannot be created ends the rewrite; the devices keep running. (The writer's
  // destructor writes the batch and keeps its error to itself.)
  RegistryBatchWriter writer(store_, store_.LocalMachine(), schema::kSerialActiveKey);
  for (std::size_t k = 0; k < devices_.size(); ++k) {
    const std::string subkey =
        schema::NumberedName(schema::kSerialDeviceSubkeyFormat, static_cast<int>(k)) + "\\";
    SerialTouchDevice& device = *devices_[k];
    writer.SetInteger(subkey + schema::kComId, device.port_number());
    writer.SetText(subkey + schema::kDeviceActive, schema::kDeviceActiveYes);
    writer.SetText(subkey + schema::kFirmwareVersion, device.decoder().firmware());
    writer.SetText(subkey + schema::kDeviceId, device.decoder().device_id());
  }
  if (const ScopedKey list = CreateKey(store_, store_.LocalMachine(), schema::kSerialActiveKey)) {
    WriteDword(store_, list.get(), schema::kNextInstanceCount, static_cast<DWORD>(devices_.size()));
  }
}

void SerialServiceApp::Close(SerialTouchDevice& device, FailureReports& reports) {
  reports.AddIfFailed(device.StopListening(INFINITE), "Serial Stop Listener Error");
  reports.AddIfFailed(device.ClosePort(), "Serial Close Error");
}

void SerialServiceApp::CloseAll(FailureReports& reports) {
  for (const auto& device : devices_)
    Close(*device, reports);
  devices_.clear();
}

}  // namespace zorvik
