// CInfoSetting, the "Information" page: the release line, the maker's web site as a link and a
// fixed notice. It reads and writes no settings and signals nothing.
#pragma once

#include "panel/win32/link_button_win32.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CInfoSetting final : public PropertyPage {
 public:
  static constexpr char kWebAddress[] = "http://www.meridax.example/";
  static const char kNotice[];

  CInfoSetting();

 protected:
  BOOL OnInitDialog() override;

 private:
  CLinkButton link_;
};

}  // namespace zorvik::panel
