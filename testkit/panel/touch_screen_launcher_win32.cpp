// touch_screen_launcher: the touch screen dialog for the system tests, and a writer of the
// multi-touch sections standing in for a hostile or broken peer.
//   touch_screen_launcher open MODE MULTI [noevents]
//       opens the four service events as the panel does, runs CTouchScreenDlg modally and, as
//       its opener does after a calibration, sets both setup-change events; prints {"result":N}.
//   touch_screen_launcher sections STATE ROWS COLS NX NY MS
//       creates the two sections and the point event, writes the counts as given (the whole
//       grid and every cell marked touched), and sets the event every 100 ms for MS ms.
//   touch_screen_launcher text-mask TEXT
//       TEXT as a window's device context draws it with its default font: the pixels it sets,
//       a row of '#' and '.' per line, to compare with a screenshot of the views.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"
#include "panel/touch_view_model.h"
#include "panel/win32/touch_screen_dlg_win32.h"

namespace {

using namespace zorvik;

int Open(int mode, int multi_point, bool with_events) {
  RegistrySettingsStore store;
  panel::ServiceEvents events;
  if (with_events) events.Open();
  const panel::ServiceEventPointers pointers =
      with_events ? events.Pointers() : panel::ServiceEventPointers{};
  panel::CTouchScreenDlg dialog(store, mode, multi_point, pointers);
  const INT_PTR result = dialog.DoModal(nullptr);
  if (mode == panel::CTouchScreenDlg::kCalibrationMode) {
    panel::SetServiceEvent(pointers.usb_setup_change);
    panel::SetServiceEvent(pointers.serial_setup_change);
  }
  std::printf("{\"result\":%d}\n", static_cast<int>(result));
  return 0;
}

void Put(std::uint8_t* at, std::uint32_t value, int bytes) {
  std::memcpy(at, &value, bytes);  // little-endian, as the sections are
}

int WriteSections(std::uint32_t state, std::uint32_t rows, std::uint32_t cols, std::uint32_t nx,
                  std::uint32_t ny, DWORD ms) {
  ScopedKernelHandle point_section, cell_section;
  std::uint8_t* points = nullptr;
  std::uint8_t* cells = nullptr;
  OpenSharedSection(point_section, points, names::kPointSection, panel::kPointSectionBytes);
  OpenSharedSection(cell_section, cells, names::kRawCellSection, panel::kRawCellSectionBytes);
  NullDaclSecurity security;
  const ScopedKernelHandle event(CreateEventA(security.get(), FALSE, FALSE, names::kPointEventAll));
  if (points == nullptr || cells == nullptr || !event) {
    std::fprintf(stderr, "touch_screen_launcher: cannot create the sections or the event\n");
    return 1;
  }
  for (std::size_t r = 0; r < panel::kGridRows; ++r) {
    for (std::size_t c = 0; c < panel::kGridColumns; ++c) {
      std::uint8_t* record = points + point_section::RecordOffset(r, c);
      Put(record + point_section::kStatusAt, 1, 2);
      Put(record + point_section::kWidthAt, 30, 2);
      Put(record + point_section::kHeightAt, 30, 2);
      Put(record + point_section::kXAt, static_cast<std::uint32_t>(c * 10), 2);
      Put(record + point_section::kYAt, static_cast<std::uint32_t>(r * 7), 2);
    }
  }
  Put(points + point_section::kFrameStatusAt, state, 4);
  Put(points + point_section::kCandidateCountAt, rows, 4);
  Put(points + point_section::kRowsAt, rows, 4);
  Put(points + point_section::kColumnsAt, cols, 4);
  Put(cells + raw_cell_section::kCountAt, nx + ny, 2);
  Put(cells + raw_cell_section::kXCellsAt, nx, 2);
  Put(cells + raw_cell_section::kYCellsAt, ny, 2);
  std::memset(cells + raw_cell_section::kLevelsAt, 100, raw_cell_section::kMaxLevels);
  std::printf("{\"written\":true}\n");
  const DWORD start = GetTickCount();
  do {
    SetEvent(event.get());
    Sleep(100);
  } while (GetTickCount() - start < ms);
  UnmapViewOfFile(points);
  UnmapViewOfFile(cells);
  return 0;
}

int TextMask(const char* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  SIZE size{};
  const int length = static_cast<int>(std::strlen(text));
  GetTextExtentPoint32A(dc, text, length, &size);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const ScopedGdiObject<HBITMAP> bitmap(
      CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return 1;
  HGDIOBJ old = SelectObject(dc, bitmap.get());
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, 0, 0, text, length);
  GdiFlush();
  std::printf("{\"w\":%ld,\"h\":%ld,\"rows\":[", size.cx, size.cy);
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (long y = 0; y < size.cy; ++y) {
    std::printf("%s\"", y == 0 ? "" : ",");
    for (long x = 0; x < size.cx; ++x) {
      std::printf("%c", (pixels[y * size.cx + x] & 0xFFFFFF) != 0 ? '#' : '.');
    }
    std::printf("\"");
  }
  std::printf("]}\n");
  SelectObject(dc, old);
  DeleteDC(dc);
  return 0;
}

std::uint32_t Number(const char* text) {
  return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0));
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc >= 4 && std::strcmp(argv[1], "open") == 0) {
    return Open(std::atoi(argv[2]), std::atoi(argv[3]),
                !(argc >= 5 && std::strcmp(argv[4], "noevents") == 0));
  }
  if (argc >= 8 && std::strcmp(argv[1], "sections") == 0) {
    return WriteSections(Number(argv[2]), Number(argv[3]), Number(argv[4]), Number(argv[5]),
                         Number(argv[6]), Number(argv[7]));
  }
  if (argc >= 3 && std::strcmp(argv[1], "text-mask") == 0) return TextMask(argv[2]);
  std::fprintf(stderr,
               "usage: touch_screen_launcher open MODE MULTI [noevents] | "
               "sections STATE ROWS COLS NX NY MS | text-mask TEXT\n");
  return 2;
}
