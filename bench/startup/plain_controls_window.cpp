// A second floor of the start-up benchmark: the minimal window holding the same
// units as Velmora's main window and its first page, as plain standard controls
// of the same classes, font and places, with no logic behind them. What it costs
// over the minimal window is what Wine takes for the controls themselves.
#include <windows.h>

#include <commctrl.h>

#include "platform/win32/WinText.h"
#include "ui/WindowDefs.h"

namespace {

using namespace velmora;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t* ClassOf(UnitKind kind, DWORD& style) {
  switch (kind) {
    case UnitKind::Button:
    case UnitKind::PictureButton:
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      return WC_BUTTONW;
    case UnitKind::GroupBox:
      style |= BS_GROUPBOX;
      return WC_BUTTONW;
    case UnitKind::Label:
    case UnitKind::TransparentLabel:
      return WC_STATICW;
    case UnitKind::EditBox:
      style |= WS_BORDER | ES_AUTOHSCROLL;
      return WC_EDITW;
    case UnitKind::ProgressBar:
      return PROGRESS_CLASSW;
    case UnitKind::CheckListBox:
      style |= WS_BORDER | LBS_NOTIFY;
      return WC_LISTBOXW;
    case UnitKind::HtmlBrowser:
      return WC_STATICW;  // the browser itself is embedded after the first paint
    default:
      return nullptr;  // timers and the zip unit have no window
  }
}

void CreateUnits(HWND parent, const WindowDef& def, POINT origin, HFONT font, HINSTANCE instance) {
  int id = kFirstUnitId;
  for (const UnitDef& u : def.units) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    const wchar_t* cls = ClassOf(u.kind, style);
    if (!cls) continue;
    if (u.flags & kVisible) style |= WS_VISIBLE;
    if (u.flags & kDisabled) style |= WS_DISABLED;
    HWND h = CreateWindowExW(0, cls, Wide(u.text).c_str(), style, origin.x + u.x, origin.y + u.y, u.width,
                             u.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance,
                             nullptr);
    if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"VelmoraPlainControlsWindow";
  if (!RegisterClassExW(&wc)) return 1;
  const WindowDef& main = MainWindowDef();
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Minimal window",
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, main.width, main.height, nullptr, nullptr, instance,
                              nullptr);
  if (!hwnd) return 1;
  // Velmora's unit font: 9 points of 宋体 at 96 dpi.
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
  CreateUnits(hwnd, main, {0, 0}, font, instance);
  CreateUnits(hwnd, NewsPageDef(), {107, 8}, font, instance);
  ShowWindow(hwnd, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(font);
  return static_cast<int>(msg.wParam);
}
