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

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> f;
  for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = text.find(sep, start);
    f.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
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

// A message's answer, or 0 when the window does not take it within 5 s.
DWORD_PTR Ask(HWND h, UINT message, WPARAM wp = 0, LPARAM lp = 0) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, message, wp, lp, SMTO_ABORTIFHUNG, 5000, &r);
  return r;
}

std::string WindowText(HWND h) {
  wchar_t buf[4096];
  return Utf8(std::wstring(buf, Ask(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf))));
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

BOOL CALLBACK FindTree(HWND h, LPARAM lp) {
  if (ClassOf(h) != "SysTreeView32") return TRUE;
  *reinterpret_cast<HWND*>(lp) = h;
  return FALSE;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<DialogState*>(lp);
  if (!IsWindowVisible(h) || ClassOf(h) != "#32770") return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (g_velmoraPid && pid != g_velmoraPid) return TRUE;
  HWND tree = nullptr;
  EnumChildWindows(h, FindTree, reinterpret_cast<LPARAM>(&tree));
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

// The commands: a[1..] are the fields after the verb. A handler throws for an
// "err" answer; main tells what.
using Refused = std::runtime_error;

struct Args {
  const std::vector<std::string>& f;
  std::string operator[](size_t i) const { return i < f.size() ? f[i] : std::string(); }
  int Int(size_t i) const { return std::stoi((*this)[i]); }
  int Ms(size_t i) const { return i < f.size() && !f[i].empty() ? std::stoi(f[i]) : 10000; }
};

template <typename... T>
std::string Ok(const T&... fields) {
  std::string out = "ok";
  ((out += "\t", out += fields), ...);
  return out;
}
std::string Flag(bool b) { return b ? "1" : "0"; }
std::string Num(long long n) { return std::to_string(n); }

std::string Checked(bool ok, const std::string& why) {
  if (!ok) throw Refused(why);
  return "ok";
}

HWND Window(const std::string& name) {
  HWND w = FindDefinitionWindow(name);
  Checked(w, "no window " + name);
  return w;
}

HWND Unit(const Args& a) {
  const WindowDef* def = &AllWindows()[std::max(0, DefinitionIndex(a[1]))];
  const UnitDef* unit = FindUnit(*def, a[2]);
  Checked(unit, "no unit " + a[2] + " in " + a[1]);
  HWND u = GetDlgItem(Window(a[1]), kFirstUnitId + static_cast<int>(unit - def->units.data()));
  Checked(u, "unit has no window: " + a[2]);
  return u;
}

HWND Row(const std::string& window, const std::string& row) {
  HWND b = GetDlgItem(Window(window), kFirstRowButtonId + std::stoi(row));
  Checked(b, "no row " + row);
  return b;
}

// A list page is made when its page button is first pressed: wait for it.
HWND WaitRow(const Args& a) {
  WaitFor(10000, [&] {
    HWND h = FindDefinitionWindow(a[1]);
    return h && GetDlgItem(h, kFirstRowButtonId + a.Int(2));
  });
  return Row(a[1], a[2]);
}

std::string RectOf(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return Ok(Num(r.left), Num(r.top), Num(r.right - r.left), Num(r.bottom - r.top));
}

HWND Dialog(bool folderBrowser, int ms) {
  HWND d = WaitDialog(folderBrowser, ms);
  Checked(d, folderBrowser ? "no folder browser" : "no message box");
  return d;
}

std::string Closes(HWND dialog, int button, const char* what) {
  Checked(ClickDialogButton(dialog, button), "no such button");
  return Checked(WaitFor(10000, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }),
                 std::string(what) + " stayed open");
}

// The unit that has Velmora's keyboard focus.
HWND Focused() {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  Checked(GetGUIThreadInfo(GetWindowThreadProcessId(Window("main"), nullptr), &gui) && gui.hwndFocus, "no focus");
  return gui.hwndFocus;
}

std::string Post(HWND h, UINT message = BM_CLICK) { return Checked(PostMessageW(h, message, 0, 0), "post failed"); }

std::string Bind(const Args& a) {
  g_boundFolder = LowerW(Wide(a[1]));
  g_velmoraPid = 0;
  return "ok";
}

std::string CountWindows(const Args& a) {
  CountState c{AllWindows()[std::max(0, DefinitionIndex(a[1]))].number};
  EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&c));
  return Ok(Num(c.n));
}

std::string Minimize(const Args& a) {
  HWND w = Window(a[1]);
  ShowWindowAsync(w, SW_MINIMIZE);
  return Checked(WaitFor(2000, [&] { return IsIconic(w) != 0; }), "not minimised");
}

std::string Foreground(const Args&) {
  const auto number = reinterpret_cast<INT_PTR>(GetPropW(GetForegroundWindow(), kDefinitionProperty));
  for (const WindowDef& d : AllWindows()) {
    if (number == d.number) return Ok(std::string(d.name));
  }
  return "ok\t";
}

// As a click on the window's title bar: to the front, active.
std::string Raise(const Args& a) {
  HWND w = Window(a[1]);
  SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(w);
  return "ok";
}

std::string Units(const Args& a) {
  HWND w = Window(a[1]);
  const WindowDef& def = AllWindows()[DefinitionIndex(a[1])];
  std::string out = "ok";
  for (size_t i = 0; i < def.units.size(); ++i) {
    HWND u = GetDlgItem(w, kFirstUnitId + static_cast<int>(i));
    if (u) out.append("\t").append(def.units[i].name).append(IsWindowVisible(u) ? "=visible" : "=hidden");
  }
  return out;
}

std::string Lines(const Args& a) {
  std::string out = "ok";
  for (std::string line : Split(WindowText(Unit(a)), '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.append("\t").append(line);
  }
  return out;
}

std::string Items(const Args& a) {
  HWND u = Unit(a);
  std::string out = "ok";
  for (DWORD_PTR i = 0, count = Ask(u, LB_GETCOUNT); i < count; ++i) {
    wchar_t text[512] = {};
    Ask(u, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    out.append("\t").append(Utf8(text));
  }
  return out;
}

// Scrolls an edit box to its end: the first visible line, whether the last line
// is then in view, read-only, scroll bar.
std::string ScrollEnd(const Args& a) {
  HWND u = Unit(a);
  SendMessageW(u, WM_VSCROLL, SB_BOTTOM, 0);
  const LRESULT count = SendMessageW(u, EM_GETLINECOUNT, 0, 0);
  const LRESULT first = SendMessageW(u, EM_GETFIRSTVISIBLELINE, 0, 0);
  const LRESULT pos = SendMessageW(u, EM_POSFROMCHAR, SendMessageW(u, EM_LINEINDEX, count - 1, 0), 0);
  RECT rc;
  GetClientRect(u, &rc);
  const int y = static_cast<short>(HIWORD(pos));
  const LONG style = GetWindowLongW(u, GWL_STYLE);
  return Ok(Num(first), Flag(y >= 0 && y < rc.bottom), Flag(style & ES_READONLY), Flag(style & WS_VSCROLL));
}

// Lines, widest line, client width and height, line height of a text in a unit.
std::string Fits(const Args& a) {
  HWND u = Unit(a);
  RECT client;
  GetClientRect(u, &client);
  // The program's font is a handle of its own process; measure with the same
  // face at the same size: 宋体 9 pt at the given DPI.
  HFONT font = CreateFontW(-MulDiv(12, a.Int(4), 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           L"宋体");
  HDC dc = GetDC(u);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  auto measure = [dc](std::string_view piece) {
    std::wstring w = Wide(piece);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    return static_cast<int>(size.cx);
  };
  std::vector<std::string> lines = WrapLines(a[3], client.right, measure);
  int widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, measure(line));
  SelectObject(dc, old);
  ReleaseDC(u, dc);
  DeleteObject(font);
  return Ok(Num(static_cast<long long>(lines.size())), Num(widest), Num(client.right), Num(client.bottom),
            Num(tm.tmHeight + tm.tmExternalLeading));
}

// Moves the mouse over the window: the cursor shown there.
std::string CursorOver(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  CURSORINFO ci{};
  ci.cbSize = sizeof ci;
  Checked(GetCursorInfo(&ci), "GetCursorInfo failed");
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
  return Ok(which, hot(hand), hot(arrow));
}

// A window of ours showing the hand or the arrow, or none ("off").
std::string SampleCursor(const Args& a) {
  static HWND sample = nullptr;
  if (sample) DestroyWindow(sample), sample = nullptr;
  if (a[1] == "off") return "ok";
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelmoraCursorSample";
    return RegisterClassW(&wc) != 0;
  }();
  Checked(registered, "no window class");
  sample = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"VelmoraCursorSample", L"", WS_POPUP | WS_VISIBLE, 0,
                           0, 60, 60, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetClassLongPtrW(sample, GCLP_HCURSOR,
                   reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, a[1] == "hand" ? IDC_HAND : IDC_ARROW)));
  SetCursorPos(30, 30);
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  while (std::chrono::steady_clock::now() < until) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return "ok";
}

std::string Focus(const Args& a) {
  HWND h = a[2] == "row" ? Row(a[1], a[3]) : Unit(a);
  DWORD thread = GetWindowThreadProcessId(h, nullptr);
  AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
  SetForegroundWindow(GetAncestor(h, GA_ROOT));
  SetFocus(h);
  AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
  return "ok";
}

std::string FocusedText(HWND h) { return Ok(ClassOf(h), Num(GetDlgCtrlID(h))); }

std::string Key(const Args& a) {
  HWND h = Focused();
  const WPARAM vk = static_cast<WPARAM>(a.Int(1));
  PostMessageW(h, WM_KEYDOWN, vk, 1);
  PostMessageW(h, WM_KEYUP, vk, 0xC0000001);
  return FocusedText(h);
}

std::string Answers(const Args& a) {
  DWORD_PTR r = 0;
  return Ok(Flag(SendMessageTimeoutW(Window(a[1]), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, std::stoul(a[2]), &r) != 0));
}

// Sends the window a message every <every> ms until a message box of Velmora's
// shows (or <ms> pass): the longest wait for an answer, and how many were sent.
std::string Watch(const Args& a) {
  HWND w = Window(a[1]);
  const DWORD limit = std::stoul(a[2]), every = std::stoul(a[3]);
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  double longest = 0;
  int probes = 0;
  for (const DWORD start = GetTickCount(); GetTickCount() - start < limit && IsWindow(w) && !WaitDialog(false, 0);
       ++probes, Sleep(every)) {
    DWORD_PTR r = 0;
    QueryPerformanceCounter(&t0);
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &r);
    QueryPerformanceCounter(&t1);
    longest = std::max(longest, 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / f.QuadPart);
  }
  char out[64];
  std::snprintf(out, sizeof out, "ok\t%.1f\t%d", longest, probes);
  return out;
}

std::string MessageBoxText(const Args& a) {
  HWND d = Dialog(false, a.Ms(1));
  return Ok(WindowText(d), WindowText(GetDlgItem(d, kMessageTextId)));
}

std::string NoMessageBox(const Args& a) {
  HWND d = WaitDialog(false, a.Ms(1));
  return Checked(!d, d ? "message box: " + WindowText(GetDlgItem(d, kMessageTextId)) : "");
}

std::string Browse(const Args& a) {
  HWND d = Dialog(true, a.Ms(2));
  std::string err = SelectInBrowser(d, Wide(a[1]));
  Checked(err.empty(), err);
  return Closes(d, IDOK, "folder browser");
}

struct Command {
  std::string_view verb;
  size_t fields;  // the least number of fields after the verb
  std::string_view usage;
  std::string (*run)(const Args&);
};

using A = const Args&;
constexpr Command kCommands[] = {
    {"ping", 0, "", [](A) -> std::string { return "ok"; }},
    {"bind", 1, "<program folder>: that Velmora's windows only", Bind},
    {"wait-window", 1, "<window> [ms]",
     [](A a) { return Checked(WaitFor(a.Ms(2), [&] { return IsWindowVisible(FindDefinitionWindow(a[1])); }),
                              "no visible window " + a[1]); }},
    {"gone-window", 1, "<window> [ms]",
     [](A a) { return Checked(WaitFor(a.Ms(2), [&] { return !FindDefinitionWindow(a[1]); }), "still open " + a[1]); }},
    {"visible-window", 1, "<window>", [](A a) { return Ok(Flag(IsWindowVisible(Window(a[1])))); }},
    {"count-windows", 1, "<window>: how many show, of every Velmora", CountWindows},
    {"title", 1, "<window>", [](A a) { return Ok(WindowText(Window(a[1]))); }},
    {"minimize", 1, "<window>", Minimize},
    {"iconic", 1, "<window>", [](A a) { return Ok(Flag(IsIconic(Window(a[1])))); }},
    {"foreground", 0, "", Foreground},
    {"raise", 1, "<window>", Raise},
    {"close", 1, "<window>", [](A a) { return Post(Window(a[1]), WM_CLOSE); }},
    {"rect", 1, "<window> [unit]", [](A a) { return RectOf(a[2].empty() ? Window(a[1]) : Unit(a)); }},
    {"units", 1, "<window>", Units},
    {"click", 2, "<window> <unit>", [](A a) { return Post(Unit(a)); }},
    {"text", 2, "<window> <unit>", [](A a) { return Ok(WindowText(Unit(a))); }},
    {"lines", 2, "<window> <unit>", Lines},
    {"state", 2, "<window> <unit>", [](A a) {
       HWND u = Unit(a);
       return Ok(IsWindowVisible(u) ? "visible" : "hidden", IsWindowEnabled(u) ? "enabled" : "disabled");
     }},
    {"progress", 2, "<window> <unit>", [](A a) { return Ok(Num(static_cast<long long>(Ask(Unit(a), PBM_GETPOS)))); }},
    {"items", 2, "<window> <list unit>", Items},
    {"scroll-end", 2, "<window> <edit box>", ScrollEnd},
    {"fits", 4, "<window> <unit> <text> <dpi>", Fits},
    {"hover", 2, "<window> <unit>", [](A a) { return CursorOver(Unit(a)); }},
    {"hover-row", 2, "<list page> <row>", [](A a) { return CursorOver(Row(a[1], a[2])); }},
    {"sample-cursor", 1, "hand|arrow|off", SampleCursor},
    {"click-row", 2, "<list page> <row>", [](A a) { return Post(WaitRow(a)); }},
    {"row-text", 2, "<list page> <row>", [](A a) { return Ok(WindowText(WaitRow(a))); }},
    {"row-rect", 2, "<list page> <row>", [](A a) { return RectOf(Row(a[1], a[2])); }},
    {"focus", 2, "<window> <unit> | <list page> row <row>", Focus},
    {"focused", 0, "", [](A) { return FocusedText(Focused()); }},
    {"key", 1, "<virtual key>", Key},
    {"answers", 2, "<window> <ms>", Answers},
    {"watch", 3, "<window> <ms> <every ms>", Watch},
    {"msgbox", 0, "[ms]", MessageBoxText},
    {"no-msgbox", 0, "[ms]", NoMessageBox},
    {"answer", 0, "[ok|yes|no] [ms]", [](A a) {
       return Closes(Dialog(false, a.Ms(2)), a[1] == "yes" ? IDYES : a[1] == "no" ? IDNO : IDOK, "message box");
     }},
    {"wait-browser", 0, "[ms]", [](A a) { return Checked(Dialog(true, a.Ms(1)), ""); }},
    {"browse", 1, "<folder> [ms]", Browse},
    {"browse-cancel", 0, "<ignored> [ms]", [](A a) { return Closes(Dialog(true, a.Ms(2)), IDCANCEL, "folder browser"); }},
};

std::string Run(const std::vector<std::string>& f) {
  for (const Command& c : kCommands) {
    if (c.verb != f[0]) continue;
    if (f.size() - 1 < c.fields) return "err\tusage: " + std::string(c.verb) + " " + std::string(c.usage);
    return c.run(Args{f});
  }
  return "err\tunknown command " + f[0];
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
      reply = Run(Split(line, '\t'));
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
