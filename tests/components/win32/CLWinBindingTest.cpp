// The Win32 binding on the real window system: a form with one control of each kind gets real
// controls showing its components' state, property changes reach them, the user's actions on
// them come back as the components' events, and a modal dialog answers Enter and Escape.
#include "components/win32/CLWinBinding.h"

#include "components/CLDpiScale.h"
#include "components/CLListControls.h"
#include "components/CLSkin.h"
#include "support/win32/WinWindowTest.h"

#include <commctrl.h>

#include <map>
#include <memory>
#include <string>

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

class TBindingTestForm : public TForm {
public:
  explicit TBindingTestForm(const std::wstring& aClassName = L"TfrmBindingTest")
      : TForm(nullptr, aClassName) {
    SetCaption(L"Binding test");
    SetBounds(0, 0, 520, 380);
    lblName = Add<TLabel>(L"lblName", this, 8, 8, 90, 17);
    lblName->SetCaption(L"&Name:");
    edtName = Add<TEdit>(L"edtName", this, 100, 6, 150, 21);
    edtName->SetText(L"first");
    llHome = Add<TLinkLabel>(L"llHome", this, 270, 8, 120, 17);
    llHome->SetCaption(L"Home page");
    cbLater = Add<TCheckBox>(L"cbLater", this, 8, 34, 150, 19);
    cbLater->SetCaption(L"Ask me later");
    rbOne = Add<TRadioButton>(L"rbOne", this, 170, 34, 80, 19);
    rbOne->SetCaption(L"One");
    rbOne->SetChecked(true);
    rbTwo = Add<TRadioButton>(L"rbTwo", this, 260, 34, 80, 19);
    rbTwo->SetCaption(L"Two");
    cmbLanguage = Add<TComboBox>(L"cmbLanguage", this, 8, 60, 150, 21);
    cmbLanguage->Items().Assign({L"English", L"Deutsch", L"Français"});
    cmbLanguage->SetItemIndex(1);
    seDays = Add<TSpinEdit>(L"seDays", this, 170, 60, 70, 21);
    seDays->SetRange(1, 30);
    seDays->SetValue(7);
    pbScan = Add<TProgressBar>(L"pbScan", this, 260, 62, 240, 17);
    pbScan->SetPosition(40);
    pcPages = Add<TPageControl>(L"pcPages", this, 8, 90, 300, 140);
    tsList = NewComponent<TTabSheet>(this, L"tsList");
    tsList->SetPageControl(pcPages);
    tsList->SetCaption(L"Results");
    tsTree = NewComponent<TTabSheet>(this, L"tsTree");
    tsTree->SetPageControl(pcPages);
    tsTree->SetCaption(L"Topics");
    lvResult = Add<TListView>(L"lvResult", tsList, 4, 4, 280, 100);
    lvResult->SetViewStyle(TViewStyle::vsReport);
    lvResult->SetCheckboxes(true);
    lvResult->SetRowSelect(true);
    lvResult->Columns().Add().SetCaption(L"Problem");
    lvResult->Columns().Items(0).SetWidth(150);
    lvResult->Columns().Add().SetCaption(L"Place");
    lvResult->Columns().Items(1).SetAutoSize(true);
    for (const wchar_t* caption : {L"Unused file", L"Broken link"}) {
      TListItem& item = lvResult->Items().Add();
      item.SetCaption(caption);
      item.SubItems().Add(L"C:\\Temp");
      item.SetChecked(true);
    }
    tvTopics = Add<TTreeView>(L"tvTopics", tsTree, 4, 4, 280, 100);
    tvTopics->SetCheckboxes(true);
    TTreeNode& system = tvTopics->Items().Add(L"System");
    tvTopics->Items().AddChild(&system, L"Fonts").SetChecked(true);
    tvTopics->Items().AddChild(&system, L"Start menu");
    system.SetExpanded(true);
    clbSkins = Add<TCheckListBox>(L"clbSkins", this, 320, 90, 180, 80);
    clbSkins->Items().Assign({L"Default", L"Dark"});
    clbSkins->SetChecked(0, true);
    imgStrip = Add<TImage>(L"imgStrip", this, 320, 180, 192, 16);
    imgStrip->LoadFromFile(ProgramFolder() + L"res\\32.png");
    pnlButtons = Add<TPanel>(L"pnlButtons", this, 0, 300, 520, 80);
    pnlButtons->SetColor(0x00E0C0A0);
    btnOK = Add<TButton>(L"btnOK", pnlButtons, 320, 20, 90, 27);
    btnOK->SetCaption(L"OK");
    btnOK->SetModalResult(mr::OK);
    btnCancel = Add<TButton>(L"btnCancel", pnlButtons, 420, 20, 90, 27);
    btnCancel->SetCaption(L"Cancel");
    btnCancel->SetModalResult(mr::Cancel);
  }

  template <class T>
  T* Add(const std::wstring& aName, TWinControl* aParent, int aLeft, int aTop, int aWidth,
         int aHeight) {
    T* control = NewComponent<T>(this, aName);
    control->SetParent(aParent);
    control->SetBounds(aLeft, aTop, aWidth, aHeight);
    return control;
  }

  TLabel* lblName;
  TEdit* edtName;
  TLinkLabel* llHome;
  TCheckBox* cbLater;
  TRadioButton* rbOne;
  TRadioButton* rbTwo;
  TComboBox* cmbLanguage;
  TSpinEdit* seDays;
  TProgressBar* pbScan;
  TPageControl* pcPages;
  TTabSheet* tsList;
  TTabSheet* tsTree;
  TListView* lvResult;
  TTreeView* tvTopics;
  TCheckListBox* clbSkins;
  TImage* imgStrip;
  TPanel* pnlButtons;
  TButton* btnOK;
  TButton* btnCancel;
};

using ktest::win32::ListText;
using ktest::win32::WindowText;

bool ListChecked(HWND aList, int aRow) {
  return (::SendMessageW(aList, LVM_GETITEMSTATE, aRow, LVIS_STATEIMAGEMASK) &
          LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void SetListChecked(HWND aList, int aRow, bool aChecked) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(aChecked ? 2 : 1);
  ::SendMessageW(aList, LVM_SETITEMSTATE, aRow, reinterpret_cast<LPARAM>(&item));
}

// What a control sends its parent.
void Notify(HWND aControl, UINT aCode) {
  NMHDR header{aControl, static_cast<UINT_PTR>(::GetDlgCtrlID(aControl)), aCode};
  ::SendMessageW(::GetParent(aControl), WM_NOTIFY, header.idFrom,
                 reinterpret_cast<LPARAM>(&header));
}

void Command(HWND aControl, UINT aCode) {
  ::SendMessageW(::GetParent(aControl), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(aControl), aCode),
                 reinterpret_cast<LPARAM>(aControl));
}

class BindingWin : public WinWindowTest {
protected:
  void SetUp() override { FForm = std::make_unique<TBindingTestForm>(); }

  HWND Window(TControl& aControl) { return ControlWindow(aControl); }

  std::unique_ptr<TBindingTestForm> FForm;
};

TEST_F(BindingWin, ControlsShowTheirComponents) {
  TBindingTestForm& form = *FForm;
  form.ShowForm();
  HWND window = FormWindow(form);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(::FindWindowW(L"TfrmBindingTest", nullptr), window);
  EXPECT_EQ(FormFromWindow(Window(*form.edtName)), &form);
  EXPECT_EQ(WindowText(window), L"Binding test");

  // Sizes and places at the window's resolution.
  const int dpi = WindowDpi(window);
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, ScaleToDpi(520, dpi));
  EXPECT_EQ(client.bottom, ScaleToDpi(380, dpi));
  RECT edit{};
  ::GetWindowRect(Window(*form.edtName), &edit);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&edit), 2);
  EXPECT_EQ(edit.left, ScaleToDpi(100, dpi));
  EXPECT_EQ(edit.right - edit.left, ScaleToDpi(150, dpi));

  EXPECT_EQ(WindowText(Window(*form.lblName)), L"&Name:");
  EXPECT_EQ(WindowText(Window(*form.edtName)), L"first");
  EXPECT_EQ(WindowText(Window(*form.btnOK)), L"OK");
  EXPECT_EQ(::SendMessageW(Window(*form.cbLater), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(Window(*form.rbOne), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Window(*form.cmbLanguage), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(::SendMessageW(Window(*form.cmbLanguage), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(WindowText(Window(*form.seDays)), L"7");
  EXPECT_EQ(::SendMessageW(Window(*form.pbScan), PBM_GETPOS, 0, 0), 40);
  EXPECT_EQ(::SendMessageW(Window(*form.pcPages), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(Window(*form.pcPages), TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(::IsWindowVisible(Window(*form.tsList)));
  EXPECT_FALSE(::IsWindowVisible(Window(*form.tsTree)));

  HWND list = Window(*form.lvResult);
  EXPECT_EQ(::GetParent(list), Window(*form.tsList));
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(ListText(list, 1, 0), L"Broken link");
  EXPECT_EQ(ListText(list, 1, 1), L"C:\\Temp");
  EXPECT_TRUE(ListChecked(list, 0));
  EXPECT_EQ(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT,
            LVS_EX_FULLROWSELECT);
  // The automatic column takes the rest of the width.
  RECT listClient{};
  ::GetClientRect(list, &listClient);
  EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0) +
                ::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0),
            listClient.right);

  HWND tree = Window(*form.tvTopics);
  EXPECT_EQ(::SendMessageW(tree, TVM_GETCOUNT, 0, 0), 3);
  HWND checkList = Window(*form.clbSkins);
  EXPECT_EQ(ListText(checkList, 1, 0), L"Dark");
  EXPECT_TRUE(ListChecked(checkList, 0));
  EXPECT_FALSE(ListChecked(checkList, 1));
}

TEST_F(BindingWin, PropertyChangesReachTheControls) {
  TBindingTestForm& form = *FForm;
  form.ShowForm();
  form.SetCaption(L"Renamed");
  form.lblName->SetCaption(L"&Title:");
  form.cbLater->SetChecked(true);
  form.rbTwo->SetChecked(true);
  form.edtName->SetText(L"second");
  form.cmbLanguage->Items().Add(L"Polski");
  form.cmbLanguage->SetItemIndex(3);
  form.pbScan->SetPosition(75);
  form.btnCancel->SetEnabled(false);
  form.llHome->SetVisible(false);
  form.pcPages->SetActivePage(form.tsTree);
  form.lvResult->Items().Item(0).SetChecked(false);
  form.lvResult->Items().Item(1).SubItems().SetStrings(0, L"D:\\Old");
  form.lvResult->Items().Add().SetCaption(L"Third");
  form.lvResult->Items().Delete(0);
  form.tvTopics->Items().Add(L"Internet");
  form.clbSkins->Items().Add(L"Blue");
  form.clbSkins->SetChecked(2, true);
  form.edtName->SetBounds(100, 6, 200, 21);
  form.btnOK->SetHint(L"Saves the settings");

  EXPECT_EQ(WindowText(FormWindow(form)), L"Renamed");
  EXPECT_EQ(WindowText(Window(*form.lblName)), L"&Title:");
  EXPECT_EQ(::SendMessageW(Window(*form.cbLater), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Window(*form.rbOne), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(Window(*form.rbTwo), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(WindowText(Window(*form.edtName)), L"second");
  EXPECT_EQ(::SendMessageW(Window(*form.cmbLanguage), CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(::SendMessageW(Window(*form.cmbLanguage), CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(::SendMessageW(Window(*form.pbScan), PBM_GETPOS, 0, 0), 75);
  EXPECT_FALSE(::IsWindowEnabled(Window(*form.btnCancel)));
  EXPECT_FALSE(::IsWindowVisible(Window(*form.llHome)));
  EXPECT_EQ(::SendMessageW(Window(*form.pcPages), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_FALSE(::IsWindowVisible(Window(*form.tsList)));
  EXPECT_TRUE(::IsWindowVisible(Window(*form.tsTree)));

  HWND list = Window(*form.lvResult);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(ListText(list, 0, 0), L"Broken link");
  EXPECT_EQ(ListText(list, 0, 1), L"D:\\Old");
  EXPECT_TRUE(ListChecked(list, 0));
  EXPECT_EQ(ListText(list, 1, 0), L"Third");
  EXPECT_FALSE(ListChecked(list, 1));
  EXPECT_EQ(::SendMessageW(Window(*form.tvTopics), TVM_GETCOUNT, 0, 0), 4);
  EXPECT_TRUE(ListChecked(Window(*form.clbSkins), 2));

  RECT edit{};
  ::GetWindowRect(Window(*form.edtName), &edit);
  EXPECT_EQ(edit.right - edit.left, ScaleToDpi(200, WindowDpi(FormWindow(form))));

  // A control made after the window gets its own at once; a freed one takes its window along.
  auto* late = NewComponent<TLabel>(&form, L"lblLate");
  late->SetCaption(L"Late");
  late->SetParent(form.pnlButtons);
  HWND lateWindow = Window(*late);
  ASSERT_NE(lateWindow, nullptr);
  EXPECT_EQ(::GetParent(lateWindow), Window(*form.pnlButtons));
  EXPECT_EQ(WindowText(lateWindow), L"Late");
  delete late;
  EXPECT_FALSE(::IsWindow(lateWindow));

  // A new skin reaches the open window's controls.
  TCLSkinTheme dark;
  dark.Name = L"Dark";
  dark.SystemColors = false;
  dark.Dark = true;
  dark.Window = 0x221F1E;
  dark.WindowText = 0xEEEEEE;
  SetCurrentSkinTheme(dark);
  EXPECT_EQ(::SendMessageW(list, LVM_GETBKCOLOR, 0, 0), 0x221F1E);
  EXPECT_EQ(::SendMessageW(Window(*form.tvTopics), TVM_GETTEXTCOLOR, 0, 0), 0xEEEEEE);
  SetCurrentSkinTheme(TCLSkinTheme{});
  EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(list, LVM_GETBKCOLOR, 0, 0)),
            ::GetSysColor(COLOR_WINDOW));

  form.SetWindowState(TWindowState::wsMaximized);
  EXPECT_TRUE(::IsZoomed(FormWindow(form)));
  form.SetWindowState(TWindowState::wsNormal);
  EXPECT_FALSE(::IsZoomed(FormWindow(form)));
  form.HideForm();
  EXPECT_FALSE(::IsWindowVisible(FormWindow(form)));
}

TEST_F(BindingWin, UserActionsFireTheComponentsEvents) {
  TBindingTestForm& form = *FForm;
  form.ShowForm();
  int clicks = 0;
  form.btnOK->OnClick = [&](TObject&) { ++clicks; };
  ::SendMessageW(Window(*form.btnOK), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);

  int checkClicks = 0;
  form.cbLater->OnClick = [&](TObject&) { ++checkClicks; };
  ::SendMessageW(Window(*form.cbLater), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.cbLater->Checked());
  EXPECT_EQ(checkClicks, 1);
  EXPECT_EQ(::SendMessageW(Window(*form.cbLater), BM_GETCHECK, 0, 0), BST_CHECKED);
  ::SendMessageW(Window(*form.rbTwo), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.rbTwo->Checked());
  EXPECT_FALSE(form.rbOne->Checked());
  EXPECT_EQ(::SendMessageW(Window(*form.rbOne), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // Typing: one change event per change of the text, and no echo back into the edit.
  int edits = 0;
  form.edtName->OnChange = [&](TObject&) { ++edits; };
  ::SendMessageW(Window(*form.edtName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
  EXPECT_EQ(form.edtName->Text(), L"typed");
  EXPECT_EQ(edits, 1);

  int choices = 0;
  form.cmbLanguage->OnChange = [&](TObject&) { ++choices; };
  ::SendMessageW(Window(*form.cmbLanguage), CB_SETCURSEL, 2, 0);
  Command(Window(*form.cmbLanguage), CBN_SELCHANGE);
  EXPECT_EQ(form.cmbLanguage->ItemIndex(), 2);
  EXPECT_EQ(choices, 1);

  // The spin edit's arrows step the value within its range.
  HWND arrows = ::GetWindow(Window(*form.seDays), GW_HWNDNEXT);
  NMUPDOWN step{};
  step.hdr = NMHDR{arrows, 0, static_cast<UINT>(UDN_DELTAPOS)};
  step.iDelta = 1;
  ::SendMessageW(::GetParent(arrows), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&step));
  EXPECT_EQ(form.seDays->Value(), 8);
  EXPECT_EQ(WindowText(Window(*form.seDays)), L"8");

  int links = 0;
  form.llHome->OnClick = [&](TObject&) { ++links; };
  Notify(Window(*form.llHome), NM_CLICK);
  EXPECT_EQ(links, 1);

  int pageChanges = 0;
  form.pcPages->OnChange = [&](TObject&) { ++pageChanges; };
  ::SendMessageW(Window(*form.pcPages), TCM_SETCURSEL, 1, 0);
  Notify(Window(*form.pcPages), TCN_SELCHANGE);
  EXPECT_EQ(form.pcPages->ActivePage(), form.tsTree);
  EXPECT_EQ(pageChanges, 1);
  EXPECT_TRUE(::IsWindowVisible(Window(*form.tsTree)));

  // Ticks in the lists, through the list view's own notifications.
  int ticks = 0;
  form.lvResult->OnItemChecked = [&](TObject&, TListItem&) { ++ticks; };
  SetListChecked(Window(*form.lvResult), 1, false);
  EXPECT_FALSE(form.lvResult->Items().Item(1).Checked());
  EXPECT_EQ(ticks, 1);
  int skinTicks = 0;
  form.clbSkins->OnClickCheck = [&](TObject&) { ++skinTicks; };
  SetListChecked(Window(*form.clbSkins), 1, true);
  EXPECT_TRUE(form.clbSkins->Checked(1));
  EXPECT_EQ(skinTicks, 1);
  // A disabled list takes the tick back.
  form.clbSkins->SetEnabled(false);
  SetListChecked(Window(*form.clbSkins), 0, false);
  EXPECT_TRUE(form.clbSkins->Checked(0));
  EXPECT_TRUE(ListChecked(Window(*form.clbSkins), 0));

  // A tick in the tree, read once the tree view has made it.
  HWND tree = Window(*form.tvTopics);
  TTreeNode& startMenu = form.tvTopics->Items().Root(0).Item(1);
  HTREEITEM root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  HTREEITEM fonts = reinterpret_cast<HTREEITEM>(
      ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
  TVITEMW tick{};
  tick.mask = TVIF_STATE | TVIF_HANDLE;
  tick.hItem = reinterpret_cast<HTREEITEM>(
      ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(fonts)));
  tick.stateMask = TVIS_STATEIMAGEMASK;
  tick.state = INDEXTOSTATEIMAGEMASK(2);
  ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tick));
  Notify(tree, NM_CLICK);
  EXPECT_TRUE(ktest::win32::PumpUntil([&] { return startMenu.Checked(); }, 5000));
  EXPECT_TRUE(form.tvTopics->Items().Root(0).Item(0).Checked());

  // A right click opens the control's pop-up menu at the screen position.
  auto* menu = NewComponent<TPopupMenu>(&form, L"pmList");
  int popups = 0;
  menu->OnPopup = [&](TObject&) { ++popups; };
  form.lvResult->SetPopupMenu(menu);
  HWND list = Window(*form.lvResult);
  POINT click{10, 12};
  ::ClientToScreen(list, &click);
  ::SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list),
                 MAKELPARAM(click.x, click.y));
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(menu->PopupX(), click.x);
  EXPECT_EQ(menu->PopupY(), click.y);
  // A control without a menu of its own shows its parent's.
  form.lvResult->SetPopupMenu(nullptr);
  form.pnlButtons->SetPopupMenu(menu);
  HWND button = Window(*form.btnOK);
  POINT buttonClick{5, 6};
  ::ClientToScreen(button, &buttonClick);
  ::SendMessageW(button, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button),
                 MAKELPARAM(buttonClick.x, buttonClick.y));
  EXPECT_EQ(popups, 2);
  EXPECT_EQ(menu->PopupX(), buttonClick.x);
}

// Counts the messages of each kind a window receives while the counter lives.
class TMessageCount {
public:
  explicit TMessageCount(HWND aWindow) : FWindow(aWindow) {
    ::SetWindowSubclass(FWindow, &Count, 7, reinterpret_cast<DWORD_PTR>(this));
  }
  ~TMessageCount() { ::RemoveWindowSubclass(FWindow, &Count, 7); }
  TMessageCount(const TMessageCount&) = delete;
  TMessageCount& operator=(const TMessageCount&) = delete;

  int operator[](UINT aMsg) const {
    const auto found = FCounts.find(aMsg);
    return found != FCounts.end() ? found->second : 0;
  }
  // The colour requests a control's painting sends its parent, for aControl only.
  int ColourRequests(HWND aControl) const {
    const auto found = FColourRequests.find(aControl);
    return found != FColourRequests.end() ? found->second : 0;
  }

private:
  static LRESULT CALLBACK Count(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam, UINT_PTR,
                                DWORD_PTR aSelf) {
    auto& self = *reinterpret_cast<TMessageCount*>(aSelf);
    ++self.FCounts[aMsg];
    if (aMsg == WM_CTLCOLORBTN || aMsg == WM_CTLCOLORSTATIC)
      ++self.FColourRequests[reinterpret_cast<HWND>(aLParam)];
    return ::DefSubclassProc(aWindow, aMsg, aWParam, aLParam);
  }

  HWND FWindow;
  std::map<UINT, int> FCounts;
  std::map<HWND, int> FColourRequests;
};

// Buttons, check boxes and labels draw themselves at once on every enable and text change; a window
// state that changes several things of one control paints it once, later, and never shows a hidden
// one.
TEST_F(BindingWin, EnableAndCaptionChangesPaintOnceWithThePaintMessages) {
  TBindingTestForm& form = *FForm;
  form.ShowForm();
  HWND window = FormWindow(form);
  ktest::win32::Paint(window);
  const struct {
    TControl* Control;
    const wchar_t* Caption;
  } controls[] = {{form.btnOK, L"Save"},
                  {form.cbLater, L"Later"},
                  {form.lblName, L"Your name"},
                  {form.llHome, L"Our home page"}};
  for (const bool visible : {true, false}) {
    for (const auto& [control, caption] : controls) {
      SCOPED_TRACE(testing::Message() << WindowText(Window(*control)) << ", shown " << visible);
      control->SetVisible(visible);
      ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
      HWND own = Window(*control);
      TMessageCount parent(::GetParent(own));
      TMessageCount messages(own);
      const std::wstring text = caption + std::wstring(visible ? L"" : L" again");
      control->SetEnabled(false);
      control->SetCaption(text);
      EXPECT_EQ(parent.ColourRequests(own), 0);
      ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
      EXPECT_EQ(messages[WM_PAINT], visible ? 1 : 0);
      EXPECT_EQ(::IsWindowVisible(own) != FALSE, visible);
      EXPECT_FALSE(::IsWindowEnabled(own));
      // A link's control holds its caption as a link.
      EXPECT_EQ(WindowText(own), control == form.llHome ? L"<a>" + text + L"</a>" : text);
      control->SetEnabled(true);
      control->SetVisible(true);
    }
  }
}

// A check box's mark and a progress bar's position reach the control without its theme or
// colours being set again, each of which makes it repaint all of itself.
TEST_F(BindingWin, MarksAndPositionsLeaveThemeAndColoursAlone) {
  TBindingTestForm& form = *FForm;
  form.ShowForm();
  TMessageCount box(Window(*form.cbLater));
  TMessageCount bar(Window(*form.pbScan));
  for (int step = 1; step <= 3; ++step) {
    form.cbLater->SetChecked(step % 2 != 0);
    form.pbScan->SetPosition(40 + step);
  }
  EXPECT_EQ(::SendMessageW(Window(*form.cbLater), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Window(*form.pbScan), PBM_GETPOS, 0, 0), 43);
  EXPECT_EQ(box[WM_THEMECHANGED], 0);
  EXPECT_EQ(bar[WM_THEMECHANGED], 0);
  EXPECT_EQ(bar[PBM_SETBARCOLOR] + bar[PBM_SETBKCOLOR] + bar[PBM_SETRANGE32], 0);
}

TEST_F(BindingWin, ModalDialogAnswersEnterAndEscape) {
  // Bounded: a key that went nowhere closes the dialog with a result no button gives.
  constexpr TModalResult kTimedOut = 99;
  const auto showWithKey = [](TForm& aForm, WPARAM aKey) {
    aForm.HandleNeeded();
    ::PostMessageW(FormWindow(aForm), WM_KEYDOWN, aKey, 0);
    const TCLTimerHandle timer = GetCLMainThread().CreateTimer(
        10000, [&aForm] { aForm.SetModalResult(kTimedOut); }, true);
    const TModalResult result = aForm.ShowModal();
    GetCLMainThread().DestroyTimer(timer);
    return result;
  };
  TBindingTestForm dialog(L"TfrmBindingDialog");
  int okClicks = 0;
  dialog.btnOK->OnClick = [&](TObject&) { ++okClicks; };
  EXPECT_EQ(showWithKey(dialog, VK_RETURN), mr::OK);
  EXPECT_EQ(okClicks, 1);
  EXPECT_FALSE(::IsWindowVisible(FormWindow(dialog)));
  EXPECT_EQ(showWithKey(dialog, VK_ESCAPE), mr::Cancel);

  // Without a cancel button, Escape closes the dialog.
  TForm bare(nullptr, L"TfrmBindingBare");
  bare.SetBounds(0, 0, 200, 100);
  auto* label = NewComponent<TLabel>(&bare, L"lblText");
  label->SetParent(&bare);
  label->SetBounds(8, 8, 100, 17);
  EXPECT_EQ(showWithKey(bare, VK_ESCAPE), mr::Cancel);
}

TEST_F(BindingWin, FreedFormTakesItsWindows) {
  FForm->ShowForm();
  HWND window = FormWindow(*FForm);
  HWND edit = Window(*FForm->edtName);
  FForm.reset();
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(::IsWindow(edit));
  EXPECT_EQ(FormFromWindow(window), nullptr);
}

TEST_F(BindingWin, Screenshot) {
  TBindingTestForm& form = *FForm;
  form.lvResult->Items().Item(0).SetSelected(true);
  form.ShowForm();
  HWND window = FormWindow(form);
  ::SetForegroundWindow(window);
  ktest::win32::Shoot(window, L"controls");
}

} // namespace
