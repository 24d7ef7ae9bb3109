// A list page: the rows of one category in the main window's page area, each
// with the category icon, the entry's texts and a row button drawn from its face
// strip (the details face, or the installed face while the entry is installed)
// that opens the entry's plug-in page.
#pragma once

#include <vector>

#include "catalogue/Catalogue.h"
#include "platform/win32/WinHandle.h"
#include "ui/win32/Form.h"

namespace velmora {

struct AppServices;

class ListPage final : public win32::Form {
 public:
  ListPage(Category category, AppServices& app);
  ~ListPage() override;

  // Reads every row's state from the game folder again.
  void RefreshRows();

 private:
  struct RowButton {
    HWND hwnd = nullptr;
    bool installed = false;
    bool hot = false;  // the mouse is over it
  };

  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void AddRows();
  void LayoutExtras() override;
  void PlaceRowButtons();
  void DrawRow(const DRAWITEMSTRUCT& item);
  void DrawRowButton(const DRAWITEMSTRUCT& item, const RowButton& button);
  void OpenRow(size_t row);
  HWND List() const;
  static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT OnListMessage(HWND list, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnRowButtonMessage(HWND button, UINT msg, WPARAM wp, LPARAM lp);

  Category category_;
  AppServices& app_;
  std::vector<RowButton> rowButtons_;
  FontHandle nameFont_;
  BitmapHandle icon_, detailsFace_, installedFace_;
};

}  // namespace velmora
