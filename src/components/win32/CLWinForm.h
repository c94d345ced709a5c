#pragma once
// The window of one form and the real controls of its components (used by CLWinBinding.cpp;
// other units reach it through the lookups of CLWinBinding.h).

#include "components/CLListControls.h"

#include <windows.h>

#include <commctrl.h>

// The form host's PostMessage, not the system's macro of that name.
#undef PostMessage

#include <map>
#include <memory>
#include <string>
#include <vector>

enum class TSiteKind {
  Label,
  Link,
  Button,
  CheckBox,
  Radio,
  Edit,
  Spin,
  Combo,
  CheckList,
  Panel,
  Progress,
  Image,
  Pages,
  Sheet,
  List,
  Tree
};

// A list row as the list view last showed it, so that a change of the items sends only what
// differs and the list view's own notifications can tell the user's changes from ours.
struct TListRow {
  std::vector<std::wstring> Texts;
  int Image = -1;
  bool Checked = false;
  bool Selected = false;
};

// A tree node as the tree view last showed it.
struct TTreeEntry {
  TTreeNode* Node = nullptr;
  HTREEITEM Item = nullptr;
  std::wstring Text;
  int Image = -1;
  bool Checked = false;
  bool Expanded = false;
};

struct TControlSite {
  TControl* Control = nullptr;
  TSiteKind Kind = TSiteKind::Panel;
  HWND Window = nullptr;
  HWND UpDown = nullptr; // a spin edit's arrows
  int Id = 0;
  // Set while the binding itself changes the control, whose notifications are then ours.
  int Updating = 0;
  std::vector<TListRow> Rows;
  int ColumnCount = 0;
  // A tree view's nodes in the order TTreeNodes::All gives them.
  std::vector<TTreeEntry> Nodes;
  // A page control's tabs: the page index and caption of each tab.
  std::vector<int> Tabs;
  std::vector<std::wstring> TabTexts;
  HBITMAP Picture = nullptr;
  int PictureWidth = 0;
  int PictureHeight = 0;
};

class TFormWindow : public IFormHost, public IComponentBinding {
public:
  explicit TFormWindow(TForm& aForm);
  ~TFormWindow() override;
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;

  // Makes the window and every control; false (and the form stays headless) on failure.
  bool Create();

  static TFormWindow* Find(const TForm& aForm);
  // The form window for the form's window or any window on it.
  static TFormWindow* FromWindow(HWND aWindow);
  static const std::vector<TFormWindow*>& All();

  TForm& Form() const { return FForm; }
  HWND Window() const { return FWindow; }
  HWND ControlWindow(const TComponent& aControl) const;
  int Dpi() const { return FDpi; }

  // IFormHost
  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(FWindow); }
  bool PostMessage(uint32_t aMsg, uintptr_t aWParam, intptr_t aLParam) override;
  bool ClientToScreen(const TControl& aControl, int& aX, int& aY) const override;
  void AnimateToTray() override;

  // IComponentBinding
  void PropertyChanged(TComponent& aComponent, std::wstring_view aProperty) override;
  void ComponentDestroyed(TComponent& aComponent) override;

  // The skin changed: new font and colours, everything painted again.
  void ApplySkin();
  // The button that Enter (mr::OK) or Escape (mr::Cancel) clicks, or nullptr.
  TButton* DialogButton(TModalResult aResult) const;

  // Window procedures of the form window and of the binding's own container windows.
  static LRESULT CALLBACK FormProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  static LRESULT CALLBACK ContainerProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);

private:
  LRESULT FormMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  LRESULT ContainerMessage(TControlSite& aSite, UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  // The messages the controls send their parent; true when handled.
  bool ChildMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam, LRESULT& aResult);
  bool Command(TControlSite& aSite, int aCode);
  bool Notify(TControlSite& aSite, NMHDR& aHeader, LRESULT& aResult);
  void ContextMenu(HWND aWindow, LPARAM aLParam);
  static LRESULT CALLBACK MouseSubclass(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam,
                                        UINT_PTR aId, DWORD_PTR aData);

  // Controls
  void CreateChildren(TWinControl& aParent);
  void CreateSite(TControl& aControl);
  HWND ParentWindow(const TControl& aControl) const;
  void DestroySite(TComponent& aControl);
  void ForgetDeadWindows();
  void ControlChanged(TControlSite& aSite, std::wstring_view aProperty);
  void PlaceControl(TControlSite& aSite);
  void PlaceAll();
  void ShowControl(TControlSite& aSite);
  void SetCaption(TControlSite& aSite);
  void SetHint(TControlSite& aSite);
  void SetStyleBit(HWND aWindow, LONG_PTR aBit, bool aOn);
  void PushState(TControlSite& aSite);
  TControlSite* SiteOf(const TComponent* aComponent);
  TControlSite* SiteOfWindow(HWND aWindow);

  // Lists, trees, pages (CLWinLists.cpp)
  void CreateListColumns(TControlSite& aSite);
  void SyncListStyle(TControlSite& aSite);
  void SyncRows(TControlSite& aSite);
  void SyncTree(TControlSite& aSite);
  void SyncTreeSelection(TControlSite& aSite);
  void SyncTabs(TControlSite& aSite);
  void PlaceSheets(TControlSite& aPages);
  bool ListNotify(TControlSite& aSite, NMHDR& aHeader, LRESULT& aResult);
  bool TreeNotify(TControlSite& aSite, NMHDR& aHeader, LRESULT& aResult);
  void ReadTreeChecks(TControlSite& aSite);
  // Asks the form to read a tree view's ticks once the tree has made them (lParam: the tree).
  static UINT TreeCheckMessage();
  void SetListColours(TControlSite& aSite);

  // Form
  void FormChanged(std::wstring_view aProperty);
  void PlaceForm();
  void ShowFormWindow();
  void UpdateFont();
  void ApplyFrameTheme();
  void UserResized(WPARAM aKind);

  // Painting
  COLORREF Background(const TControl& aControl) const;
  COLORREF TextColour(const TControl& aControl) const;
  HBRUSH Brush(COLORREF aColour);
  void PaintContainer(TControlSite* aSite, HWND aWindow, HDC aDC);
  void PaintImage(TControlSite& aSite, HDC aDC);
  void LoadPicture(TControlSite& aSite);
  void DropPicture(TControlSite& aSite);

  int Scale(int aValue) const;
  int Unscale(int aValue) const;

  TForm& FForm;
  HWND FWindow = nullptr;
  HWND FToolTip = nullptr;
  HFONT FFont = nullptr;
  int FDpi = 96;
  int FNextId = 1000;
  // Set while the binding moves or resizes the window, whose WM_SIZE is then its own.
  int FPlacing = 0;
  bool FClosing = false;
  HWND FLastFocus = nullptr;
  std::map<const TComponent*, std::unique_ptr<TControlSite>> FSites;
  std::map<HWND, TControlSite*> FWindows;
  std::map<COLORREF, HBRUSH> FBrushes;
};
