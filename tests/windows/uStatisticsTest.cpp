#include "windows/uStatistics.h"

#include "support/WindowTest.h"

namespace {

using StatisticsWindow = WindowTest;

} // namespace

TEST_F(StatisticsWindow, ShowsTheTotalsAndClearsThem) {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingInteger(L"Summary.AllCount", 1234);
  settings.SetSettingFloat(L"Summary.FileSizeCount", 1572864);
  settings.SetSettingFloat(L"Summary.MatchedFileSizeCount", 5.5e9);
  {
    TfrmStatistics window(nullptr);
    EXPECT_EQ(window.Caption(), L"Statistics");
    ASSERT_EQ(window.lvStatistics->Items().Count(), 8);
    const TListItem& all = window.lvStatistics->Items().Item(0);
    EXPECT_EQ(all.Caption(), L"All Scanned");
    EXPECT_EQ(all.SubItems().Strings(0), L"1234");
    EXPECT_EQ(window.lvStatistics->Items().Item(3).SubItems().Strings(0), L"1.50 MB");
    EXPECT_EQ(window.lvStatistics->Items().Item(7).Caption(), L"Matched Junk Files Size");
    EXPECT_EQ(window.lvStatistics->Items().Item(7).SubItems().Strings(0), L"5245.21 MB");

    window.btnClear->Click();
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(window.lvStatistics->Items().Item(i).SubItems().Strings(0), L"-");
  }
  EXPECT_EQ(settings.GetSettingInteger(L"Summary.AllCount"), 0);
  EXPECT_EQ(settings.GetSettingFloat(L"Summary.FileSizeCount"), 0);

  // The user's decimal separator.
  kplat::TDateTimeFormats formats;
  formats.DecimalSeparator = L",";
  FScope.Machine().SetDateTimeFormats(formats);
  EXPECT_EQ(FormatMegabytes(1572864), L"1,50 MB");
}
