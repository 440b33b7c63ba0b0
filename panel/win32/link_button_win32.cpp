// The link button: paint on the parent's reflected WM_DRAWITEM, click on its reflected
// BN_CLICKED, everything else (hover, cursor, keys, tooltip) in the button's subclass.
#include "panel/win32/link_button_win32.h"

#include <commctrl.h>
#include <shellapi.h>

namespace zorvik::panel {
namespace {

constexpr UINT_PTR kToolId = 1;
constexpr int kHandCursorResource = 106;

}  // namespace

CLinkButton::CLinkButton()
    : normal_colour_(GetSysColor(COLOR_HIGHLIGHT)), disabled_colour_(GetSysColor(COLOR_GRAYTEXT)) {}

CLinkButton::~CLinkButton() {
  Detach();
}

UINT CLinkButton::LinkClickedMessage() {
  static const UINT message = RegisterWindowMessageA("WM_LINK_CLICKED");
  return message;
}

HCURSOR CLinkButton::LinkCursor() {
  static const HCURSOR cursor = [] {
    char directory[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      const std::string viewer = std::string(directory) + "\\Winhlp32.exe";
      // As data only: nothing of the program runs, and the image is a private copy, valid
      // after the module is freed.
      if (HMODULE module = LoadLibraryExA(viewer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        auto* hand = static_cast<HCURSOR>(
            LoadImageA(module, MAKEINTRESOURCEA(kHandCursorResource), IMAGE_CURSOR, 0, 0, 0));
        FreeLibrary(module);
        if (hand != nullptr) return hand;
      }
    }
    return LoadCursorA(nullptr, IDC_HAND);  // null: the window's default cursor is kept
  }();
  return cursor;
}

void CLinkButton::Attach(HWND button) {
  if (window_ != nullptr || button == nullptr || !IsWindow(button)) return;
  if (!SetWindowSubclass(button, SubclassProc, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this))) {
    return;
  }
  window_ = button;
  ReflectedControl::Bind(window_, this);

  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  if (tooltip_ != nullptr) {
    const std::string text = tooltip_text_.empty() ? LinkTarget() : tooltip_text_;
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // the size every comctl32 version accepts
    tool.hwnd = window_;
    tool.uId = kToolId;
    GetClientRect(window_, &tool.rect);
    tool.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(tooltip_, TTM_ACTIVATE, FALSE, 0);  // until the pointer hovers
  }
}

void CLinkButton::Detach() {
  if (window_ == nullptr) return;
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  underlined_font_.reset();
  ReflectedControl::Bind(window_, nullptr);
  RemoveWindowSubclass(window_, SubclassProc, reinterpret_cast<UINT_PTR>(this));
  window_ = nullptr;
}

void CLinkButton::SetURL(const char* url) {
  url_ = url != nullptr ? url : "";
  UpdateToolTip();
}

void CLinkButton::SetURLPrefix(const char* prefix) {
  prefix_ = prefix != nullptr ? prefix : "";
  UpdateToolTip();
}

void CLinkButton::SetToolTipText(const char* text) {
  tooltip_text_ = text != nullptr ? text : "";
  UpdateToolTip();
}

void CLinkButton::SizeToContent() {
  if (window_ == nullptr) return;
  sized_to_content_ = true;
  const std::string caption = Caption();
  HDC dc = GetDC(window_);
  if (dc == nullptr) return;
  const auto font = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
  const HGDIOBJ old_font = font != nullptr ? SelectObject(dc, font) : nullptr;
  // Measured as the caption is drawn.
  RECT extent{};
  const bool measured = DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &extent,
                                  DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT) != 0;
  if (old_font != nullptr) SelectObject(dc, old_font);
  ReleaseDC(window_, dc);
  if (measured) {
    // The last glyph may reach past its advance width (antialiased text): two edges more
    // keeps it whole.
    SetWindowPos(window_, nullptr, 0, 0,
                 extent.right - extent.left + 2 * GetSystemMetrics(SM_CXEDGE),
                 extent.bottom - extent.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

std::string CLinkButton::Caption() const {
  if (window_ == nullptr) return {};
  const int length = GetWindowTextLengthA(window_);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window_, text.data(), length + 1)));
  return text;
}

std::string CLinkButton::LinkTarget() const {
  return prefix_ + (url_.empty() ? Caption() : url_);
}

void CLinkButton::UpdateToolTip() {
  if (tooltip_ == nullptr) return;
  const std::string text = tooltip_text_.empty() ? LinkTarget() : tooltip_text_;
  TTTOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = window_;
  tool.uId = kToolId;
  tool.lpszText = const_cast<char*>(text.c_str());
  SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CLinkButton::RelayToToolTip(UINT message, WPARAM wparam, LPARAM lparam) {
  if (tooltip_ == nullptr) return;
  MSG relayed{};
  relayed.hwnd = window_;
  relayed.message = message;
  relayed.wParam = wparam;
  relayed.lParam = lparam;
  relayed.time = static_cast<DWORD>(GetMessageTime());
  GetCursorPos(&relayed.pt);
  SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void CLinkButton::Redraw() {
  if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
}

bool CLinkButton::OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (message == WM_DRAWITEM && lparam != 0) {
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    *result = TRUE;
    return true;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    Click();
    *result = 0;
    return true;
  }
  return false;
}

void CLinkButton::Click() {
  const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  const std::string target = LinkTarget();
  SHELLEXECUTEINFOA execute{};
  execute.cbSize = sizeof execute;
  // The parent hears of a failure through WM_LINK_CLICKED; no shell error box on top of that.
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  execute.hwnd = nullptr;
  execute.lpVerb = "open";
  execute.lpFile = target.c_str();
  execute.nShow = SW_HIDE;
  if (!ShellExecuteExA(&execute)) {
    if (HWND parent = GetParent(window_)) {
      SendMessageA(parent, LinkClickedMessage(), static_cast<WPARAM>(GetDlgCtrlID(window_)),
                   reinterpret_cast<LPARAM>(window_));
    }
  }
  visited_ = true;
  hovering_ = false;
  Redraw();
  SetCursor(previous);
}

void CLinkButton::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const auto font = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
  if (!underlined_font_) {
    LOGFONTA description{};
    const HGDIOBJ base = font != nullptr ? font : GetStockObject(SYSTEM_FONT);
    if (GetObjectA(base, sizeof description, &description) == sizeof description) {
      description.lfUnderline = TRUE;
      underlined_font_.reset(CreateFontIndirectA(&description));
    }
  }

  // The background first: focus changes redraw without erasing, and the focus rectangle is
  // drawn by inversion.
  HWND parent = GetParent(window_);
  auto background = reinterpret_cast<HBRUSH>(SendMessageA(
      parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window_)));
  FillRect(dc, &rect, background != nullptr ? background : GetSysColorBrush(COLOR_BTNFACE));
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &rect);

  COLORREF colour = visited_ ? visited_colour_ : normal_colour_;
  if (hovering_) colour = hover_colour_;
  if ((item.itemState & ODS_DISABLED) != 0) colour = disabled_colour_;
  HFONT chosen = hovering_ && underlined_font_ ? underlined_font_.get() : font;
  const HGDIOBJ old_font = chosen != nullptr ? SelectObject(dc, chosen) : nullptr;
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = SetTextColor(dc, colour);
  const std::string caption = Caption();
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  SetTextColor(dc, old_colour);
  SetBkMode(dc, old_mode);
  if (old_font != nullptr) SelectObject(dc, old_font);
}

LRESULT CALLBACK CLinkButton::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CLinkButton*>(data);
  if (message == WM_NCDESTROY) {
    self->Detach();
    return DefSubclassProc(window, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT CLinkButton::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEMOVE:
      RelayToToolTip(message, wparam, lparam);
      if (!tracking_) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = window_;
        track.dwHoverTime = 1;
        tracking_ = TrackMouseEvent(&track) != FALSE;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      RelayToToolTip(message, wparam, lparam);
      break;
    case WM_MOUSEHOVER:
      hovering_ = true;
      Redraw();
      if (tooltip_ != nullptr && SendMessageA(tooltip_, TTM_GETTOOLCOUNT, 0, 0) > 0) {
        UpdateToolTip();  // the caption may have changed since
        SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
      }
      return 0;
    case WM_MOUSELEAVE:
      hovering_ = false;
      tracking_ = false;
      Redraw();
      if (tooltip_ != nullptr) SendMessageA(tooltip_, TTM_ACTIVATE, FALSE, 0);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && LinkCursor() != nullptr) {
        SetCursor(LinkCursor());
        return TRUE;
      }
      break;
    case WM_GETDLGCODE: {
      // Enter must reach the button, not the dialog's default button.
      LRESULT code = DefSubclassProc(window_, message, wparam, lparam);
      const auto* queued = reinterpret_cast<const MSG*>(lparam);
      if (queued != nullptr && queued->message == WM_KEYDOWN && queued->wParam == VK_RETURN) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (wparam == VK_RETURN || wparam == VK_SPACE) {
        armed_ = true;
        return 0;
      }
      break;
    case WM_KEYUP:
      if (wparam == VK_RETURN) {
        if (armed_) {
          armed_ = false;
          Click();
        }
        return 0;
      }
      if (wparam == VK_SPACE) return 0;  // the button's own Space click is not wanted
      break;
    case WM_KILLFOCUS:
      armed_ = false;
      break;
    case WM_SETFONT: {
      // A font set after the button was sized to its caption (a property sheet sets its pages'
      // fonts late) must not clip the caption.
      const LRESULT result = DefSubclassProc(window_, message, wparam, lparam);
      underlined_font_.reset();
      if (sized_to_content_) SizeToContent();
      return result;
    }
    case WM_SIZE:
      if (tooltip_ != nullptr) {
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = window_;
        tool.uId = kToolId;
        GetClientRect(window_, &tool.rect);
        SendMessageA(tooltip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(window_, message, wparam, lparam);
}

}  // namespace zorvik::panel
