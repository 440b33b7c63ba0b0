// CMultiPointCtrl, the "Multipoint Touch" page: the accepted X and Y touch sizes (two range
// sliders, each with a start and an end field), allow or exclude, the multi-touch options,
// pressure and velocity; eleven MPControl values written at Apply.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "common/settings_store.h"
#include "panel/multipoint_page_model.h"
#include "panel/panel_resources.h"
#include "panel/win32/property_page_win32.h"
#include "panel/win32/range_slider_win32.h"

namespace zorvik::panel {

class CMultiPointCtrl final : public PropertyPage {
 public:
  explicit CMultiPointCtrl(SettingsStore& store);

 protected:
  BOOL OnInitDialog() override;
  void OnApply() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  CRangeSlider& SliderOf(int slider_id);
  void ShowNumber(int field_id, std::int32_t value);
  std::optional<std::int32_t> FieldNumber(int field_id) const;
  void OnRangeChanged();
  void OnRangeFieldChanged(const RangeField& field);

  SettingsStore& store_;
  MultiPointValues values_;
  std::array<CRangeSlider, 2> sliders_;  // X (1074), Y (1075)
  // Set while the page writes its own fields: those are not the user's typing.
  bool quiet_ = false;
};

}  // namespace zorvik::panel
