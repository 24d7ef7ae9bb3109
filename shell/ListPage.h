// A list page: the rows of one category in the main window's page area, each
// with the entry's texts and a row button that opens its plug-in page.
#pragma once

#include <vector>

#include "catalogue/Catalogue.h"
#include "platform/win32/Form.h"
#include "platform/win32/WinHandle.h"

namespace velmora {

struct AppServices;

class ListPage final : public win32::Form {
 public:
  ListPage(Category category, AppServices& app);

 private:
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void AddRows();
  void LayoutExtras() override;
  void RefreshRowButtons();
  void DrawRow(const DRAWITEMSTRUCT& item);

  Category category_;
  AppServices& app_;
  std::vector<HWND> rowButtons_;
  FontHandle nameFont_;
};

}  // namespace velmora
