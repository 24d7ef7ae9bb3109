// The form engine: realises a WindowDef (window + units) as Win32 windows and
// dispatches unit events to handlers bound by unit name. One engine for all
// windows; the windows themselves are data (ui/FormDef.h).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/WinHandle.h"
#include "ui/FormDef.h"
#include "ui/TextLayout.h"

namespace velmora::win32 {

class Form {
 public:
  using Handler = std::function<void()>;

  explicit Form(const WindowDef& def) : def_(def) {}
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Top-level window (framed definitions) or a frameless child page of `parent`
  // at `pagePos` (client coordinates of the parent, unscaled).
  bool Create(HWND parent = nullptr, POINT pagePos = {0, 0});

  HWND hwnd() const { return hwnd_; }
  const WindowDef& definition() const { return def_; }
  HWND Unit(UnitName name) const;
  int Scale(int pixels) const { return MulDiv(pixels, static_cast<int>(dpi_), 96); }
  UINT dpi() const { return dpi_; }

  // Bindings, at most one handler per unit event.
  void OnCreated(Handler h) { created_ = std::move(h); }
  // The window's life has ended (its last message).
  void OnDestroyed(Handler h) { destroyed_ = std::move(h); }
  void OnClick(UnitName unit, Handler h) { clicks_[std::string(unit.str())] = std::move(h); }
  void OnTimer(UnitName unit, Handler h) { timers_[std::string(unit.str())] = std::move(h); }
  // Ticks of a timer unit; 0 stops it.
  void SetTimerInterval(UnitName unit, UINT milliseconds);

  void SetText(UnitName unit, std::string_view utf8);
  void Show(bool visible);

 protected:
  // Extra per-window message handling; return true when handled.
  virtual bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  virtual HWND CreateUnitWindow(const UnitDef& unit, int id, const RECT& r);
  // Places what the form adds beyond its units; runs after every layout pass
  // (creation and DPI changes).
  virtual void LayoutExtras() {}

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  HWND UnitNamed(std::string_view name) const;
  void CreateUnits();
  void LayoutUnits();
  Box DefinedBox(const UnitDef& unit) const;
  void ComputeBoxes();
  RECT UnitRect(const UnitDef& unit) const;
  void UpdateFont();
  void DrawLabel(const DRAWITEMSTRUCT& item);

  const WindowDef& def_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  bool topLevel_ = false;
  POINT pagePos_ = {0, 0};  // unscaled place of a child page in its parent
  std::vector<HWND> units_;  // parallel to def_.units; nullptr for non-visual units
  FontHandle font_;
  int lineHeight_ = 14;
  std::vector<Box> boxes_;  // parallel to def_.units, in pixels at dpi_
  Handler created_, destroyed_;
  std::map<std::string, Handler, std::less<>> clicks_, timers_;
};

// The program's typeface, 宋体 (Windows without it substitutes), at a pixel height.
FontHandle UiFont(int pixelHeight, int weight = FW_NORMAL);

}  // namespace velmora::win32
