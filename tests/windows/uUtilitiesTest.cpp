#include "windows/uUtilities.h"

#include "support/WindowTest.h"

namespace {

class UtilitiesPage : public WindowTest {
protected:
  void SetFile(const std::string& aText) { Program().File(L"data\\utilities.db", aText); }
  static std::vector<std::wstring> Items(const TfrmUtilities& aPage) {
    std::vector<std::wstring> items;
    for (int i = 0; i < aPage.lvList->Items().Count(); ++i) {
      const TListItem& item = aPage.lvList->Items().Item(i);
      items.push_back(item.Caption() + L"|" + std::to_wstring(item.ImageIndex()) + L"|" +
                      item.SubItems().Strings(0));
    }
    return items;
  }

  TImageList FIcons{nullptr};
};

} // namespace

TEST_F(UtilitiesPage, ListsEachPageUpToTheFirstToolWithoutACaption) {
  SetFile("PAGE_0=System\r\npage_2=Disks\r\nPAGE_0=ignored\r\n"
          "TOOLS_0_0_CAPTION=Editor\r\nTOOLS_0_0_ICON=4\r\nTOOLS_0_0_EXC={APPPATH}tool.exe\r\n"
          "TOOLS_0_1_CAPTION=Bare\r\nTOOLS_0_1_ICON=x\r\nTOOLS_0_1_EXC=regedit.exe\r\n"
          "TOOLS_0_3_CAPTION=After a gap\r\n"
          "TOOLS_2_0_CAPTION=\r\nTOOLS_2_1_CAPTION=Hidden by the empty one\r\n");
  TfrmUtilities page(nullptr, &FIcons);
  EXPECT_TRUE(FBox.Texts.empty());
  EXPECT_EQ(page.lblToolsTitle->Caption(), L"Tools");
  EXPECT_EQ(page.ts[0]->Caption(), L"System");
  EXPECT_TRUE(page.ts[0]->TabVisible());
  EXPECT_FALSE(page.ts[1]->TabVisible());
  EXPECT_TRUE(page.ts[2]->TabVisible());
  EXPECT_EQ(Items(page),
            (std::vector<std::wstring>{L"Editor|4|{APPPATH}tool.exe", L"Bare|0|regedit.exe"}));
  page.pcPage->SelectByUser(2);
  EXPECT_TRUE(Items(page).empty());
}

TEST_F(UtilitiesPage, AClickStartsTheToolUnderThePointer) {
  SetFile("PAGE_0=System\r\n"
          "TOOLS_0_0_CAPTION=Ours\r\nTOOLS_0_0_EXC={APPPATH}tool.exe\r\n"
          "TOOLS_0_1_CAPTION=System's\r\nTOOLS_0_1_EXC=regedit.exe\r\n"
          "TOOLS_0_2_CAPTION=No command\r\n");
  Machine().AddFile(kProgram + L"tool.exe");
  TfrmUtilities page(nullptr, &FIcons);
  const int rowHeight = page.lvList->ItemHeight();
  page.lvList->MouseUp(TMouseButton::mbLeft, 0, 10, rowHeight / 2);
  page.lvList->MouseUp(TMouseButton::mbLeft, 0, 10, rowHeight + rowHeight / 2);
  page.lvList->MouseUp(TMouseButton::mbLeft, 0, 10, 2 * rowHeight + 1);
  page.lvList->MouseUp(TMouseButton::mbLeft, 0, 10, 10 * rowHeight);
  page.lvList->MouseUp(TMouseButton::mbRight, 0, 10, 1);
  const auto launches = Machine().Launches();
  ASSERT_EQ(launches.size(), 2u);
  // The path holds a blank: quoted, so that Windows cannot start "C:\Program" instead.
  EXPECT_EQ(launches[0].CommandLine, L"\"" + kProgram + L"tool.exe\" cwm");
  EXPECT_TRUE(launches[0].Application.empty());
  EXPECT_EQ(launches[1].CommandLine, L"regedit.exe ");
}

TEST_F(UtilitiesPage, AToolOfTheProgramFolderWithArgumentsStaysInTheFolder) {
  Machine().AddFile(kProgram + L"tools\\Disk Tool.exe");
  // The program part is quoted, up to the longest part that names a file...
  EXPECT_EQ(UtilityCommandLine(L"{APPPATH}tools\\Disk Tool.exe /all"),
            L"\"" + kProgram + L"tools\\Disk Tool.exe\" /all ");
  // ...else up to the first blank after the folder.
  EXPECT_EQ(UtilityCommandLine(L"{APPPATH}gone.exe /x"), L"\"" + kProgram + L"gone.exe\" /x ");
  // What cannot be a file's name starts nothing.
  EXPECT_EQ(UtilityCommandLine(L"{APPPATH} /x"), L"");
  EXPECT_EQ(UtilityCommandLine(L"{APPPATH}a\"b c"), L"");
  EXPECT_EQ(UtilityCommandLine(L"{APPPATH}tools\\ x"), L"");
  // Commands of the system's own tools keep their text.
  EXPECT_EQ(UtilityCommandLine(L"mmc.exe services.msc"), L"mmc.exe services.msc ");

  SetFile("TOOLS_0_0_CAPTION=Bad\r\nTOOLS_0_0_EXC={APPPATH}a\"b c\r\n");
  TfrmUtilities page(nullptr, &FIcons);
  page.lvList->MouseUp(TMouseButton::mbLeft, 0, 10, 1);
  EXPECT_TRUE(Machine().Launches().empty());
}

TEST_F(UtilitiesPage, ThePointerIsAHandOverAToolOnly) {
  SetFile("TOOLS_0_0_CAPTION=Editor\r\nTOOLS_0_0_EXC=regedit.exe\r\n");
  TfrmUtilities page(nullptr, &FIcons);
  page.lvList->MouseMove(0, 10, 1);
  EXPECT_EQ(page.lvList->Cursor(), TCursor::crHandPoint);
  page.lvList->MouseMove(0, 10, 200);
  EXPECT_EQ(page.lvList->Cursor(), TCursor::crDefault);
}

TEST_F(UtilitiesPage, AMissingFileIsReportedAndLeavesThePageEmpty) {
  TfrmUtilities page(nullptr, &FIcons);
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_NE(FBox.Texts[0].find(L"utilities.db"), std::wstring::npos) << FBox.Texts[0];
  EXPECT_EQ(page.lvList->Items().Count(), 0);
}

TEST_F(UtilitiesPage, TheShippedFileListsSystemToolsOnTwoPages) {
  const std::string text = ReadSource("data/utilities.db");
  ASSERT_FALSE(text.empty());
  SetFile(text);
  TfrmUtilities page(nullptr, &FIcons);
  for (int p = 0; p < 2; ++p) {
    page.pcPage->SelectByUser(p);
    EXPECT_TRUE(page.ts[p]->TabVisible());
    EXPECT_GE(page.lvList->Items().Count(), 4);
    for (const std::wstring& item : Items(page))
      EXPECT_NE(item.find(L".exe"), std::wstring::npos) << item;
  }
}
