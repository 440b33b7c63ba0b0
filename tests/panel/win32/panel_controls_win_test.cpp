// The custom controls in a real dialog, driven through the system's input queue (SendInput):
// what the parent hears and what the controls paint.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "panel/win32/control_reflection_win32.h"
#include "panel/win32/drawn_slider_win32.h"
#include "panel/win32/link_button_win32.h"
#include "panel/win32/range_slider_win32.h"

namespace zorvik::panel {
namespace {

constexpr int kSliderId = 1074;
constexpr int kLinkId = 1100;
constexpr int kTrackbarId = 1200;
constexpr char kUnknownScheme[] = "zorvik-nowhere:page";

struct Heard {
  int range_changes = 0;
  int link_clicks = 0;
  WPARAM link_id = 0;
} g_heard;

INT_PTR CALLBACK HostProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (ReflectedControl::Reflect(message, wparam, lparam, &result)) {
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
  }
  if (message == CRangeSlider::RangeChangedMessage()) ++g_heard.range_changes;
  if (message == CLinkButton::LinkClickedMessage()) {
    ++g_heard.link_clicks;
    g_heard.link_id = wparam;
  }
  return message == WM_INITDIALOG;
}

// An in-memory dialog template: the three controls created by class name, as resources do.
std::vector<WORD> DialogTemplate() {
  std::vector<WORD> words;
  const auto text = [&words](const char* s) {
    while (*s != '\0')
      words.push_back(static_cast<WORD>(*s++));
    words.push_back(0);
  };
  const auto dwords = [&words](DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  };
  const auto item = [&](DWORD style, WORD id, const char* window_class, const char* caption) {
    if (words.size() % 2 != 0) words.push_back(0);  // items are DWORD-aligned
    dwords(style | WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    dwords(0);
    for (const WORD value : {WORD{0}, WORD{0}, WORD{50}, WORD{12}, id})
      words.push_back(value);
    text(window_class);
    text(caption);
    words.push_back(0);
  };
  dwords(WS_POPUP | WS_VISIBLE);
  dwords(0);
  for (const WORD value : {WORD{3}, WORD{0}, WORD{0}, WORD{200}, WORD{120}})
    words.push_back(value);
  words.insert(words.end(), {0, 0, 0});  // no menu, default class, no title
  item(0, kSliderId, CRangeSlider::kClassName, "");
  item(BS_OWNERDRAW, kLinkId, "Button", "link");
  item(TBS_ENABLESELRANGE | TBS_AUTOTICKS, kTrackbarId, TRACKBAR_CLASSA, "");
  return words;
}

class PanelControls : public ::testing::Test {
 protected:
  void SetUp() override {
    g_heard = {};
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const std::vector<WORD> words = DialogTemplate();
    dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                         reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                         nullptr, HostProc, 0);
    ASSERT_NE(dialog_, nullptr);
    SetWindowPos(dialog_, HWND_TOPMOST, 100, 100, 400, 200, SWP_SHOWWINDOW);
    slider_window_ = GetDlgItem(dialog_, kSliderId);
    MoveWindow(slider_window_, 10, 10, 220, 20, TRUE);  // 15-pixel arrows, 190-pixel track
    MoveWindow(GetDlgItem(dialog_, kLinkId), 10, 50, 150, 20, TRUE);
    MoveWindow(GetDlgItem(dialog_, kTrackbarId), 10, 90, 200, 40, TRUE);
    ASSERT_TRUE(slider_.Attach(slider_window_));
    link_.Attach(GetDlgItem(dialog_, kLinkId));
    drawn_.Attach(GetDlgItem(dialog_, kTrackbarId));
    slider_.SetMinMax(0, 190);
    SetForegroundWindow(dialog_);
    Pump(200);
    g_heard = {};
  }
  void TearDown() override {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
  }

  void Pump(DWORD ms, const std::function<bool()>& done = nullptr) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms && !(done && done())) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog_, &message)) {
          TranslateMessage(&message);
          DispatchMessageA(&message);
        }
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  // Real input: the pointer to a client point of `window`, optionally with a button change.
  void Mouse(HWND window, int x, int y, DWORD button = 0) {
    POINT at{x, y};
    ClientToScreen(window, &at);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = (at.x * 65536 + width - 1) / width;
    input.mi.dy = (at.y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
    ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
    Pump(60);
    POINT cursor{};
    GetCursorPos(&cursor);
    ASSERT_EQ(cursor.x, at.x);
    ASSERT_EQ(cursor.y, at.y);
  }
  void Keys(std::initializer_list<WORD> down_then_up) {
    std::vector<INPUT> inputs;
    for (const bool release : {false, true}) {
      for (const WORD key : down_then_up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
      }
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
    Pump(150);
  }
  void Drag(HWND window, int from_x, int to_x, int y) {
    Mouse(window, from_x, y, MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 4; ++step)
      Mouse(window, from_x + (to_x - from_x) * step / 4, y);
    Mouse(window, to_x, y, MOUSEEVENTF_LEFTUP);
  }
  void ExpectRange(double left, double right) {
    double l = -1;
    double r = -1;
    slider_.GetRange(l, r);
    EXPECT_DOUBLE_EQ(l, left);
    EXPECT_DOUBLE_EQ(r, right);
  }

  // The window's client area as painted into a bitmap (WM_PRINTCLIENT), one pixel at a time.
  std::function<COLORREF(int, int)> Snapshot(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < client.bottom; ++y) {
      for (int x = 0; x < client.right; ++x)
        pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    const int width = client.right;
    return [pixels, width](int x, int y) { return pixels[y * width + x]; };
  }

  bool RowHas(HWND window, int y, COLORREF colour) {
    const auto pixel = Snapshot(window);
    RECT client{};
    GetClientRect(window, &client);
    for (int x = 0; x < client.right; ++x) {
      if (pixel(x, y) == colour) return true;
    }
    return false;
  }

  HWND dialog_ = nullptr;
  HWND slider_window_ = nullptr;
  CRangeSlider slider_;
  CLinkButton link_;
  CDrawnSlider drawn_;
};

TEST_F(PanelControls, RangeSliderClassAndProgrammaticRanges) {
  WNDCLASSA window_class{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), CRangeSlider::kClassName, &window_class));
  EXPECT_EQ(window_class.style, 11u);
  EXPECT_EQ(window_class.hbrBackground, nullptr);
  EXPECT_EQ(SendMessageA(slider_window_, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);

  slider_.SetMinMax(0, 1000);
  slider_.SetRange(1200, 800);
  ExpectRange(1000, 1000);
  EXPECT_EQ(g_heard.range_changes, 1);
  slider_.SetRange(-50, 800);
  ExpectRange(0, 800);
  EXPECT_EQ(g_heard.range_changes, 1);
}

TEST_F(PanelControls, RangeSliderFollowsTheMouse) {
  slider_.SetRange(50, 100);  // left handle [50, 65), bar [65, 115), right handle [115, 130)
  Drag(slider_window_, 57, 77, 10);
  ExpectRange(70, 100);
  EXPECT_GE(g_heard.range_changes, 1);
  EXPECT_EQ(GetFocus(), slider_window_);
  EXPECT_EQ(GetCapture(), nullptr);

  g_heard = {};
  Drag(slider_window_, 110, 400, 10);  // the bar, far past the right end
  ExpectRange(160, 190);
  EXPECT_GE(g_heard.range_changes, 1);

  g_heard = {};
  Mouse(slider_window_, 60, 10);  // a move without a press changes nothing
  Mouse(slider_window_, 30, 10);
  EXPECT_EQ(g_heard.range_changes, 0);
  ExpectRange(160, 190);
}

TEST_F(PanelControls, RangeSliderArrowKeysThroughTheDialog) {
  slider_.SetRange(50, 100);
  Mouse(slider_window_, 20, 10, MOUSEEVENTF_LEFTDOWN);  // an empty spot: focus only
  Mouse(slider_window_, 20, 10, MOUSEEVENTF_LEFTUP);
  ASSERT_EQ(GetFocus(), slider_window_);
  EXPECT_EQ(g_heard.range_changes, 0);

  Keys({VK_RIGHT});
  ExpectRange(51, 101);
  EXPECT_EQ(g_heard.range_changes, 1);
  Keys({VK_SHIFT, VK_RIGHT});
  ExpectRange(51, 102);
  EXPECT_EQ(g_heard.range_changes, 2);
  Keys({VK_CONTROL, VK_RIGHT});
  ExpectRange(51, 102);
  EXPECT_EQ(g_heard.range_changes, 2);
  Keys({VK_LEFT});
  ExpectRange(50, 101);
  EXPECT_EQ(GetFocus(), slider_window_);  // the dialog did not take the arrows
}

TEST_F(PanelControls, RangeSliderPaintsBarAndHandles) {
  slider_.SetRange(50, 100);
  const auto pixel = Snapshot(slider_window_);
  EXPECT_EQ(pixel(90, 10), GetSysColor(COLOR_HIGHLIGHT));  // the bar
  EXPECT_EQ(pixel(52, 10), GetSysColor(COLOR_BTNTEXT));    // the left arrow
  EXPECT_EQ(pixel(125, 10), GetSysColor(COLOR_BTNTEXT));   // the right arrow
  EXPECT_EQ(pixel(5, 2), GetSysColor(COLOR_BTNFACE));
}

// A batch file that leaves a marker when the shell opens it.
struct OpenProbe {
  std::string folder;
  std::string script;
  std::string marker;
  OpenProbe() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder = std::string(temp) + "zorvik_link\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    script = folder + "open.cmd";
    marker = folder + "opened.txt";
    if (FILE* file = std::fopen(script.c_str(), "w")) {
      std::fprintf(file, "@echo opened> \"%s\"\n", marker.c_str());
      std::fclose(file);
    }
  }
  void Reset() const { DeleteFileA(marker.c_str()); }
  bool Opened() const { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }
};

TEST_F(PanelControls, LinkButtonOpensPrefixedAddressOrCaption) {
  const OpenProbe probe;
  probe.Reset();
  const HWND button = link_.Window();
  link_.SetURLPrefix(probe.folder.c_str());
  link_.SetURL("open.cmd");
  Mouse(button, 20, 10);
  Mouse(button, 21, 10);
  ASSERT_NE(CLinkButton::LinkCursor(), nullptr);
  EXPECT_EQ(GetCursor(), CLinkButton::LinkCursor());
  EXPECT_TRUE(RowHas(button, 10, RGB(0, 0, 255))) << "hovered text is drawn in blue";

  Mouse(button, 20, 10, MOUSEEVENTF_LEFTDOWN);
  Mouse(button, 20, 10, MOUSEEVENTF_LEFTUP);
  Pump(10000, [&] { return probe.Opened(); });
  EXPECT_TRUE(probe.Opened());
  EXPECT_EQ(g_heard.link_clicks, 0);

  probe.Reset();  // no address: the caption is opened
  link_.SetURLPrefix("");
  link_.SetURL("");
  SetWindowTextA(button, probe.script.c_str());
  SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kLinkId, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  Pump(10000, [&] { return probe.Opened(); });
  EXPECT_TRUE(probe.Opened());
}

TEST_F(PanelControls, LinkButtonKeysAndFailedOpen) {
  link_.SetURL(kUnknownScheme);
  SetFocus(link_.Window());
  Keys({VK_RETURN});  // reaches the button, not the dialog's default button
  EXPECT_EQ(g_heard.link_clicks, 1);
  EXPECT_EQ(g_heard.link_id, static_cast<WPARAM>(kLinkId));
  EXPECT_TRUE(link_.Visited());

  Keys({VK_SPACE});
  EXPECT_EQ(g_heard.link_clicks, 1) << "releasing Space does not click";

  EXPECT_TRUE(RowHas(link_.Window(), 10, RGB(128, 0, 128))) << "visited text is purple";
}

TEST_F(PanelControls, DrawnSliderAnswersCustomDraw) {
  const HWND trackbar = drawn_.Window();
  HDC memory = CreateCompatibleDC(nullptr);
  NMCUSTOMDRAW draw{};
  draw.hdr = {trackbar, static_cast<UINT_PTR>(kTrackbarId), static_cast<UINT>(NM_CUSTOMDRAW)};
  draw.hdc = memory;
  draw.rc = {0, 0, 11, 21};
  const auto answer = [&](DWORD stage, DWORD_PTR item) {
    draw.dwDrawStage = stage;
    draw.dwItemSpec = item;
    return SendMessageA(dialog_, WM_NOTIFY, kTrackbarId, reinterpret_cast<LPARAM>(&draw));
  };
  EXPECT_EQ(answer(CDDS_PREPAINT, 0), CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(answer(CDDS_ITEMPREPAINT, TBCD_THUMB), CDRF_SKIPDEFAULT);
  EXPECT_EQ(answer(CDDS_ITEMPREPAINT, TBCD_CHANNEL), CDRF_SKIPDEFAULT);
  EXPECT_EQ(answer(CDDS_ITEMPREPAINT, TBCD_TICS), CDRF_DODEFAULT);
  DeleteDC(memory);
}

TEST_F(PanelControls, DrawnSliderPaintsThumbAndChannel) {
  const HWND trackbar = drawn_.Window();
  SendMessageA(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
  SendMessageA(trackbar, TBM_SETSEL, TRUE, MAKELPARAM(20, 60));
  SendMessageA(trackbar, TBM_SETPOS, TRUE, 80);
  RECT thumb{};
  RECT channel{};
  SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  SendMessageA(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int middle = (channel.top + channel.bottom) / 2;
  const int selected_x = channel.left + (channel.right - channel.left) * 40 / 100;
  const int free_x = channel.left + (channel.right - channel.left) * 70 / 100;

  auto pixel = Snapshot(trackbar);
  EXPECT_EQ(pixel(thumb.left + 3, thumb.top + 3), face);
  EXPECT_EQ(pixel(thumb.right - 2, (thumb.top + thumb.bottom) / 2), CDrawnSlider::Shade(face, -1));
  EXPECT_EQ(pixel(selected_x, middle), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(pixel(free_x, middle), GetSysColor(COLOR_WINDOW));
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
  EXPECT_EQ(pixel(free_x, channel.top), RGB((GetRValue(shadow) + GetRValue(dark)) / 2,
                                            (GetGValue(shadow) + GetGValue(dark)) / 2,
                                            (GetBValue(shadow) + GetBValue(dark)) / 2));

  // Pressed: one shade lighter.
  const int grab_x = (thumb.left + thumb.right) / 2;
  const int grab_y = (thumb.top + thumb.bottom) / 2;
  Mouse(trackbar, grab_x, grab_y, MOUSEEVENTF_LEFTDOWN);
  pixel = Snapshot(trackbar);
  EXPECT_EQ(pixel(thumb.left + 3, thumb.top + 3), CDrawnSlider::Shade(face, 1));
  Mouse(trackbar, grab_x, grab_y, MOUSEEVENTF_LEFTUP);

  EnableWindow(trackbar, FALSE);
  pixel = Snapshot(trackbar);
  EXPECT_EQ(pixel(free_x, middle), face);
}

}  // namespace
}  // namespace zorvik::panel
