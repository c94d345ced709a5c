#pragma once
// A list view: columns, rows with pictures, ticks and the selection of the component's items.

#include "components/CLListControls.h"
#include "components/win32/CLWinRowsSite.h"

class TListViewSite : public TRowsSite {
public:
  using TRowsSite::TRowsSite;
  void Place() override;
  void PropertyChanged(std::wstring_view aProperty) override;
  bool HoldsButtonDown() const override { return true; }
  // The column header, which tells the list view of the widths the user gives the columns.
  bool OwnsWindow(HWND aWindow) const override;
  bool Notify(NMHDR& aHeader, LRESULT& aResult) override;

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;
  int RowCount() const override;
  const std::wstring& RowText(int aIndex, size_t aColumn) const override;
  int RowImage(int aIndex) const override;
  bool RowChecked(int aIndex) const override;
  bool RowSelected(int aIndex) const override;
  void ToggleByUser(int aIndex) override;
  void SelectByUser(int aIndex, bool aSelected) override;
  std::vector<TColumnLayout> Columns(int aClientWidth) const override;
  DWORD SyncViewStyle() override;

private:
  TListView& List() const { return static_cast<TListView&>(Control()); }
};
