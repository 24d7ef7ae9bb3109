#include "shell/ListPage.h"

#include "app/WindowDefs.h"
#include "catalogue/InstalledTest.h"
#include "platform/win32/WinText.h"
#include "shell/AppServices.h"
#include "shell/PluginPage.h"

namespace velmora {
namespace {

constexpr int kRowHeight = 72;
constexpr int kRowButtonWidth = 63, kRowButtonHeight = 23;

void DrawText8(HDC dc, std::string_view text, RECT r, UINT format) {
  std::wstring w = Wide(text);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, format | DT_NOPREFIX | DT_SINGLELINE);
}

}  // namespace

ListPage::ListPage(Category category, AppServices& app)
    : Form(ListPageDef(static_cast<int>(category))), category_(category), app_(app) {
  OnCreated([this] { AddRows(); });
}

void ListPage::AddRows() {
  HWND list = Unit(InfoOf(category_).listUnit);
  auto entries = EntriesOf(category_);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
  for (size_t r = 0; r < entries.size(); ++r) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entries[r].displayName).c_str()));
    // Row buttons sit on the page above the list (the rows never scroll: at most
    // five fit), so their clicks reach this page; LayoutExtras places them.
    HWND b = CreateWindowExW(0, L"BUTTON", L"详细", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                             0, 0, 0, 0, hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstRowButtonId + r)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    rowButtons_.push_back(b);
  }
}

void ListPage::LayoutExtras() {
  nameFont_ = win32::UiFont(Scale(14), FW_BOLD);
  SendMessageW(Unit(InfoOf(category_).listUnit), LB_SETITEMHEIGHT, 0, Scale(kRowHeight));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(Unit(InfoOf(category_).listUnit), WM_GETFONT, 0, 0));
  for (size_t r = 0; r < rowButtons_.size(); ++r) {
    int y = static_cast<int>(r) * kRowHeight + (kRowHeight - kRowButtonHeight) / 2;
    SetWindowPos(rowButtons_[r], nullptr, Scale(640 - 24 - kRowButtonWidth), Scale(y),
                 Scale(kRowButtonWidth), Scale(kRowButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    if (font) SendMessageW(rowButtons_[r], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

void ListPage::RefreshRowButtons() {
  auto entries = EntriesOf(category_);
  for (size_t r = 0; r < rowButtons_.size(); ++r) {
    bool installed = IsInstalled(app_.fs, app_.programDir, entries[r]);
    SetWindowTextW(rowButtons_[r], installed ? L"已安装" : L"详细");
  }
}

void ListPage::DrawRow(const DRAWITEMSTRUCT& item) {
  auto entries = EntriesOf(category_);
  if (item.itemID >= entries.size()) return;
  const CatalogueEntry& e = entries[item.itemID];
  HDC dc = item.hDC;
  RECT row = item.rcItem;
  FillRect(dc, &row, GetSysColorBrush(COLOR_WINDOW));
  RECT line = {row.left + Scale(8), row.bottom - 1, row.right - Scale(8), row.bottom};
  FillRect(dc, &line, GetSysColorBrush(COLOR_3DLIGHT));
  // The category medal: a gold-rimmed disc until the category pictures arrive.
  int cx = row.left + Scale(12), cy = row.top + (row.bottom - row.top - Scale(35)) / 2;
  BrushHandle gold(CreateSolidBrush(RGB(212, 170, 64)));
  BrushHandle navy(CreateSolidBrush(RGB(30, 70, 130)));
  HGDIOBJ oldBrush = SelectObject(dc, gold.Get());
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Ellipse(dc, cx, cy, cx + Scale(35), cy + Scale(35));
  SelectObject(dc, navy.Get());
  Ellipse(dc, cx + Scale(4), cy + Scale(4), cx + Scale(31), cy + Scale(31));
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);

  SetBkMode(dc, TRANSPARENT);
  int textLeft = cx + Scale(35 + 14);
  int mid = (row.top + row.bottom) / 2;
  HGDIOBJ oldFont = SelectObject(dc, nameFont_.Get());
  SetTextColor(dc, RGB(20, 40, 80));
  DrawText8(dc, e.displayName, {textLeft, row.top + Scale(8), textLeft + Scale(220), mid}, DT_LEFT | DT_VCENTER);
  SelectObject(dc, oldFont);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  DrawText8(dc, e.description, {textLeft, mid, textLeft + Scale(300), row.bottom - Scale(8)},
            DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
  SetTextColor(dc, RGB(96, 96, 96));
  int right = textLeft + Scale(310);
  DrawText8(dc, e.sizeLabel, {right, row.top + Scale(8), right + Scale(90), mid}, DT_LEFT | DT_VCENTER);
  DrawText8(dc, e.authorCredit, {right, mid, right + Scale(160), row.bottom - Scale(8)},
            DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
}

bool ListPage::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = Scale(kRowHeight);
      result = TRUE;
      return true;
    case WM_DRAWITEM:
      DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      result = TRUE;
      return true;
    case WM_SHOWWINDOW:
      // A plug-in's state is read from the game folder each time the page shows.
      if (wp) RefreshRowButtons();
      return false;
    case WM_COMMAND: {
      int id = LOWORD(wp);
      if (HIWORD(wp) == BN_CLICKED && id >= kFirstRowButtonId &&
          id < kFirstRowButtonId + static_cast<int>(rowButtons_.size())) {
        const CatalogueEntry& e = EntriesOf(category_)[id - kFirstRowButtonId];
        app_.pluginPages->Open(IndexOf(e), GetAncestor(hwnd(), GA_ROOT));
        result = 0;
        return true;
      }
      return false;
    }
  }
  return false;
}

}  // namespace velmora
