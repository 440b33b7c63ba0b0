// Loads the settings store into a service's ServiceSettings and into each controller's
// DeviceSettings, with the display lookup and monitor rectangle that go with it. Never fails:
// whatever cannot be read takes its default.
#pragma once

#include <functional>
#include <string_view>

#include "common/service_settings.h"
#include "common/settings_store.h"

namespace zorvik {

class SettingsLoader {
 public:
  // `primary` is the primary screen's size (SM_CXSCREEN, SM_CYSCREEN), `origin` the virtual
  // desktop's top-left corner.
  SettingsLoader(SettingsStore& store, ServiceKind kind, ScreenSize primary,
                 DesktopOrigin origin = {});

  // General, then MPControl (USB service only), then MonitorMaps.
  ServiceSettings LoadService() const;

  // One controller, identified by its device interface path (USB) or "COM%d" (serial): copy the
  // service values, find the display, read its rectangle, call `reopen_ack` (the caller re-opens
  // its click-acknowledgement event there), then read the display's mapping.
  void LoadDevice(const ServiceSettings& service, std::string_view identity, DeviceSettings& device,
                  const std::function<void()>& reopen_ack = {}) const;

  // First display, in display order, that lists the identity among its devices; −1 for none.
  int FindDisplayIndex(std::string_view identity) const;
  // Left, top, right, bottom of a display; the primary screen when its key is absent.
  MonitorRect ReadMonitorRect(int display_index) const;
  // The display's offsets, zooms and calibration. When General cannot be opened the offsets are
  // 0, the zooms 100 % and the calibration keeps its previous values.
  void ReadMonitorMapping(int display_index, MonitorMapping& mapping) const;

 private:
  void LoadGeneral(ServiceSettings& settings) const;
  void LoadMpControl(ServiceSettings& settings) const;
  void LoadMonitorMaps(ServiceSettings& settings) const;

  SettingsStore& store_;
  ServiceKind kind_;
  ScreenSize primary_;
  DesktopOrigin origin_;
};

}  // namespace zorvik
