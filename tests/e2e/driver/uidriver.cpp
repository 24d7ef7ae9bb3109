// The UI test driver: a console program in the same Wine prefix as Velmora that
// finds Velmora's windows and units, clicks, reads captions, answers message boxes
// and drives the folder browser. It reads one command per line on stdin (fields
// separated by TAB, UTF-8) and answers one line: "ok<TAB>result" or "err<TAB>why".
//
// Clicks are posted, never sent: a click that opens a modal box would block.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/WinText.h"
#include "ui/FormDef.h"
#include "ui/TextLayout.h"
#include "ui/WindowDefs.h"

using namespace velmora;

namespace {

constexpr int kMessageTextId = 0xFFFF;  // the text of a system message box

DWORD g_velmoraPid = 0;
// Set by "bind": only the Velmora whose executable lies in this folder (lower case).
std::wstring g_boundFolder;

std::wstring LowerW(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

// Whether the window belongs to the program the driver is bound to (any, unbound).
bool OfBoundProgram(HWND h) {
  if (g_boundFolder.empty()) return true;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  HANDLE proc = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!proc) return false;
  wchar_t image[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  const bool ok = QueryFullProcessImageNameW(proc, 0, image, &size) != 0;
  CloseHandle(proc);
  if (!ok) return false;
  std::wstring folder(image, size);
  folder.resize(folder.find_last_of(L'\\') == std::wstring::npos ? 0 : folder.find_last_of(L'\\'));
  return LowerW(folder) == g_boundFolder;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return f;
}

int DefinitionIndex(const std::string& name) {
  auto all = AllWindows();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

struct FindState {
  int wanted;  // the definition number
  HWND found = nullptr;
};

BOOL CALLBACK FindChild(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<FindState*>(lp);
  if (reinterpret_cast<INT_PTR>(GetPropW(h, kDefinitionProperty)) == s->wanted) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

struct CountState {
  int wanted, n = 0;
};

BOOL CALLBACK CountVisible(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<CountState*>(lp);
  if (IsWindowVisible(h) && reinterpret_cast<INT_PTR>(GetPropW(h, kDefinitionProperty)) == c->wanted) ++c->n;
  return TRUE;
}

BOOL CALLBACK FindTop(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<FindState*>(lp);
  if (!OfBoundProgram(h)) return TRUE;
  if (!FindChild(h, lp)) return FALSE;
  EnumChildWindows(h, FindChild, lp);
  return s->found ? FALSE : TRUE;
}

HWND FindDefinitionWindow(const std::string& name) {
  int index = DefinitionIndex(name);
  if (index < 0) return nullptr;
  FindState s{AllWindows()[index].number};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
  if (s.found && index == 0) GetWindowThreadProcessId(s.found, &g_velmoraPid);
  return s.found;
}

HWND FindUnitWindow(const std::string& window, const std::string& unit, std::string& why) {
  HWND w = FindDefinitionWindow(window);
  if (!w) {
    why = "no window " + window;
    return nullptr;
  }
  const WindowDef& def = AllWindows()[DefinitionIndex(window)];
  for (size_t i = 0; i < def.units.size(); ++i) {
    if (def.units[i].name == unit) {
      HWND u = GetDlgItem(w, kFirstUnitId + static_cast<int>(i));
      if (!u) why = "unit has no window: " + unit;
      return u;
    }
  }
  why = "no unit " + unit + " in " + window;
  return nullptr;
}

std::string WindowText(HWND h) {
  wchar_t buf[4096];
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                           5000, &n)) {
    return {};
  }
  return Utf8(std::wstring(buf, n));
}

std::string ClassOf(HWND h) {
  wchar_t cls[128];
  int n = GetClassNameW(h, cls, 128);
  return Utf8(std::wstring(cls, n));
}

// A message box or the folder browser of Velmora: a #32770 dialog of its process.
struct DialogState {
  bool folderBrowser;
  HWND found = nullptr;
};

BOOL CALLBACK HasTree(HWND h, LPARAM lp) {
  if (ClassOf(h) == "SysTreeView32") {
    *reinterpret_cast<bool*>(lp) = true;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<DialogState*>(lp);
  if (!IsWindowVisible(h) || ClassOf(h) != "#32770") return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (g_velmoraPid && pid != g_velmoraPid) return TRUE;
  bool tree = false;
  EnumChildWindows(h, HasTree, reinterpret_cast<LPARAM>(&tree));
  bool isMessageBox = GetDlgItem(h, kMessageTextId) != nullptr;
  if ((s->folderBrowser && tree) || (!s->folderBrowser && isMessageBox && !tree)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

template <typename F>
auto WaitFor(int ms, F probe) -> decltype(probe()) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    auto r = probe();
    if (r || std::chrono::steady_clock::now() >= until) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

BOOL CALLBACK FindTree(HWND h, LPARAM lp) {
  if (ClassOf(h) != "SysTreeView32") return TRUE;
  *reinterpret_cast<HWND*>(lp) = h;
  return FALSE;
}

// Selects a folder in the browser and waits until its tree shows it selected.
// The browser's edit field is not read on OK everywhere; BFFM_SETSELECTIONW is,
// but a browser still filling its tree (a fresh prefix) may select later or drop
// the request, so it is repeated until the selected item names the last folder.
// The path and the item buffer must live in Velmora's memory.
std::string SelectInBrowser(HWND d, const std::wstring& path) {
  HWND tree = nullptr;
  EnumChildWindows(d, FindTree, reinterpret_cast<LPARAM>(&tree));
  DWORD pid = 0;
  GetWindowThreadProcessId(d, &pid);
  HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
  if (!proc) return "OpenProcess failed";
  constexpr size_t kTextChars = 520;
  size_t pathBytes = (path.size() + 1) * sizeof(wchar_t);
  size_t bytes = pathBytes + sizeof(TVITEMW) + kTextChars * sizeof(wchar_t) + 16;
  auto* remote = static_cast<char*>(VirtualAllocEx(proc, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) {
    CloseHandle(proc);
    return "VirtualAllocEx failed";
  }
  WriteProcessMemory(proc, remote, path.c_str(), pathBytes, nullptr);
  char* remoteItem = remote + ((pathBytes + 15) & ~size_t{15});
  auto* remoteText = reinterpret_cast<wchar_t*>(remoteItem + sizeof(TVITEMW));

  std::wstring trimmed = path;
  while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
  size_t cut = trimmed.find_last_of(L'\\');
  // A drive root has no folder name to compare: its item is labelled by the shell.
  std::wstring want = cut == std::wstring::npos ? L"" : trimmed.substr(cut + 1);

  auto selectedText = [&]() -> std::wstring {
    DWORD_PTR item = 0;
    if (!tree || !SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_NORMAL, 2000, &item) || !item)
      return L"";
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = reinterpret_cast<HTREEITEM>(item);
    tv.pszText = remoteText;
    tv.cchTextMax = kTextChars;
    WriteProcessMemory(proc, remoteItem, &tv, sizeof tv, nullptr);
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remoteItem), SMTO_NORMAL, 2000, &r) || !r)
      return L"";
    std::wstring text(kTextChars, L'\0');
    ReadProcessMemory(proc, remoteText, text.data(), kTextChars * sizeof(wchar_t), nullptr);
    text.resize(wcsnlen(text.c_str(), kTextChars));
    return text;
  };

  bool selected = false;
  for (int round = 0; round < 10 && !selected; ++round) {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(d, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000, &r);
    if (want.empty() || !tree) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      selected = true;
    } else {
      selected = WaitFor(1000, [&] { return _wcsicmp(selectedText().c_str(), want.c_str()) == 0; });
    }
  }
  std::wstring last = selectedText();
  VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
  CloseHandle(proc);
  return selected ? "" : "the browser did not select the folder (selected: " + Utf8(last) + ")";
}

HWND WaitDialog(bool folderBrowser, int ms) {
  if (!g_velmoraPid) FindDefinitionWindow("main");
  return WaitFor(ms, [&] {
    DialogState s{folderBrowser};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
  });
}

bool ClickDialogButton(HWND dialog, int id) {
  HWND b = GetDlgItem(dialog, id);
  if (!b) return false;
  return PostMessageW(b, BM_CLICK, 0, 0) != 0;
}

// A cursor's hot spot and mask bits, to tell cursors apart by their look.
std::string CursorLooks(HCURSOR cursor) {
  ICONINFO info{};
  if (!cursor || !GetIconInfo(cursor, &info)) return {};
  std::string looks = std::to_string(info.xHotspot) + "," + std::to_string(info.yHotspot) + ":";
  BITMAP bm{};
  if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
    std::string bits(static_cast<size_t>(bm.bmWidthBytes) * bm.bmHeight, '\0');
    GetBitmapBits(info.hbmMask, static_cast<LONG>(bits.size()), bits.data());
    looks += bits;
  }
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return looks;
}

std::string Run(const std::vector<std::string>& f) {
  const std::string& verb = f[0];
  auto arg = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
  auto ms = [&](size_t i) { return i < f.size() ? std::stoi(f[i]) : 10000; };
  std::string why;

  if (verb == "wait-window") {
    HWND w = WaitFor(ms(2), [&] {
      HWND h = FindDefinitionWindow(arg(1));
      return h && IsWindowVisible(h) ? h : nullptr;
    });
    return w ? "ok" : "err\tno visible window " + arg(1);
  }
  if (verb == "gone-window") {  // waits until the window no longer exists
    bool gone = WaitFor(ms(2), [&] { return FindDefinitionWindow(arg(1)) == nullptr; });
    return gone ? "ok" : "err\tstill open " + arg(1);
  }
  if (verb == "title") {
    HWND w = FindDefinitionWindow(arg(1));
    return w ? "ok\t" + WindowText(w) : "err\tno window " + arg(1);
  }
  if (verb == "bind") {  // bind <program folder>: that Velmora's windows only
    g_boundFolder = LowerW(Wide(arg(1)));
    g_velmoraPid = 0;
    return "ok";
  }
  if (verb == "count-windows") {  // count-windows <window>: how many of every Velmora
    CountState c{AllWindows()[std::max(0, DefinitionIndex(arg(1)))].number};
    EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&c));
    return "ok\t" + std::to_string(c.n);
  }
  if (verb == "minimize" || verb == "iconic") {  // minimize <window> / iconic <window>: "1" or "0"
    HWND w = FindDefinitionWindow(arg(1));
    if (!w) return "err\tno window " + arg(1);
    if (verb == "minimize") {
      ShowWindowAsync(w, SW_MINIMIZE);
      return WaitFor(2000, [&] { return IsIconic(w) != 0; }) ? "ok" : "err\tnot minimised";
    }
    return std::string("ok\t") + (IsIconic(w) ? "1" : "0");
  }
  if (verb == "foreground") {  // the definition name of the foreground window, or ""
    HWND f = GetForegroundWindow();
    for (const WindowDef& d : AllWindows()) {
      if (f && reinterpret_cast<INT_PTR>(GetPropW(f, kDefinitionProperty)) == d.number) return "ok\t" + std::string(d.name);
    }
    return "ok\t";
  }
  if (verb == "click") {
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    return PostMessageW(u, BM_CLICK, 0, 0) ? "ok" : "err\tpost failed";
  }
  if (verb == "text") {
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    return u ? "ok\t" + WindowText(u) : "err\t" + why;
  }
  if (verb == "lines") {  // a multi-line box's text, one field per line
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    std::string text = WindowText(u), out = "ok";
    for (size_t start = 0;;) {
      size_t nl = text.find('\n', start);
      std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out += "\t" + line;
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    return out;
  }
  if (verb == "state") {  // visible, enabled
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    return std::string("ok\t") + (IsWindowVisible(u) ? "visible" : "hidden") + "\t" +
           (IsWindowEnabled(u) ? "enabled" : "disabled");
  }
  if (verb == "visible-window") {
    HWND w = FindDefinitionWindow(arg(1));
    return w ? std::string("ok\t") + (IsWindowVisible(w) ? "1" : "0") : "err\tno window " + arg(1);
  }
  if (verb == "msgbox") {  // waits for a message box; answers title<TAB>text
    HWND d = WaitDialog(false, ms(1));
    if (!d) return "err\tno message box";
    return "ok\t" + WindowText(d) + "\t" + WindowText(GetDlgItem(d, kMessageTextId));
  }
  if (verb == "wait-browser") {
    return WaitDialog(true, ms(1)) ? "ok" : "err\tno folder browser";
  }
  if (verb == "no-msgbox") {
    HWND d = WaitDialog(false, ms(1));
    return d ? "err\tmessage box: " + WindowText(GetDlgItem(d, kMessageTextId)) : "ok";
  }
  if (verb == "answer") {  // ok | yes | no
    HWND d = WaitDialog(false, ms(2));
    if (!d) return "err\tno message box";
    int id = arg(1) == "yes" ? IDYES : arg(1) == "no" ? IDNO : IDOK;
    if (!ClickDialogButton(d, id)) return "err\tno such button";
    bool closed = WaitFor(10000, [&] { return !IsWindow(d) || !IsWindowVisible(d); });
    return closed ? "ok" : "err\tmessage box stayed open";
  }
  if (verb == "browse" || verb == "browse-cancel") {
    HWND d = WaitDialog(true, ms(2));
    if (!d) return "err\tno folder browser";
    if (verb == "browse") {
      std::string err = SelectInBrowser(d, Wide(arg(1)));
      if (!err.empty()) return "err\t" + err;
      if (!ClickDialogButton(d, IDOK)) return "err\tno OK button";
      return WaitFor(10000, [&] { return !IsWindow(d); }) ? "ok" : "err\tfolder browser stayed open";
    }
    if (!ClickDialogButton(d, IDCANCEL)) return "err\tno cancel button";
    return WaitFor(10000, [&] { return !IsWindow(d); }) ? "ok" : "err\tfolder browser stayed open";
  }
  if (verb == "raise") {  // as a click on the window's title bar: to the front, active
    HWND w = FindDefinitionWindow(arg(1));
    if (!w) return "err\tno window " + arg(1);
    SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(w);
    return "ok";
  }
  if (verb == "close") {
    HWND w = FindDefinitionWindow(arg(1));
    return w && PostMessageW(w, WM_CLOSE, 0, 0) ? "ok" : "err\tno window " + arg(1);
  }
  if (verb == "units") {  // name=visible|hidden for every unit that has a window
    HWND w = FindDefinitionWindow(arg(1));
    if (!w) return "err\tno window " + arg(1);
    const WindowDef& def = AllWindows()[DefinitionIndex(arg(1))];
    std::string out = "ok";
    for (size_t i = 0; i < def.units.size(); ++i) {
      HWND u = GetDlgItem(w, kFirstUnitId + static_cast<int>(i));
      if (!u) continue;
      out += "\t" + std::string(def.units[i].name) + "=" + (IsWindowVisible(u) ? "visible" : "hidden");
    }
    return out;
  }
  if (verb == "rect") {  // outer rectangle of a window, or of one of its units: x y w h
    HWND h = arg(2).empty() ? FindDefinitionWindow(arg(1)) : FindUnitWindow(arg(1), arg(2), why);
    if (!h) return "err\t" + (why.empty() ? "no window " + arg(1) : why);
    RECT r;
    GetWindowRect(h, &r);
    return "ok\t" + std::to_string(r.left) + "\t" + std::to_string(r.top) + "\t" +
           std::to_string(r.right - r.left) + "\t" + std::to_string(r.bottom - r.top);
  }
  if (verb == "click-row" || verb == "row-text") {  // row buttons of a list page
    // A list page is made when its page button is first pressed: wait for it.
    HWND w = WaitFor(10000, [&] {
      HWND h = FindDefinitionWindow(arg(1));
      return h && GetDlgItem(h, kFirstRowButtonId + std::stoi(arg(2))) ? h : nullptr;
    });
    if (!w) return "err\tno window " + arg(1) + " with row " + arg(2);
    HWND b = GetDlgItem(w, kFirstRowButtonId + std::stoi(arg(2)));
    if (!b) return "err\tno row " + arg(2);
    if (verb == "row-text") return "ok\t" + WindowText(b);
    return PostMessageW(b, BM_CLICK, 0, 0) ? "ok" : "err\tpost failed";
  }
  if (verb == "fits") {  // fits <window> <unit> <text> <dpi>: lines, widest line, client w, h, line height
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    RECT client;
    GetClientRect(u, &client);
    // The program's font is a handle of its own process; measure with the same
    // face at the same size: 宋体 9 pt at the given DPI.
    HFONT font = CreateFontW(-MulDiv(12, std::stoi(arg(4)), 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"宋体");
    HDC dc = GetDC(u);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int widest = 0;
    auto measure = [dc](std::string_view piece) {
      std::wstring w = Wide(piece);
      SIZE size{};
      GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
      return static_cast<int>(size.cx);
    };
    std::vector<std::string> lines = WrapLines(arg(3), client.right, measure);
    for (const std::string& line : lines) widest = std::max(widest, measure(line));
    SelectObject(dc, old);
    ReleaseDC(u, dc);
    DeleteObject(font);
    return "ok\t" + std::to_string(lines.size()) + "\t" + std::to_string(widest) + "\t" +
           std::to_string(client.right) + "\t" + std::to_string(client.bottom) + "\t" +
           std::to_string(tm.tmHeight + tm.tmExternalLeading);
  }
  if (verb == "hover" || verb == "hover-row") {  // moves the mouse over a unit (or row button): the cursor shown
    HWND h = nullptr;
    if (verb == "hover") {
      h = FindUnitWindow(arg(1), arg(2), why);
    } else if (HWND w = FindDefinitionWindow(arg(1))) {
      h = GetDlgItem(w, kFirstRowButtonId + std::stoi(arg(2)));
      if (!h) why = "no row " + arg(2);
    } else {
      why = "no window " + arg(1);
    }
    if (!h) return "err\t" + why;
    RECT r;
    GetWindowRect(h, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CURSORINFO ci{};
    ci.cbSize = sizeof ci;
    if (!GetCursorInfo(&ci)) return "err\tGetCursorInfo failed";
    if (ci.hCursor == LoadCursorW(nullptr, IDC_HAND)) return "ok\thand";
    if (ci.hCursor == LoadCursorW(nullptr, IDC_ARROW)) return "ok\tarrow";
    // Cursor handles need not be the same across processes (under Wine they are
    // not, and a foreign one cannot be read): compare what the cursors look like,
    // and tell the hot spots of both so the caller can ask the X server instead.
    const std::string shown = CursorLooks(ci.hCursor);
    const std::string hand = CursorLooks(LoadCursorW(nullptr, IDC_HAND));
    const std::string arrow = CursorLooks(LoadCursorW(nullptr, IDC_ARROW));
    const char* which = shown.empty() ? "unknown" : shown == hand ? "hand" : shown == arrow ? "arrow" : "other";
    auto hot = [](const std::string& l) { return l.substr(0, l.find(':')); };
    return std::string("ok\t") + which + "\t" + hot(hand) + "\t" + hot(arrow);
  }
  if (verb == "sample-cursor") {  // sample-cursor hand|arrow|off: a window of ours showing that cursor
    static HWND sample = nullptr;
    if (sample) DestroyWindow(sample), sample = nullptr;
    if (arg(1) == "off") return "ok";
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VelmoraCursorSample";
      return RegisterClassW(&wc) != 0;
    }();
    if (!registered) return "err\tno window class";
    sample = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"VelmoraCursorSample", L"", WS_POPUP | WS_VISIBLE,
                             0, 0, 60, 60, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetClassLongPtrW(sample, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(
                         LoadCursorW(nullptr, arg(1) == "hand" ? IDC_HAND : IDC_ARROW)));
    SetCursorPos(30, 30);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (std::chrono::steady_clock::now() < until) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "ok";
  }
  if (verb == "progress") {  // position of a progress bar
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    DWORD_PTR pos = 0;
    SendMessageTimeoutW(u, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &pos);
    return "ok\t" + std::to_string(pos);
  }
  if (verb == "items") {  // the strings of a list unit, in order
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(u, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    std::string out = "ok";
    for (DWORD_PTR i = 0; i < count; ++i) {
      wchar_t text[512] = {};
      DWORD_PTR n = 0;
      SendMessageTimeoutW(u, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &n);
      out += "\t" + Utf8(text);
    }
    return out;
  }
  if (verb == "row-rect") {  // screen rectangle of a list page's row button: x y w h
    HWND w = FindDefinitionWindow(arg(1));
    HWND b = w ? GetDlgItem(w, kFirstRowButtonId + std::stoi(arg(2))) : nullptr;
    if (!b) return "err\tno row " + arg(2);
    RECT r;
    GetWindowRect(b, &r);
    return "ok\t" + std::to_string(r.left) + "\t" + std::to_string(r.top) + "\t" +
           std::to_string(r.right - r.left) + "\t" + std::to_string(r.bottom - r.top);
  }
  if (verb == "focus") {  // gives a unit (or a row button: focus <window> row <r>) the keyboard focus
    HWND h = nullptr;
    if (arg(2) == "row") {
      HWND w = FindDefinitionWindow(arg(1));
      h = w ? GetDlgItem(w, kFirstRowButtonId + std::stoi(arg(3))) : nullptr;
    } else {
      h = FindUnitWindow(arg(1), arg(2), why);
    }
    if (!h) return "err\tno such unit";
    DWORD thread = GetWindowThreadProcessId(h, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    SetForegroundWindow(GetAncestor(h, GA_ROOT));
    SetFocus(h);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    return "ok";
  }
  if (verb == "focused") {  // class and control id of the window with Velmora's keyboard focus
    HWND main = FindDefinitionWindow("main");
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (!main || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui) || !gui.hwndFocus) {
      return "err\tno focus";
    }
    return "ok\t" + ClassOf(gui.hwndFocus) + "\t" + std::to_string(GetDlgCtrlID(gui.hwndFocus));
  }
  if (verb == "key") {  // key <vk>: a key press for the window that has Velmora's keyboard focus
    HWND main = FindDefinitionWindow("main");
    if (!main) return "err\tno main window";
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui) || !gui.hwndFocus) {
      return "err\tno focus";
    }
    const WPARAM vk = static_cast<WPARAM>(std::stoi(arg(1)));
    PostMessageW(gui.hwndFocus, WM_KEYDOWN, vk, 1);
    PostMessageW(gui.hwndFocus, WM_KEYUP, vk, 0xC0000001);
    return "ok\t" + ClassOf(gui.hwndFocus) + "\t" + std::to_string(GetDlgCtrlID(gui.hwndFocus));
  }
  if (verb == "answers") {  // whether the window takes a message within <ms>: "ok\t1" or "ok\t0"
    HWND w = FindDefinitionWindow(arg(1));
    if (!w) return "err\tno window " + arg(1);
    DWORD_PTR r = 0;
    const UINT ms = static_cast<UINT>(std::stoul(arg(2)));
    return SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &r) ? "ok\t1" : "ok\t0";
  }
  if (verb == "watch") {  // sends the window a message every <every> ms until a message box of
                          // Velmora's shows (or <ms> pass): the longest wait for an answer
    HWND w = FindDefinitionWindow(arg(1));
    if (!w) return "err\tno window " + arg(1);
    const DWORD limit = static_cast<DWORD>(std::stoul(arg(2)));
    const DWORD every = static_cast<DWORD>(std::stoul(arg(3)));
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    double longest = 0;
    int probes = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < limit && IsWindow(w) && !WaitDialog(false, 0)) {
      DWORD_PTR r = 0;
      QueryPerformanceCounter(&a);
      SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &r);
      QueryPerformanceCounter(&b);
      longest = std::max(longest, 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / f.QuadPart);
      ++probes;
      Sleep(every);
    }
    char out[64];
    std::snprintf(out, sizeof out, "ok\t%.1f\t%d", longest, probes);
    return out;
  }
  if (verb == "scroll-end") {  // scrolls an edit box to its end: first visible line, whether
                               // the last line is then in view, read-only, scroll bar
    HWND u = FindUnitWindow(arg(1), arg(2), why);
    if (!u) return "err\t" + why;
    SendMessageW(u, WM_VSCROLL, SB_BOTTOM, 0);
    const LRESULT count = SendMessageW(u, EM_GETLINECOUNT, 0, 0);
    const LRESULT first = SendMessageW(u, EM_GETFIRSTVISIBLELINE, 0, 0);
    const LRESULT pos = SendMessageW(u, EM_POSFROMCHAR, SendMessageW(u, EM_LINEINDEX, count - 1, 0), 0);
    RECT rc;
    GetClientRect(u, &rc);
    const int y = static_cast<short>(HIWORD(pos));
    const LONG style = GetWindowLongW(u, GWL_STYLE);
    return "ok\t" + std::to_string(first) + "\t" + (y >= 0 && y < rc.bottom ? "1" : "0") + "\t" +
           ((style & ES_READONLY) ? "1" : "0") + "\t" + ((style & WS_VSCROLL) ? "1" : "0");
  }
  if (verb == "ping") return "ok";
  return "err\tunknown command " + verb;
}

}  // namespace

int main() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  std::string pending;
  char buf[4096];
  for (;;) {
    size_t nl;
    while ((nl = pending.find('\n')) == std::string::npos) {
      DWORD got = 0;
      if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0) return 0;
      pending.append(buf, got);
    }
    std::string line = pending.substr(0, nl);
    pending.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string reply;
    try {
      reply = Run(Split(line));
    } catch (const std::exception& e) {
      reply = std::string("err\t") + e.what();
    }
    for (char& c : reply) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    reply += "\n";
    DWORD written = 0;
    WriteFile(out, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
  }
}
