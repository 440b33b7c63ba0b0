// Serlink's process object.
#include "serialsvc/win32/serial_service_app_win32.h"

#include <cstdio>

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
constexpr DWORD kSleepStepMs = 100;
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

// The system's text for `code`, in a box with `caption`; the program goes on afterwards.
void ReportFailure(const char* caption, DWORD code) {
  char text[512] = {};
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr) == 0) {
    std::snprintf(text, sizeof text, "Error %lu", static_cast<unsigned long>(code));
  }
  MessageBoxA(nullptr, text, caption, MB_ICONINFORMATION);
}

void ReportIfFailed(DWORD result, const char* caption) {
  if (result != serial_result::kSuccess) ReportFailure(caption, result);
}

std::string PortName(int number) {
  return schema::NumberedName(names::kComPortFormat, number);
}

}  // namespace

SerialServiceApp::SerialServiceApp()
    : primary_{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)} {}

SerialServiceApp::~SerialServiceApp() {
  {
    std::lock_guard lock(device_lock_);
    CloseAll();
  }
  if (section_view_ != nullptr) UnmapViewOfFile(section_view_);
}

void SerialServiceApp::Run() {
  version_ = ReadSystemVersion();
  if (!CreateControlEvents(version_, kEventNames, events_)) return;
  worker_.reset(CreateThread(nullptr, 0, &SerialServiceApp::WorkerThread, this, 0, nullptr));
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
}

void SerialServiceApp::ShutDown() {
  {
    std::lock_guard lock(device_lock_);
    CloseAll();
  }
  running_ = false;
  if (worker_) WaitForSingleObject(worker_.get(), INFINITE);
  worker_.reset();
  CloseControlEventsAtExit(events_);
  mouse_device_.reset();
}

DWORD WINAPI SerialServiceApp::WorkerThread(void* self) {
  static_cast<SerialServiceApp*>(self)->Work();
  return 0;
}

void SerialServiceApp::Work() {
  while (running_) {
    if (!rescan_requested_) {
      // The idle check, in steps so that the exit does not wait a whole period.
      for (DWORD slept = 0; slept < kIdleCheckMs && running_; slept += kSleepStepMs)
        Sleep(kSleepStepMs);
      continue;
    }
    Rebuild();
    Sleep(100);
    SetEvent(events_[kSetupChangeEvent].get());  // the main thread loads settings into the devices
    rescan_requested_ = false;  // a request made during the rebuild is served by it
  }
}

void SerialServiceApp::Rebuild() {
  std::lock_guard lock(device_lock_);
  CloseAll();
  if (first_start_) {
    Sleep(1500);
    ReopenFromList();
    first_start_ = false;
    return;
  }
  Sleep(10);
  FullScan();
  Sleep(1000);  // the controllers answer the query meanwhile
  RewriteList();
}

bool SerialServiceApp::OpenMouseDevice() {
  if (!version_.nt_family()) return true;
  mouse_device_.reset();  // closed before it is opened again
  mouse_device_.reset(CreateFileA(names::kVirtualMouseDevice, GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  return static_cast<bool>(mouse_device_);
}

void SerialServiceApp::FullScan() {
  if (!OpenMouseDevice()) return;
  for (int number = 1; number <= kLastPort; ++number)
    BringUp(number);
}

void SerialServiceApp::ReopenFromList() {
  if (!OpenMouseDevice()) return;
  const ScopedKey list = OpenKey(store_, store_.LocalMachine(), schema::kSerialActiveKey);
  if (!list) return;
  const std::int32_t count = ReadInt(store_, list.get(), schema::kNextInstanceCount).value_or(0);
  for (int k = 0; k < count && k < schema::kMaxNumberedNames; ++k) {
    const ScopedKey entry =
        OpenKey(store_, list.get(), schema::NumberedName(schema::kSerialDeviceSubkeyFormat, k));
    if (!entry) continue;
    const auto port = ReadText(store_, entry.get(), schema::kComId);
    if (!port) continue;
    BringUp(AtoiRule(port->view()));
  }
}

void SerialServiceApp::BringUp(int port_number) {
  const SerialServiceContext context{events_[kBeepEvent].get(),
                                     &mouse_device_,
                                     version_.nt_family() ? Platform::kNt : Platform::kOther,
                                     primary_,
                                     &section_view_,
                                     &section_lock_};
  auto device = std::make_unique<SerialTouchDevice>(context, port_number);
  if (device->OpenPort(PortName(port_number).c_str(), 0, 0, false) != serial_result::kSuccess)
    return;  // missing or in use: skipped silently
  ReportIfFailed(device->ConfigureLine(kBaudRate, 8, NOPARITY, ONESTOPBIT), "Serial Setup Error");
  ReportIfFailed(device->SetEventMask(EV_RXCHAR), "Serial Setup Mask Error");
  SerialTouchDevice& added = *device;
  devices_.push_back(std::move(device));
  ReportIfFailed(added.PurgeBuffers(), "Serial Purge Error");
  OpenSharedSection(section_, section_view_, names::kSerialSection, kSerialPointFrameSize);
  ReportIfFailed(added.StartListening(), "Serial StartListener Error");
  Sleep(10);
  for (int round = 0; round < kQueryRounds; ++round) {
    added.SendCommand(1, 0);
    Sleep(1);
  }
}

void SerialServiceApp::RewriteList() {
  if (const ScopedKey root = OpenKey(store_, store_.LocalMachine(), schema::kRootKey)) {
    if (version_.nt_family()) {
      DeleteKeyTree(store_, root.get(), schema::kSerialActive);
    } else {
      store_.DeleteKey(root.get(), schema::kSerialActive);
    }
  }
  std::erase_if(devices_, [this](const std::unique_ptr<SerialTouchDevice>& device) {
    if (device->decoder().answered()) return false;
    Close(*device);
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

void SerialServiceApp::Close(SerialTouchDevice& device) {
  ReportIfFailed(device.StopListening(INFINITE), "Serial Stop Listener Error");
  ReportIfFailed(device.ClosePort(), "Serial Close Error");
}

void SerialServiceApp::CloseAll() {
  for (const auto& device : devices_)
    Close(*device);
  devices_.clear();
}

}  // namespace zorvik
