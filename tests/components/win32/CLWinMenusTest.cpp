// Pop-up menus on the real menu system, answered by a thread timer that the menu's own modal
// loop serves.
#include "components/win32/CLWinMenus.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT kPollMs = 20;
constexpr int kPollLimit = 500; // 10 s

std::function<void(HWND)> GAnswer;
int GTicks = 0;
bool GFound = false;

void CALLBACK Poll(HWND, UINT, UINT_PTR aTimer, DWORD) {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  if (menu != nullptr && ::IsWindowVisible(menu)) {
    GFound = true;
    ::KillTimer(nullptr, aTimer);
    GAnswer(menu);
  } else if (++GTicks > kPollLimit) {
    ::KillTimer(nullptr, aTimer);
    ::EndMenu();
  }
}

void PopupAnswered(TPopupMenu& aMenu, std::function<void(HWND)> aAnswer) {
  GAnswer = std::move(aAnswer);
  GTicks = 0;
  GFound = false;
  ::SetTimer(nullptr, 0, kPollMs, Poll);
  aMenu.Popup(120, 80);
  EXPECT_TRUE(GFound) << "the menu never showed";
}

struct TShownItem {
  std::wstring Text;
  UINT Type = 0;
  UINT State = 0;
  int SubItems = -1;
};

std::vector<TShownItem> ShownItems(HMENU aMenu) {
  std::vector<TShownItem> items;
  for (int i = 0; i < ::GetMenuItemCount(aMenu); ++i) {
    wchar_t text[64] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = 64;
    ::GetMenuItemInfoW(aMenu, i, TRUE, &info);
    items.push_back({text, info.fType, info.fState,
                     info.hSubMenu != nullptr ? ::GetMenuItemCount(info.hSubMenu) : -1});
  }
  return items;
}

class WinPopupMenu : public ::testing::Test {
protected:
  TMenuItem* Add(TMenuItem& aParent, const std::wstring& aCaption) {
    auto* item = new TMenuItem(&FOwner);
    item->SetCaption(aCaption);
    item->OnClick = [this, aCaption](TObject&) { FClicked.push_back(aCaption); };
    aParent.Add(item);
    return item;
  }

  TComponent FOwner{nullptr};
  std::vector<std::wstring> FClicked;
};

} // namespace

TEST_F(WinPopupMenu, ShowsTheItemTreeAndClicksTheChoice) {
  auto* menu = new TPopupMenu(&FOwner);
  Add(menu->Items(), L"&Open")->SetChecked(true);
  Add(menu->Items(), L"-");
  Add(menu->Items(), L"Hidden")->SetVisible(false);
  Add(menu->Items(), L"&Off")->SetEnabled(false);
  Add(*Add(menu->Items(), L"&More"), L"&Deep");
  TMenuItem* run = Add(menu->Items(), L"&Run");
  run->SetRadioItem(true);
  run->SetChecked(true);
  int popups = 0;
  menu->OnPopup = [&](TObject&) { ++popups; };
  BindPopupMenu(*menu);

  std::vector<TShownItem> shown;
  PopupAnswered(*menu, [&](HWND aMenu) {
    shown = ShownItems(reinterpret_cast<HMENU>(::SendMessageW(aMenu, MN_GETHMENU, 0, 0)));
    ::PostMessageW(aMenu, WM_CHAR, L'r', 0);
  });
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(FClicked, std::vector<std::wstring>{L"&Run"});
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].Text, L"&Open");
  EXPECT_TRUE(shown[0].State & MFS_CHECKED);
  EXPECT_TRUE(shown[1].Type & MFT_SEPARATOR);
  EXPECT_EQ(shown[2].Text, L"&Off");
  EXPECT_TRUE(shown[2].State & MFS_DISABLED);
  EXPECT_EQ(shown[3].Text, L"&More");
  EXPECT_EQ(shown[3].SubItems, 1);
  EXPECT_EQ(shown[4].Text, L"&Run");
  EXPECT_TRUE(shown[4].Type & MFT_RADIOCHECK);
  EXPECT_TRUE(shown[4].State & MFS_CHECKED);
  EXPECT_FALSE(shown[4].State & MFS_DISABLED);
}

TEST_F(WinPopupMenu, AnItemFreedWhileTheMenuIsOpenIsNotClicked) {
  auto* menu = new TPopupMenu(&FOwner);
  Add(menu->Items(), L"&Open");
  TMenuItem* run = Add(menu->Items(), L"&Run");
  BindPopupMenu(*menu);

  PopupAnswered(*menu, [&](HWND aMenu) {
    delete run;
    ::PostMessageW(aMenu, WM_CHAR, L'r', 0);
  });
  EXPECT_TRUE(FClicked.empty());
  EXPECT_EQ(menu->Items().Count(), 1);

  // Escape closes the menu without a choice.
  PopupAnswered(*menu, [](HWND aMenu) { ::PostMessageW(aMenu, WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_TRUE(FClicked.empty());
}
