#include "ui/win32/Form.h"

#include <exception>

#include <commctrl.h>

#include <utility>

#include "platform/win32/CallbackGuard.h"
#include "platform/win32/WinText.h"

namespace velmora::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"VelmoraForm";
constexpr wchar_t kHostClass[] = L"VelmoraHost";  // a plain child that embeds a control

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// GetDpiForWindow exists from Windows 10 1607 on; bound by name so the exe still
// starts on older systems, which then get 96.
UINT DpiOf(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = fn && hwnd ? fn(hwnd) : 0;
  if (dpi == 0) {
    WindowDc screen(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen.Get(), LOGPIXELSY));
  }
  return dpi ? dpi : 96;
}

}  // namespace

FontHandle UiFont(int pixelHeight, int weight) {
  return FontHandle(CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
}

Form::~Form() {
  if (hwnd_) {
    HWND h = std::exchange(hwnd_, nullptr);
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
  }
}

bool Form::Create(HWND parent, POINT pagePos) {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Form::WindowProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(1));
    wc.lpszClassName = kFormClass;
    WNDCLASSEXW host = wc;
    host.lpfnWndProc = DefWindowProcW;
    host.hIcon = nullptr;
    host.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    host.lpszClassName = kHostClass;
    return RegisterClassExW(&wc) != 0 && RegisterClassExW(&host) != 0;
  }();
  if (!registered) return false;

  topLevel_ = def_.framed;
  dpi_ = DpiOf(parent);
  DWORD style, exStyle = 0;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (topLevel_) {
    // Fixed-size windows: the layout is in pixels of the definition.
    style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  } else {
    style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    exStyle = WS_EX_CONTROLPARENT;
    pagePos_ = pagePos;
    x = Scale(pagePos.x);
    y = Scale(pagePos.y);
  }
  hwnd_ = CreateWindowExW(exStyle, kFormClass, Wide(def_.title).c_str(), style, x, y,
                          Scale(def_.width), Scale(def_.height), parent, nullptr, Instance(), this);
  if (!hwnd_) return false;
  SetPropW(hwnd_, kDefinitionProperty,
           reinterpret_cast<HANDLE>(static_cast<INT_PTR>(def_.number)));
  if (topLevel_) {
    UINT actual = DpiOf(hwnd_);
    if (actual != dpi_) dpi_ = actual;
    // Centre on the owner, or on the work area for the main window.
    RECT area;
    if (parent) {
      GetWindowRect(parent, &area);
    } else {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    int w = Scale(def_.width), h = Scale(def_.height);
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  UpdateFont();
  CreateUnits();
  if (created_) created_();
  LayoutExtras();
  return true;
}

void Form::UpdateFont() {
  font_ = UiFont(Scale(12));  // 9 points
  {
    WindowDc dc(hwnd_);
    Selection font(dc.Get(), font_.Get());
    TEXTMETRICW tm{};
    lineHeight_ = GetTextMetricsW(dc.Get(), &tm) ? tm.tmHeight + tm.tmExternalLeading : Scale(14);
  }
  for (HWND u : units_) {
    if (u) SendMessageW(u, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
  }
}

HWND Form::CreateUnitWindow(const UnitDef& unit, int id, const RECT& r) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  const wchar_t* cls = nullptr;
  switch (unit.kind) {
    case UnitKind::Button:
      cls = WC_BUTTONW;
      style |= BS_PUSHBUTTON;
      break;
    case UnitKind::PictureButton:
      cls = WC_BUTTONW;
      style |= BS_OWNERDRAW;
      break;
    case UnitKind::GroupBox:
      cls = WC_BUTTONW;
      style |= BS_GROUPBOX;
      // A group box paints only its frame and caption; the window clips its
      // children, so without this nobody paints the inside around the units in it.
      exStyle = WS_EX_TRANSPARENT;
      break;
    case UnitKind::Label:
    case UnitKind::TransparentLabel:
      cls = WC_STATICW;
      style |= SS_OWNERDRAW;  // drawn by DrawLabel, wrapped as the box allows
      break;
    case UnitKind::EditBox:
      cls = WC_EDITW;
      exStyle = WS_EX_CLIENTEDGE;
      style |= ES_AUTOHSCROLL;
      if (unit.height > 40) {
        style = (style & ~ES_AUTOHSCROLL) | ES_MULTILINE;
        // Nobody can scroll a disabled box; its bar would only take room.
        if (!(unit.flags & kDisabled)) style |= WS_VSCROLL;
      }
      if (unit.flags & kReadOnly) style |= ES_READONLY;
      break;
    case UnitKind::ProgressBar:
      cls = PROGRESS_CLASSW;
      break;
    case UnitKind::CheckListBox:
      cls = WC_LISTBOXW;
      // The rows keep their names as strings, for assistive tools and the UI driver.
      style |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
      break;
    case UnitKind::HtmlBrowser:
      cls = kHostClass;
      style |= WS_CLIPCHILDREN;
      break;
    case UnitKind::Timer:
      return nullptr;  // non-visual
  }
  if (unit.flags & kVisible) style |= WS_VISIBLE;
  if (unit.flags & kDisabled) style |= WS_DISABLED;
  if (unit.flags & kFocus) style |= WS_TABSTOP;
  return CreateWindowExW(exStyle, cls, Wide(unit.text).c_str(), style, r.left, r.top,
                         r.right - r.left, r.bottom - r.top, hwnd_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

static bool IsLabel(const UnitDef& u) { return u.kind == UnitKind::Label || u.kind == UnitKind::TransparentLabel; }

static bool Overlap(const RECT& a, const RECT& b) {
  RECT r;
  return IntersectRect(&r, &a, &b) != 0;
}

Box Form::DefinedBox(const UnitDef& unit) const {
  int x = unit.x, y = unit.y;
  if (!unit.parent.empty()) {
    if (const UnitDef* p = FindUnit(def_, unit.parent)) {
      x += p->x;
      y += p->y;
    }
  }
  return {Scale(x), Scale(y), Scale(x + unit.width), Scale(y + unit.height)};
}

void Form::ComputeBoxes() {
  std::vector<Box> defined;
  for (const UnitDef& u : def_.units) defined.push_back(DefinedBox(u));
  RECT c{};
  if (topLevel_) {
    GetClientRect(hwnd_, &c);
  } else {
    c = {0, 0, Scale(def_.width), Scale(def_.height)};
  }
  const Box client{c.left, c.top, c.right, c.bottom};
  boxes_ = defined;
  for (size_t i = 0; i < def_.units.size(); ++i) {
    if (IsLabel(def_.units[i])) boxes_[i] = LabelBox(def_, i, defined, client, lineHeight_);
  }
}

RECT Form::UnitRect(const UnitDef& unit) const {
  const Box& b = boxes_[static_cast<size_t>(&unit - def_.units.data())];
  return {b.left, b.top, b.right, b.bottom};
}

void Form::DrawLabel(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  int n = GetWindowTextLengthW(item.hwndItem);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item.hwndItem, text.data(), n + 1)));
  if (text.empty()) return;
  Selection font(dc, font_.Get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(item.hwndItem) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  auto measure = [dc](std::string_view piece) {
    std::wstring w = Wide(piece);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    return static_cast<int>(size.cx);
  };
  const int width = item.rcItem.right - item.rcItem.left;
  int y = item.rcItem.top;
  for (const std::string& line : WrapLines(Utf8(text), width, measure)) {
    std::wstring w = Wide(line);
    TextOutW(dc, item.rcItem.left, y, w.c_str(), static_cast<int>(w.size()));
    y += lineHeight_;
  }
}

void Form::CreateUnits() {
  units_.assign(def_.units.size(), nullptr);
  ComputeBoxes();
  for (size_t i = 0; i < def_.units.size(); ++i) {
    const UnitDef& u = def_.units[i];
    RECT r = UnitRect(u);
    units_[i] = CreateUnitWindow(u, kFirstUnitId + static_cast<int>(i), r);
    if (!units_[i]) continue;
    SendMessageW(units_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    // A unit inside another (the notes edit box in its group box) is a sibling of
    // its container laid over it: it must lie above it, or the container clips it.
    if (!u.parent.empty()) {
      if (HWND container = UnitNamed(u.parent)) {
        HWND above = GetWindow(container, GW_HWNDPREV);
        SetWindowPos(units_[i], above ? above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    }
    // A label laid over an earlier one (the unit "k/S" beside the rate) is shown
    // above it; windows created later otherwise lie below. Labels take no focus,
    // so the tab order stays that of the definition.
    if (!IsLabel(u)) continue;
    for (size_t k = 0; k < i; ++k) {
      if (units_[k] && IsLabel(def_.units[k]) && Overlap(r, UnitRect(def_.units[k]))) {
        HWND above = GetWindow(units_[k], GW_HWNDPREV);
        SetWindowPos(units_[i], above ? above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
      }
    }
  }
}

void Form::LayoutUnits() {
  ComputeBoxes();
  for (size_t i = 0; i < units_.size(); ++i) {
    if (!units_[i]) continue;
    RECT r = UnitRect(def_.units[i]);
    SetWindowPos(units_[i], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayoutExtras();
}

HWND Form::Unit(UnitName name) const { return UnitNamed(name.str()); }

HWND Form::UnitNamed(std::string_view name) const {
  for (size_t i = 0; i < def_.units.size(); ++i) {
    if (def_.units[i].name == name) return units_.empty() ? nullptr : units_[i];
  }
  return nullptr;
}

void Form::SetTimerInterval(UnitName unit, UINT milliseconds) {
  for (size_t i = 0; i < def_.units.size(); ++i) {
    if (def_.units[i].name != unit.str()) continue;
    UINT_PTR id = kFirstUnitId + i;
    if (milliseconds == 0) {
      KillTimer(hwnd_, id);
    } else {
      SetTimer(hwnd_, id, milliseconds, nullptr);
    }
  }
}

void Form::SetText(UnitName unit, std::string_view utf8) {
  if (HWND h = Unit(unit)) SetWindowTextW(h, Wide(utf8).c_str());
}

void Form::Show(bool visible) {
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
}

bool Form::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<Form*>(cs->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
  // A handler that throws (out of memory, say) ends that one event.
  return Guarded(form->def_.name, msg, [&] { return form->Dispatch(msg, wp, lp); },
                 [&] { return DefWindowProcW(hwnd, msg, wp, lp); });
}

LRESULT Form::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (HandleMessage(msg, wp, lp, result)) return result;
  auto unitAt = [this](UINT_PTR id) -> const UnitDef* {
    if (id < kFirstUnitId || id >= kFirstUnitId + def_.units.size()) return nullptr;
    return &def_.units[id - kFirstUnitId];
  };
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        if (const UnitDef* u = unitAt(LOWORD(wp))) {
          auto it = clicks_.find(u->name);
          if (it != clicks_.end()) {
            Handler h = it->second;  // the handler may rebind or close the form
            h();
          }
          return 0;
        }
      }
      break;
    case WM_TIMER:
      if (const UnitDef* u = unitAt(wp)) {
        auto it = timers_.find(u->name);
        if (it != timers_.end()) it->second();
        return 0;
      }
      break;
    case WM_DRAWITEM:
      if (const UnitDef* u = unitAt(wp); u && IsLabel(*u)) {
        DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
      }
      break;
    case WM_SETCURSOR:
      // The preview picture is the one unit with the hand cursor.
      for (size_t i = 0; i < units_.size(); ++i) {
        if (units_[i] == reinterpret_cast<HWND>(wp) && def_.units[i].kind == UnitKind::PictureButton) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wp);
      auto* r = reinterpret_cast<RECT*>(lp);
      SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      UpdateFont();
      LayoutUnits();
      return 0;
    }
    case WM_DPICHANGED_AFTERPARENT:
      // A page moved with its window to a monitor of another DPI.
      if (!topLevel_) {
        dpi_ = DpiOf(hwnd_);
        SetWindowPos(hwnd_, nullptr, Scale(pagePos_.x), Scale(pagePos_.y), Scale(def_.width),
                     Scale(def_.height), SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateFont();
        LayoutUnits();
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      return 0;
    case WM_NCDESTROY: {
      HWND h = hwnd_;
      RemovePropW(h, kDefinitionProperty);
      SetWindowLongPtrW(h, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      units_.clear();
      if (destroyed_) destroyed_();
      return DefWindowProcW(h, msg, wp, lp);
    }
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace velmora::win32
