#include "components/CLListControls.h"

#include "components/CLMultiLang.h"
#include "platform/fake/FakeMachine.h"
#include "support/WindowTest.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TRecordingBinding : public IComponentBinding {
public:
  void PropertyChanged(TComponent& aComponent, std::wstring_view aProperty) override {
    Changes.push_back(aComponent.Name() + L"." + std::wstring(aProperty));
  }
  void ComponentDestroyed(TComponent& aComponent) override {
    Destroyed.push_back(aComponent.Name());
  }
  std::vector<std::wstring> Changes;
  std::vector<std::wstring> Destroyed;
};

class ControlsTest : public testing::Test {
protected:
  // The logic without windows, also where a window-system binding is installed.
  const TScopedHeadless FHeadless;
  kplat::fake::TFakeMachineScope FMachine;
  TCLMainThreadQueue FMain;
  TCLScopedMainThread FScope{FMain};
};

} // namespace

TEST_F(ControlsTest, OwnersFreeTheirComponentsAndLinksLetGoOfFreedOnes) {
  TRecordingBinding binding;
  auto form = std::make_unique<TForm>(nullptr, L"TfrmTest");
  auto* btnOk = NewComponent<TButton>(form.get(), L"btnOk");
  auto* actScan = NewComponent<TAction>(form.get(), L"actScan");
  auto* pmTray = NewComponent<TPopupMenu>(form.get(), L"pmTray");
  auto* lbl = NewComponent<TLabel>(form.get(), L"lblInfo");
  btnOk->SetBinding(&binding);
  btnOk->SetAction(actScan);
  btnOk->SetPopupMenu(pmTray);
  EXPECT_EQ(form->FindComponent(L"BTNOK"), btnOk);
  EXPECT_EQ(form->ComponentCount(), 4);

  delete lbl;
  EXPECT_EQ(form->ComponentCount(), 3);
  delete actScan;
  delete pmTray;
  EXPECT_EQ(btnOk->Action(), nullptr);
  EXPECT_EQ(btnOk->PopupMenu(), nullptr);
  btnOk->Click();

  btnOk->SetCaption(L"OK");
  EXPECT_EQ(binding.Changes.back(), L"btnOk.Caption");
  form.reset();
  EXPECT_EQ(binding.Destroyed, std::vector<std::wstring>{L"btnOk"});
}

TEST_F(ControlsTest, AProgressBarTellsItsWindowOnlyWhatChanged) {
  TRecordingBinding binding;
  TForm form(nullptr);
  auto* bar = NewComponent<TProgressBar>(&form, L"sgScan");
  bar->SetBinding(&binding);
  for (int step = 1; step <= 3; ++step) {
    bar->SetMax(250);
    bar->SetPosition(step < 3 ? 5 : 6);
  }
  EXPECT_EQ(binding.Changes,
            (std::vector<std::wstring>{L"sgScan.Range", L"sgScan.Position", L"sgScan.Position"}));
  bar->SetRange(0, 3);
  EXPECT_EQ(bar->Position(), 3);
  EXPECT_EQ(binding.Changes.back(), L"sgScan.Range");
}

TEST_F(ControlsTest, ActionsDriveTheirControlsAndMenuItems) {
  TForm form(nullptr);
  auto* actScan = NewComponent<TAction>(&form, L"actScan");
  auto* actStop = NewComponent<TAction>(&form, L"actStop");
  auto* btn = NewComponent<TButton>(&form, L"btnMaintainScan");
  auto* mi = NewComponent<TMenuItem>(&form, L"miScan");
  int scans = 0;
  int stops = 0;
  actScan->OnExecute = [&scans](TObject&) { ++scans; };
  actStop->OnExecute = [&stops](TObject&) { ++stops; };
  actScan->SetCaption(L"Scan!");
  actStop->SetCaption(L"Stop");

  btn->SetAction(actScan);
  mi->SetAction(btn->Action());
  EXPECT_EQ(btn->Caption(), L"Scan!");
  EXPECT_EQ(mi->Caption(), L"Scan!");
  btn->Click();
  mi->Click();
  EXPECT_EQ(scans, 2);

  btn->SetAction(actStop);
  mi->SetAction(btn->Action());
  EXPECT_EQ(mi->Caption(), L"Stop");
  actStop->SetEnabled(false);
  EXPECT_FALSE(btn->Enabled());
  EXPECT_FALSE(mi->Enabled());
  btn->Click();
  mi->Click();
  EXPECT_EQ(stops, 0);
  actScan->SetCaption(L"Again");
  EXPECT_EQ(btn->Caption(), L"Stop");
}

TEST_F(ControlsTest, CheckMarksFireClickAndRadioButtonsExcludeEachOther) {
  TForm form(nullptr);
  auto* panel = NewComponent<TPanel>(&form, L"pnlAutoScan");
  auto* on = NewComponent<TRadioButton>(&form, L"cbASEnabled");
  auto* off = NewComponent<TRadioButton>(&form, L"cbASDisabled");
  auto* other = NewComponent<TRadioButton>(&form, L"cbElsewhere");
  auto* box = NewComponent<TCheckBox>(&form, L"cbStartup");
  on->SetParent(panel);
  off->SetParent(panel);
  other->SetParent(&form);
  int clicks = 0;
  box->OnClick = [&clicks](TObject&) { ++clicks; };
  box->SetChecked(true);
  box->SetChecked(true);
  box->Click();
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);

  std::vector<std::wstring> chosen;
  for (TRadioButton* radio : {on, off})
    radio->OnClick = [&chosen](TObject& aSender) {
      chosen.push_back(static_cast<TRadioButton&>(aSender).Name());
    };
  other->SetChecked(true);
  on->SetChecked(true);
  off->Click();
  EXPECT_FALSE(on->Checked());
  EXPECT_TRUE(off->Checked());
  EXPECT_TRUE(other->Checked());
  EXPECT_EQ(chosen, (std::vector<std::wstring>{L"cbASEnabled", L"cbASDisabled"}));
}

TEST_F(ControlsTest, ModalWindowsEndWithTheResultOfTheirButtons) {
  TForm dialog(nullptr, L"TfrmScanedResult");
  auto* btnOk = NewComponent<TButton>(&dialog, L"btnOk");
  auto* panel = NewComponent<TPanel>(&dialog, L"pnlButtons");
  panel->SetParent(&dialog);
  btnOk->SetParent(panel);
  btnOk->SetModalResult(mr::OK);
  int shown = 0;
  dialog.OnShow = [&shown](TObject&) { ++shown; };

  EXPECT_EQ(dialog.ShowModal(), mr::Cancel); // nobody answered
  const auto previous = TForm::SetModalHandler([btnOk](TForm& aForm) {
    EXPECT_TRUE(aForm.Visible());
    btnOk->Click();
    return aForm.ModalResult();
  });
  EXPECT_EQ(dialog.ShowModal(), mr::OK);
  EXPECT_FALSE(dialog.Visible());
  EXPECT_EQ(shown, 2);
  TForm::SetModalHandler(previous);
}

TEST_F(ControlsTest, TimersTickOnTheMainThreadWhileEnabled) {
  TForm form(nullptr);
  auto* tmr = NewComponent<TTimer>(&form, L"tmrCleannow");
  tmr->SetEnabled(false);
  tmr->SetInterval(2500);
  int ticks = 0;
  tmr->OnTimer = [&ticks, tmr](TObject&) {
    ++ticks;
    tmr->SetEnabled(false);
  };
  FMachine.Machine().AdvanceMs(3000);
  FMain.ProcessMessages();
  EXPECT_EQ(ticks, 0);
  tmr->SetEnabled(true);
  FMachine.Machine().AdvanceMs(2500);
  FMain.ProcessMessages();
  FMachine.Machine().AdvanceMs(2500);
  FMain.ProcessMessages();
  EXPECT_EQ(ticks, 1);
}

TEST_F(ControlsTest, TreeRowsAreHitByPositionAndDeletedNodesLeaveTheSelection) {
  TTreeView tree(nullptr);
  TTreeNode& general = tree.Items().Add(L"General Settings");
  TTreeNode& maintenance = tree.Items().Add(L"Windows Maintenance");
  TTreeNode& registry = tree.Items().AddChild(&maintenance, L"Registry Clean");
  tree.Items().AddChild(&maintenance, L"Privacy Sweep");
  TTreeNode& update = tree.Items().Add(L"Update");
  const int h = tree.ItemHeight();
  EXPECT_EQ(tree.GetNodeAt(0, 2 * h + 1), &update); // collapsed: children take no rows
  tree.FullExpand();
  EXPECT_EQ(tree.GetNodeAt(0, 0), &general);
  EXPECT_EQ(tree.GetNodeAt(0, 2 * h), &registry);
  EXPECT_EQ(tree.GetNodeAt(0, 4 * h + h - 1), &update);
  EXPECT_EQ(tree.GetNodeAt(0, 5 * h), nullptr);
  EXPECT_EQ(tree.GetNodeAt(0, -1), nullptr);
  EXPECT_EQ(registry.Level(), 1);
  EXPECT_EQ(registry.Index(), 0);
  EXPECT_EQ(tree.Items().Count(), 5);

  tree.SetSelected(&registry);
  tree.Items().Delete(&maintenance);
  EXPECT_EQ(tree.Selected(), nullptr);
  EXPECT_EQ(tree.Items().Count(), 2);
}

TEST_F(ControlsTest, ImageListsCountThePicturesOfAPngStrip) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13,
                              'I',  'H', 'D', 'R', 0,    0,    0,    160,  0, 0, 0, 16};
  FMachine.Machine().AddFileContent(L"C:\\App\\res\\16.png", png);
  std::vector<uint8_t> notPng = png;
  notPng[1] = 'X';
  FMachine.Machine().AddFileContent(L"C:\\App\\res\\bad.png", notPng);
  TImageList il16(nullptr);
  EXPECT_TRUE(il16.LoadFromFile(L"C:\\App\\res\\16.png"));
  EXPECT_EQ(il16.Count(), 10);
  EXPECT_FALSE(il16.LoadFromFile(L"C:\\App\\res\\bad.png"));
  EXPECT_EQ(il16.Count(), 0);
  EXPECT_FALSE(il16.LoadFromFile(L"C:\\App\\res\\32.png"));
  TImageList il32(nullptr);
  il32.SetSize(32, 32);
  EXPECT_FALSE(il32.LoadFromFile(L"C:\\App\\res\\16.png")); // smaller than one picture

  TImage logo(nullptr);
  EXPECT_TRUE(logo.LoadFromFile(L"C:\\App\\res\\16.png"));
  EXPECT_EQ(logo.PictureWidth(), 160);
  EXPECT_EQ(logo.PictureHeight(), 16);
  EXPECT_FALSE(logo.LoadFromFile(L"C:\\App\\res\\bad.png"));
  EXPECT_EQ(logo.PictureWidth(), 0);
  EXPECT_TRUE(logo.FileName().empty());
}

TEST_F(ControlsTest, PostedMessagesRunThroughTheHandlerChainOnlyWhileTheFormLives) {
  std::vector<std::wstring> seen;
  auto form = std::make_unique<TForm>(nullptr, L"TfrmMain");
  form->SetWindowProc([&seen](TWindowMessage& aMessage) {
    seen.push_back(L"base " + std::to_wstring(aMessage.Msg));
    return aMessage.Msg == 1;
  });
  // A hook in front keeps the previous handler and passes on what it does not handle.
  TWndMethod previous = form->WindowProc();
  form->SetWindowProc([&seen, previous](TWindowMessage& aMessage) {
    if (aMessage.Msg == 2) {
      seen.push_back(L"hook " + std::to_wstring(aMessage.WParam));
      return true;
    }
    return previous(aMessage);
  });
  EXPECT_TRUE(form->PostMessage(2, 7));
  EXPECT_TRUE(form->PostMessage(1));
  EXPECT_TRUE(seen.empty());
  FMain.ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"hook 7", L"base 1"}));

  TWindowMessage unknown;
  unknown.Msg = 3;
  EXPECT_FALSE(form->Perform(unknown));
  seen.clear();
  form->PostMessage(1);
  form.reset();
  FMain.ProcessMessages();
  EXPECT_TRUE(seen.empty());
}

TEST_F(ControlsTest, LanguageTextsReachCaptionsItemsAndColumns) {
  TCLMultiLangData data(nullptr);
  data.DefaultData().LoadFromString(
      L"[TfrmSettings]\r\nfrmSettings.Caption=Settings\r\ncbSOCO.Items=Basic<BR>DSL<BR>LAN\r\n"
      L"lvBackup.Columns[0].Caption=Date\r\nedtHour.Text=12\r\nactOk.Caption=&OK\r\n");
  TForm form(nullptr, L"TfrmSettings");
  form.SetName(L"frmSettings");
  auto* lang = NewComponent<TCLMultiLang>(&form, L"CLMultiLang1");
  auto* combo = NewComponent<TComboBox>(&form, L"cbSOCO");
  auto* list = NewComponent<TListView>(&form, L"lvBackup");
  auto* edit = NewComponent<TEdit>(&form, L"edtHour");
  auto* act = NewComponent<TAction>(&form, L"actOk");
  auto* btn = NewComponent<TButton>(&form, L"btnOk");
  btn->SetAction(act);
  list->Columns().Add().SetCaption(L"designed");
  combo->Items().Assign({L"a", L"b", L"c", L"d"});
  combo->SetItemIndex(2);
  lang->SetLanguageData(&data);
  form.Loaded();

  EXPECT_EQ(form.Caption(), L"Settings");
  EXPECT_EQ(combo->Items().Lines(), (std::vector<std::wstring>{L"Basic", L"DSL", L"LAN"}));
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(list->Columns().Items(0).Caption(), L"Date");
  EXPECT_EQ(edit->Text(), L"12");
  EXPECT_EQ(btn->Caption(), L"&OK");

  data.ClearCurrentAll();
  lang->UpdateData();
  std::wstring value;
  EXPECT_TRUE(
      data.CurrentData().GetProp(L"TfrmSettings", L"lvBackup", L"Columns[0].Caption", value));
  EXPECT_FALSE(data.CurrentData().GetProp(L"TfrmSettings", L"edtHour", L"Text", value));
  EXPECT_FALSE(data.CurrentData().GetProp(L"TfrmSettings", L"btnOk", L"Name", value));
}

TEST_F(ControlsTest, UserChoicesFireChangeAndCodeDoesNot) {
  TForm form(nullptr);
  auto* pc = NewComponent<TPageControl>(&form, L"pcMaintain");
  auto* tsFunction = NewComponent<TTabSheet>(&form, L"tsFunction");
  auto* tsSettings = NewComponent<TTabSheet>(&form, L"tsSettings");
  tsFunction->SetPageControl(pc);
  tsSettings->SetPageControl(pc);
  int changes = 0;
  pc->OnChange = [&changes, pc, tsFunction](TObject&) {
    ++changes;
    pc->SetActivePage(tsFunction);
  };
  EXPECT_EQ(pc->ActivePage(), tsFunction);
  pc->SelectByUser(1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(pc->ActivePageIndex(), 0);
  pc->SetActivePageIndex(1);
  EXPECT_EQ(changes, 1);
  delete tsSettings;
  EXPECT_EQ(pc->PageCount(), 1);
  EXPECT_EQ(pc->ActivePage(), tsFunction);

  auto* combo = NewComponent<TComboBox>(&form, L"cbSONO");
  combo->Items().Assign({L"Basic", L"DSL"});
  int picks = 0;
  combo->OnChange = [&picks](TObject&) { ++picks; };
  combo->SetItemIndex(1);
  combo->SelectByUser(0);
  combo->SetItemIndex(5);
  EXPECT_EQ(picks, 1);
  EXPECT_EQ(combo->ItemIndex(), -1);

  auto* spin = NewComponent<TSpinEdit>(&form, L"edtMaxBackupFile");
  spin->SetRange(1, 100);
  spin->SetText(L"250");
  EXPECT_EQ(spin->Value(), 100);
  spin->SetText(L"x");
  EXPECT_EQ(spin->Value(), 1);
  spin->SetValue(20);
  spin->StepUp();
  EXPECT_EQ(spin->Text(), L"21");
}
