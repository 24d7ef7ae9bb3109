#include "shell/ListPage.h"

#include <commctrl.h>

#include "catalogue/InstalledState.h"
#include "platform/win32/CallbackGuard.h"
#include "platform/win32/PictureBitmap.h"
#include "platform/win32/WinText.h"
#include "shell/AppServices.h"
#include "shell/Pictures.h"
#include "shell/PluginPage.h"
#include "ui/ListPageTexts.h"
#include "ui/UnitNames.h"
#include "ui/WindowDefs.h"

namespace velmora {
namespace {

constexpr int kRowHeight = 84;
constexpr int kFaceWidth = 63, kFaceHeight = 23;  // one state of a face strip
constexpr int kIconSize = 35;
constexpr UINT_PTR kSubclassId = 1;

void DrawText8(HDC dc, std::string_view text, RECT r, UINT format) {
  std::wstring w = Wide(text);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, format | DT_NOPREFIX | DT_SINGLELINE);
}

}  // namespace

ListPage::ListPage(Category category, AppServices& app)
    : Form(ListPageDef(static_cast<int>(category))), category_(category), app_(app) {
  OnCreated([this] { AddRows(); });
}

ListPage::~ListPage() {
  if (HWND list = List()) RemoveWindowSubclass(list, &ListProc, kSubclassId);
  for (const RowButton& b : rowButtons_) RemoveWindowSubclass(b.hwnd, &ButtonProc, kSubclassId);
}

HWND ListPage::List() const { return Unit(units::list_page::kLists[static_cast<int>(category_)]); }

void ListPage::AddRows() {
  HWND list = List();
  auto entries = EntriesOf(category_);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
  SetWindowSubclass(list, &ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  for (size_t r = 0; r < entries.size(); ++r) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entries[r].displayName).c_str()));
    // Row buttons are the page's children above the list, so they take the
    // focus in the tab order and their clicks reach the page; PlaceRowButtons
    // keeps them on their rows as the list scrolls.
    HWND b = CreateWindowExW(0, L"BUTTON", Wide(text::kRowNotInstalled).c_str(),
                             WS_CHILD | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 0, 0, hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstRowButtonId + r)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Above the list, in row order: the z-order is also the tab order.
    SetWindowPos(b, rowButtons_.empty() ? HWND_TOP : rowButtons_.back().hwnd, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
    SetWindowSubclass(b, &ButtonProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    rowButtons_.push_back({b});
  }
}

void ListPage::LayoutExtras() {
  // Pictures and the name font follow the DPI the page is shown at.
  nameFont_ = win32::UiFont(Scale(14), FW_BOLD);
  icon_ = LoadPictureBitmap(InfoOf(category_).iconResource, Scale(kIconSize), Scale(kIconSize));
  detailsFace_ = LoadPictureBitmap("FACE_DETAILS", Scale(kFaceWidth), 3 * Scale(kFaceHeight));
  installedFace_ = LoadPictureBitmap("FACE_INSTALLED", Scale(kFaceWidth), 3 * Scale(kFaceHeight));
  SendMessageW(List(), LB_SETITEMHEIGHT, 0, Scale(kRowHeight));
  PlaceRowButtons();
}

void ListPage::PlaceRowButtons() {
  HWND list = List();
  RECT client;
  GetClientRect(list, &client);
  for (size_t r = 0; r < rowButtons_.size(); ++r) {
    RECT item{};
    bool shown = SendMessageW(list, LB_GETITEMRECT, r, reinterpret_cast<LPARAM>(&item)) != LB_ERR &&
                 item.top >= client.top && item.bottom <= client.bottom;
    POINT at{client.right - Scale(24 + kFaceWidth), (item.top + item.bottom - Scale(kFaceHeight)) / 2};
    MapWindowPoints(list, hwnd(), &at, 1);
    // A row scrolled out of view takes its button with it; a focused one stays
    // reachable until the focus moves on.
    SetWindowPos(rowButtons_[r].hwnd, nullptr, at.x, at.y, Scale(kFaceWidth), Scale(kFaceHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
}

void ListPage::RefreshRows() {
  auto entries = EntriesOf(category_);
  for (size_t r = 0; r < rowButtons_.size(); ++r) {
    RowButton& b = rowButtons_[r];
    b.installed = IsInstalled(app_.fs, app_.programDir, entries[r]);
    // The face's word, for assistive tools and the UI driver; the face itself is a picture.
    SetWindowTextW(b.hwnd, Wide(b.installed ? text::kRowInstalled : text::kRowNotInstalled).c_str());
    InvalidateRect(b.hwnd, nullptr, FALSE);
  }
}

void ListPage::OpenRow(size_t row) {
  auto entries = EntriesOf(category_);
  if (row < entries.size()) app_.pluginPages->Open(IndexOf(entries[row]), GetAncestor(hwnd(), GA_ROOT));
}

void ListPage::DrawRow(const DRAWITEMSTRUCT& item) {
  auto entries = EntriesOf(category_);
  if (item.itemID >= entries.size()) return;
  const CatalogueEntry& e = entries[item.itemID];
  HDC dc = item.hDC;
  RECT row = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &row, GetSysColorBrush(selected ? COLOR_3DLIGHT : COLOR_WINDOW));
  RECT line = {row.left + Scale(8), row.bottom - 1, row.right - Scale(8), row.bottom};
  FillRect(dc, &line, GetSysColorBrush(COLOR_3DLIGHT));
  int iconX = row.left + Scale(12), iconY = row.top + (row.bottom - row.top - Scale(kIconSize)) / 2;
  win32::DrawBitmapPart(dc, icon_.Get(), 0, 0, Scale(kIconSize), Scale(kIconSize), iconX, iconY);

  SetBkMode(dc, TRANSPARENT);
  const int textLeft = iconX + Scale(kIconSize + 14);
  const int mid = (row.top + row.bottom) / 2;
  {
    Selection nameFont(dc, nameFont_.Get());
    SetTextColor(dc, RGB(20, 40, 80));
    DrawText8(dc, e.displayName, {textLeft, row.top + Scale(8), textLeft + Scale(260), mid},
              DT_LEFT | DT_VCENTER);
  }
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  DrawText8(dc, e.description, {textLeft, mid, textLeft + Scale(290), row.bottom - Scale(8)},
            DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
  SetTextColor(dc, RGB(96, 96, 96));
  const int right = textLeft + Scale(300);
  DrawText8(dc, e.sizeLabel, {right, row.top + Scale(8), right + Scale(90), mid}, DT_LEFT | DT_VCENTER);
  DrawText8(dc, e.authorCredit, {right, mid, right + Scale(150), row.bottom - Scale(8)},
            DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = row;
    InflateRect(&focus, -2, -2);
    DrawFocusRect(dc, &focus);
  }
}

void ListPage::DrawRowButton(const DRAWITEMSTRUCT& item, const RowButton& button) {
  HDC dc = item.hDC;
  // The list's white shows around the face's rounded corners.
  FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
  const int state = (item.itemState & ODS_SELECTED) ? 2 : button.hot ? 1 : 0;
  const int w = Scale(kFaceWidth), h = Scale(kFaceHeight);
  HBITMAP face = button.installed ? installedFace_.Get() : detailsFace_.Get();
  if (!win32::DrawBitmapPart(dc, face, 0, state * h, w, h, item.rcItem.left, item.rcItem.top)) {
    DrawFrameControl(dc, const_cast<RECT*>(&item.rcItem), DFC_BUTTON, DFCS_BUTTONPUSH);
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -Scale(3), -Scale(3));
    DrawFocusRect(dc, &focus);
  }
}

bool ListPage::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = Scale(kRowHeight);
      result = TRUE;
      return true;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (item.CtlType == ODT_BUTTON) {
        for (const RowButton& b : rowButtons_) {
          if (b.hwnd == item.hwndItem) DrawRowButton(item, b);
        }
      } else {
        DrawRow(item);
      }
      result = TRUE;
      return true;
    }
    case WM_SHOWWINDOW:
      // A plug-in's state is read from the game folder each time the page shows.
      if (wp) RefreshRows();
      return false;
    case WM_COMMAND: {
      int id = LOWORD(wp);
      if (HIWORD(wp) == BN_CLICKED && id >= kFirstRowButtonId &&
          id < kFirstRowButtonId + static_cast<int>(rowButtons_.size())) {
        OpenRow(static_cast<size_t>(id - kFirstRowButtonId));
        result = 0;
        return true;
      }
      return false;
    }
  }
  return false;
}

LRESULT CALLBACK ListPage::ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  return win32::Guarded("list", msg,
                        [&] { return reinterpret_cast<ListPage*>(data)->OnListMessage(list, msg, wp, lp); },
                        [&] { return DefSubclassProc(list, msg, wp, lp); });
}

LRESULT ListPage::OnListMessage(HWND list, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETDLGCODE && lp && reinterpret_cast<const MSG*>(lp)->wParam == VK_RETURN) {
    return DLGC_WANTALLKEYS;  // Enter opens the selected row rather than the dialog default
  }
  if (msg == WM_KEYDOWN && wp == VK_RETURN) {
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (sel != LB_ERR) OpenRow(static_cast<size_t>(sel));
    return 0;
  }
  LRESULT r = DefSubclassProc(list, msg, wp, lp);
  // Scrolled by the bar, the wheel or the keys: the row buttons follow their rows.
  if (msg == WM_VSCROLL || msg == WM_MOUSEWHEEL || msg == WM_KEYDOWN || msg == WM_SIZE) PlaceRowButtons();
  return r;
}

LRESULT CALLBACK ListPage::ButtonProc(HWND button, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  return win32::Guarded("row button", msg,
                        [&] { return reinterpret_cast<ListPage*>(data)->OnRowButtonMessage(button, msg, wp, lp); },
                        [&] { return DefSubclassProc(button, msg, wp, lp); });
}

LRESULT ListPage::OnRowButtonMessage(HWND button, UINT msg, WPARAM wp, LPARAM lp) {
  RowButton* self = nullptr;
  for (RowButton& b : rowButtons_) {
    if (b.hwnd == button) self = &b;
  }
  switch (msg) {
    case WM_MOUSEMOVE:
      if (self && !self->hot) {
        // The face under the mouse ("重装" on an installed row) until it leaves.
        self->hot = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
        InvalidateRect(button, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      if (self) self->hot = false;
      InvalidateRect(button, nullptr, FALSE);
      break;
    case WM_GETDLGCODE:
      if (lp && reinterpret_cast<const MSG*>(lp)->wParam == VK_RETURN) return DLGC_WANTALLKEYS;
      break;
    case WM_KEYDOWN:
      if (wp == VK_RETURN) {  // Enter presses the focused row button, as Space does
        SendMessageW(button, BM_CLICK, 0, 0);
        return 0;
      }
      break;
  }
  return DefSubclassProc(button, msg, wp, lp);
}

}  // namespace velmora
