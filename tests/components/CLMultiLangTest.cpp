#include "components/CLMultiLang.h"

#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

namespace {

// A window with a caption, and a component with a caption, a hint, an item list, a name-typed
// string, a number and a collection of columns.
class TTestColumn : public TCollectionItem {
public:
  explicit TTestColumn(TCollection& aCollection) : TCollectionItem(aCollection) {
    PublishString(
        L"Caption", [this] { return Caption; }, [this](const std::wstring& aV) { Caption = aV; });
  }
  std::wstring ClassName() const override { return L"TTestColumn"; }
  std::wstring Caption;
};

class TTestControl : public TComponent {
public:
  explicit TTestControl(TComponent* aOwner, std::wstring aClass = L"TTestControl")
      : TComponent(aOwner), FClass(std::move(aClass)) {
    PublishString(
        L"Caption", [this] { return Caption; }, [this](const std::wstring& aV) { Caption = aV; },
        L"TCaption");
    PublishString(
        L"Hint", [this] { return Hint; }, [this](const std::wstring& aV) { Hint = aV; });
    PublishStrings(L"Items", Items);
    PublishString(
        L"DataName", [this] { return DataName; }, [this](const std::wstring& aV) { DataName = aV; },
        L"TComponentName");
    PublishInt(
        L"Width", [this] { return Width; }, [this](int aV) { Width = aV; });
    PublishCollection(L"Columns", Columns);
  }
  std::wstring ClassName() const override { return FClass; }
  bool HasAction() const override { return WithAction; }

  std::wstring Caption, Hint, DataName;
  TStrings Items;
  int Width = 0;
  bool WithAction = false;
  TCollectionOf<TTestColumn> Columns{L"TTestColumns"};

private:
  std::wstring FClass;
};

class TTestWindow : public TTestControl {
public:
  TTestWindow() : TTestControl(nullptr, L"TfrmTest") {
    SetName(L"frmTest");
    Lang = NewComponent<TCLMultiLang>(this, L"Lang");
    lblTitle = NewComponent<TTestControl>(this, L"lblTitle");
    lvList = NewComponent<TTestControl>(this, L"lvList");
    lvList->Columns.Add().Caption = L"Name";
    lvList->Columns.Add().Caption = L"Size";
  }
  TCLMultiLang* Lang;
  TTestControl* lblTitle;
  TTestControl* lvList;
};

const wchar_t* const kDefault = LR"([Info]
Language=English
[AppRes]
AppName=Cleaner {AppName}
State.Ready=Ready
Greeting=Welcome to {appname}
[TfrmTest]
frmTest.Caption=About {AppName}
lblTitle.Caption=Title
lblTitle.Hint=Default hint
)";

class MultiLang : public testing::Test {
protected:
  MultiLang() {
    Data.DefaultData().LoadFromString(kDefault);
    Data.DefaultToCurrent();
  }
  std::wstring Get(std::wstring_view aForm, std::wstring_view aComp, std::wstring_view aProp) {
    std::wstring value = L"<none>";
    Data.GetProp(aForm, aComp, aProp, value);
    return value;
  }
  void AddLanguage(const std::wstring& aPath, const std::string& aUtf8) {
    Machine.Machine().AddTextFile(aPath, aUtf8);
  }

  kplat::fake::TFakeMachineScope Machine;
  TCLMultiLangData Data{nullptr};
};

} // namespace

TEST(MultiLangValues, EscapesDecodeInAnyCaseAndLineBreaksEncode) {
  EXPECT_EQ(DecodeLangValue(L"Two<BR>lines<br>and<Sp>blank"), L"Two\r\nlines\r\nand blank");
  EXPECT_EQ(EncodeLangValue(L"a\r\nb\rc\nd"), L"a<BR>b<BR>c<BR>d");
  EXPECT_EQ(EncodeLangValue(L"a\n\rb"), L"a<BR><BR>b");
}

TEST(MultiLangValues, FilesAreReadByTheirMarkElseInTheAnsiCodePage) {
  kplat::fake::TFakeMachineScope machine;
  const std::vector<uint8_t> ansi{'K', '=', 0xE9, 0x80};
  EXPECT_EQ(DecodeLangText(ansi), L"K=\u00E9\u20AC");
  // Valid UTF-8 without a mark is still ANSI text.
  const std::vector<uint8_t> utf8NoMark{'K', '=', 0xC3, 0xA9};
  EXPECT_EQ(DecodeLangText(utf8NoMark), L"K=\u00C3\u00A9");
  const std::vector<uint8_t> utf8{0xEF, 0xBB, 0xBF, 'K', '=', 0xC3, 0xA9};
  EXPECT_EQ(DecodeLangText(utf8), L"K=\u00E9");
  const std::vector<uint8_t> utf16{0xFF, 0xFE, 'K', 0, '=', 0, 0x1F, 0x04};
  EXPECT_EQ(DecodeLangText(utf16), L"K=\u041F");
}

TEST_F(MultiLang, CurrentFirstThenDefaultWithTheAppNameFilledIn) {
  AddLanguage(L"C:\\lang\\German.lan", "[Info]\r\nLanguage=Deutsch\r\nTranslator=Hans\r\n"
                                       "[AppRes]\r\nState.Ready=Bereit<br>jetzt\r\n");
  ASSERT_TRUE(Data.LoadCurrentFromFile(L"C:\\lang\\German.lan"));
  EXPECT_EQ(Get(L"appres", L"", L"state.ready"), L"Bereit\r\njetzt");
  // Missing from the file: the default's text, with the default's application name.
  EXPECT_EQ(Get(L"AppRes", L"", L"Greeting"), L"Welcome to Cleaner {AppName}");
  EXPECT_EQ(Data.AppName(), L"Cleaner {AppName}");
  EXPECT_EQ(Get(L"AppRes", L"", L"AppName"), L"Cleaner {AppName}");
  EXPECT_EQ(Get(L"AppRes", L"", L"Nothing"), L"<none>");
  EXPECT_EQ(Data.CurrentLanguage(), L"Deutsch");
  EXPECT_EQ(Data.CurrentLanguageTranslator(), L"Hans");

  Data.ClearCurrentAll();
  EXPECT_EQ(Get(L"AppRes", L"", L"State.Ready"), L"Ready");
  EXPECT_EQ(Data.CurrentLanguage(), L"English");
}

TEST_F(MultiLang, AFileThatCannotBeLoadedKeepsTheCurrentLanguage) {
  AddLanguage(L"C:\\lang\\Good.lan", "[AppRes]\r\nState.Ready=Good\r\n");
  ASSERT_TRUE(Data.LoadCurrentFromFile(L"C:\\lang\\Good.lan"));
  EXPECT_EQ(Data.LoadCurrentFromFile(L"C:\\lang\\Missing.lan").Status, TIniLoadStatus::Missing);
  Machine.Machine().AddFile(L"C:\\lang\\Huge.lan", kMaxLanguageFileBytes + 1);
  EXPECT_EQ(Data.LoadCurrentFromFile(L"C:\\lang\\Huge.lan").Status, TIniLoadStatus::TooLarge);
  Machine.Machine().AddFile(L"C:\\lang\\Locked.lan", 10);
  Machine.Machine().FailOpenFile(L"C:\\lang\\Locked.lan");
  EXPECT_EQ(Data.LoadCurrentFromFile(L"C:\\lang\\Locked.lan").Status, TIniLoadStatus::Unreadable);
  EXPECT_EQ(Get(L"AppRes", L"", L"State.Ready"), L"Good");

  // Binary garbage is read as far as it makes sense.
  std::vector<uint8_t> garbage(4096);
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<uint8_t>((i * 131 + 7) % 256);
  Machine.Machine().AddFileContent(L"C:\\lang\\Garbage.lan", garbage);
  EXPECT_TRUE(Data.LoadCurrentFromFile(L"C:\\lang\\Garbage.lan"));
  EXPECT_EQ(Get(L"AppRes", L"", L"State.Ready"), L"Ready");
}

TEST_F(MultiLang, ApplyingSetsStringsListsAndCollectionItemsOnly) {
  AddLanguage(L"C:\\lang\\X.lan",
              "[TfrmTest]\r\nlblTitle.Caption=Titel {appname}\r\nlvList.Items=One<BR>Two<BR>\r\n"
              "lvList.Columns[1].Caption=Gr\xF6\xDF"
              "e\r\nlvList.Width=99\r\n"
              "lvList.DataName=x\r\nlblTitle.Name=renamed\r\nfrmTest.Hint=Window\r\n");
  TTestWindow window;
  window.Lang->SetLanguageData(&Data);
  int changes = 0;
  window.Lang->OnChangeLanguage = [&changes](TObject&) { ++changes; };
  window.Lang->Loaded();
  EXPECT_EQ(window.Caption, L"About Cleaner {AppName}");
  EXPECT_EQ(window.lblTitle->Caption, L"Title");
  EXPECT_EQ(changes, 1);

  ASSERT_TRUE(Data.LoadCurrentFromFile(L"C:\\lang\\X.lan"));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(window.lblTitle->Caption, L"Titel Cleaner {AppName}");
  // Not in the file: the default data's text, not the designed one.
  EXPECT_EQ(window.lblTitle->Hint, L"Default hint");
  EXPECT_EQ(window.Hint, L"Window");
  EXPECT_EQ(window.lvList->Items.Lines(), (std::vector<std::wstring>{L"One", L"Two"}));
  EXPECT_EQ(window.lvList->Columns.Items(0).Caption, L"Name");
  EXPECT_EQ(window.lvList->Columns.Items(1).Caption, L"Gr\u00F6\u00DFe");
  EXPECT_EQ(window.lvList->Width, 0);
  EXPECT_EQ(window.lvList->DataName, L"");
  EXPECT_EQ(window.lblTitle->Name(), L"lblTitle");
}

TEST_F(MultiLang, WindowsRegisterOnceAndLeaveWhenFreed) {
  auto first = std::make_unique<TTestWindow>();
  TTestWindow second;
  int applied = 0;
  first->Lang->OnChangeLanguage = [&applied](TObject&) { ++applied; };
  second.Lang->OnChangeLanguage = [&applied](TObject&) { ++applied; };
  first->Lang->SetLanguageData(&Data);
  second.Lang->SetLanguageData(&Data);
  first->Lang->Loaded();
  second.Lang->Loaded();
  ASSERT_EQ(Data.Clients().size(), 2u);
  applied = 0;
  Data.ApplyClients();
  EXPECT_EQ(applied, 2);

  first.reset();
  EXPECT_EQ(Data.Clients().size(), 1u);
  {
    TCLMultiLangData other(nullptr);
    second.Lang->SetLanguageData(&other);
    EXPECT_TRUE(Data.Clients().empty());
  }
  EXPECT_EQ(second.Lang->LanguageData(), nullptr);
  second.Lang->ApplyData();
}

TEST_F(MultiLang, SectionStringsTakeEachNameOnceCurrentFirst) {
  AddLanguage(L"C:\\lang\\X.lan", "[AppRes]\r\nState.Ready=Bereit\r\n");
  ASSERT_TRUE(Data.LoadCurrentFromFile(L"C:\\lang\\X.lan"));
  TStringList list;
  list.Add(L"Greeting=kept");
  Data.GetSectionStrings(L"AppRes", list);
  EXPECT_EQ(list.Values(L"Greeting"), L"kept");
  EXPECT_EQ(list.Values(L"State.Ready"), L"Bereit");
  EXPECT_EQ(list.Values(L"AppName"), L"Cleaner {AppName}");
  EXPECT_EQ(list.Count(), 3);
}

TEST_F(MultiLang, CollectingWritesTextsAndHonoursTheExclusions) {
  Data.ClearCurrentAll();
  TTestWindow window;
  window.Caption = L"Main";
  window.lblTitle->Caption = L"Two\r\nlines";
  window.lblTitle->Hint = L"";
  window.lvList->Items.Assign({L"A", L"B"});
  window.Lang->SetLanguageData(&Data);
  auto* btn1 = NewComponent<TTestControl>(&window, L"btn1");
  btn1->Caption = L"numbered";
  auto* act = NewComponent<TTestControl>(&window, L"btnAct");
  act->Caption = L"from action";
  act->WithAction = true;
  Data.ExcludeProps().Add(L"lvList..Hint");
  Data.ExcludeProps().Add(L"TTestControl:.DataName");
  Data.SetExcludeEmptyProp(true);
  Data.SetExcludeNumberEndProps(true);
  Data.SetExcludeWithAction(true);
  window.Lang->UpdateData();

  const TCLMultiLangLan& lan = Data.CurrentData();
  std::wstring v;
  EXPECT_TRUE(lan.GetProp(L"TfrmTest", L"frmTest", L"Caption", v));
  EXPECT_EQ(v, L"Main");
  EXPECT_TRUE(lan.GetProp(L"TfrmTest", L"lblTitle", L"Caption", v));
  EXPECT_EQ(v, L"Two\r\nlines");
  EXPECT_TRUE(lan.GetProp(L"TfrmTest", L"lvList", L"Columns[1].Caption", v));
  EXPECT_EQ(v, L"Size");
  EXPECT_FALSE(lan.GetProp(L"TfrmTest", L"lblTitle", L"Hint", v)); // empty
  EXPECT_FALSE(lan.GetProp(L"TfrmTest", L"lvList", L"DataName", v));
  EXPECT_FALSE(lan.GetProp(L"TfrmTest", L"lblTitle", L"Name", v));
  EXPECT_FALSE(lan.GetProp(L"TfrmTest", L"btn1", L"Caption", v));
  EXPECT_FALSE(lan.GetProp(L"TfrmTest", L"btnAct", L"Caption", v));
  EXPECT_FALSE(lan.GetProp(L"TfrmTest", L"lblTitle", L"Width", v));
  const std::wstring text = lan.ToString();
  EXPECT_NE(text.find(L"lblTitle.Caption=Two<BR>lines\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"lvList.Items=A<BR>B<BR>\r\n"), std::wstring::npos);

  EXPECT_TRUE(Data.IsExcluded(window, {L"Text", TPropKind::String, L"string", {}, {}, nullptr}));
  EXPECT_TRUE(Data.IsExcluded(window, {L"Any", TPropKind::String, L"TComponentName", {}, {}, {}}));
}

TEST_F(MultiLang, SavingOnAFullDiskKeepsTheOldFileWhole) {
  Machine.Machine().AddFolder(L"C:\\out");
  Data.CurrentData().LoadFromString(L"[Info]\r\nLanguage=X\r\n[AppRes]\r\nAppName=Old\r\n");
  ASSERT_EQ(Data.SaveCurrentToFile(L"C:\\out\\X.lan"), kplat::err::Success);
  const auto before = Machine.Machine().FileContent(L"C:\\out\\X.lan");
  Data.CurrentData().LoadFromString(L"[Info]\r\nLanguage=X\r\n[AppRes]\r\nAppName=New\r\nLong=" +
                                    std::wstring(300, L'x') + L"\r\n");
  Machine.Machine().SetDiskSpace(0);
  uint64_t room = 0;
  for (; Data.SaveCurrentToFile(L"C:\\out\\X.lan") != kplat::err::Success; ++room) {
    ASSERT_LT(room, 10000u);
    EXPECT_EQ(Machine.Machine().FileContent(L"C:\\out\\X.lan"), before) << room;
    EXPECT_EQ(Machine.Machine().ListFolder(L"C:\\out"), std::vector<std::wstring>{L"X.lan"});
    Machine.Machine().SetDiskSpace(room + 1);
  }
  // Written whole once there was room for all of it.
  EXPECT_GT(room, 300u);
  EXPECT_NE(DecodeLangText(*Machine.Machine().FileContent(L"C:\\out\\X.lan")).find(L"AppName=New"),
            std::wstring::npos);
}

TEST_F(MultiLang, SavingSortsSectionsAndLines) {
  Data.ClearCurrentAll();
  Data.CurrentData().LoadFromString(L"[TfrmZeta]\r\nb=2\r\nA=1\r\n[AppRes]\r\nz=1\r\nAppName=N\r\n"
                                    L"[TfrmAlpha]\r\nk=v\r\n[Info]\r\nVersion=2\r\nLanguage=X\r\n"
                                    L"[LibRes]\r\nq=1\r\n[BasicRes]\r\nb=1\r\n[skinres]\r\ns=1\r\n"
                                    L"[TfrmAlpha]\r\nj=w\r\n");
  Machine.Machine().AddFolder(L"C:\\out");
  ASSERT_EQ(Data.SaveCurrentToFile(L"C:\\out\\X.lan"), kplat::err::Success);
  const auto bytes = Machine.Machine().FileContent(L"C:\\out\\X.lan");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(
      DecodeLangText(*bytes),
      L"[Info]\r\nVersion=2\r\nLanguage=X\r\n\r\n[BasicRes]\r\nb=1\r\n\r\n[skinres]\r\ns=1\r\n"
      L"\r\n[LibRes]\r\nq=1\r\n\r\n[AppRes]\r\nAppName=N\r\nz=1\r\n\r\n[TfrmAlpha]\r\n"
      L"j=w\r\nk=v\r\n\r\n[TfrmZeta]\r\nA=1\r\nb=2\r\n");

  Data.ClearCurrentAllForm();
  std::wstring v;
  EXPECT_FALSE(Data.CurrentData().GetProp(L"TfrmZeta", L"", L"A", v));
  EXPECT_TRUE(Data.CurrentData().GetProp(L"BasicRes", L"", L"b", v));
  EXPECT_TRUE(Data.CurrentData().GetProp(L"Info", L"", L"Language", v));
}
