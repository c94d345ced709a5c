#pragma once
// What list views and check lists share: a system list view whose rows follow the component's.
// The rows the list view shows are remembered, so that a change of the items sends only what
// differs and the list view's own notifications can tell the user's changes from the binding's.

#include "components/win32/CLWinSite.h"

class TRowsSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void PropertyChanged(std::wstring_view aProperty) override;
  void ApplyColours() override;
  bool Notify(NMHDR& aHeader, LRESULT& aResult) override;

protected:
  struct TColumnLayout {
    std::wstring Caption;
    int Width = 0;
  };

  // The component's rows: a cell (aColumn below the column count), the picture, the marks.
  virtual int RowCount() const = 0;
  virtual const std::wstring& RowText(int aIndex, size_t aColumn) const = 0;
  virtual int RowImage(int) const { return -1; }
  virtual bool RowChecked(int aIndex) const = 0;
  virtual bool RowSelected(int aIndex) const = 0;
  // The user ticked or chose a row (the component may refuse).
  virtual void ToggleByUser(int aIndex) = 0;
  virtual void SelectByUser(int aIndex, bool aSelected) = 0;
  // The columns at the list view's present width.
  virtual std::vector<TColumnLayout> Columns(int aClientWidth) const = 0;
  // The extended styles the component asks for; views and pictures as it wants them.
  virtual DWORD SyncViewStyle() = 0;

  void SyncListStyle();
  void CreateColumns();
  void SyncRows();

private:
  struct TRow {
    std::vector<std::wstring> Texts;
    int Image = -1;
    bool Checked = false;
    bool Selected = false;
  };

  void AddRow(int aIndex, size_t aColumns);
  void UpdateRow(int aIndex, size_t aColumns, bool aAdded);
  bool ItemChanged(const NMLISTVIEW& aChange);

  std::vector<TRow> FRows;
  int FColumnCount = 0;
};
