#pragma once
// A check list: a list view of one column without a header, a tick before every item.

#include "components/win32/CLWinRowsSite.h"

class TCheckListSite : public TRowsSite {
public:
  using TRowsSite::TRowsSite;
  void Place() override;

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;
  int RowCount() const override;
  const std::wstring& RowText(int aIndex, size_t aColumn) const override;
  bool RowChecked(int aIndex) const override;
  bool RowSelected(int aIndex) const override;
  void ToggleByUser(int aIndex) override;
  void SelectByUser(int aIndex, bool aSelected) override;
  std::vector<TColumnLayout> Columns(int aClientWidth) const override;
  DWORD SyncViewStyle() override { return LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT; }

private:
  TCheckListBox& List() const { return static_cast<TCheckListBox&>(Control()); }
};
