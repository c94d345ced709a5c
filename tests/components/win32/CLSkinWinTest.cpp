// Skins, languages and the about window on real windows: a language change reaches the open
// window's controls, the Dark skin paints it, and the about window is placed inside a host
// window. Screenshots go to the screenshots folder for a person to look at.

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "base/win32/CLMainThreadWin.h"
#include "components/win32/CLWinBinding.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScreenshot.h"
#include "windows/CLAboutForm.h"
#include "windows/win32/CLWinPlacer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using ktest::win32::PumpUntil;

constexpr DWORD kWaitMs = 5000;

std::wstring WindowText(HWND aWindow) {
  wchar_t text[512] = {};
  ::GetWindowTextW(aWindow, text, 512);
  return text;
}

// The form's client area as the screen shows it: the colour at a point 4 pixels inside.
COLORREF ClientPixel(HWND aWindow) {
  POINT point{4, 4};
  ::ClientToScreen(aWindow, &point);
  HDC screen = ::GetDC(nullptr);
  const COLORREF color = ::GetPixel(screen, point.x, point.y);
  ::ReleaseDC(nullptr, screen);
  return color;
}

// Writes a file, making its folder; the folder is removed again when this made it.
class TScratchFile {
public:
  TScratchFile(const std::wstring& aFolder, const std::wstring& aName,
               const std::vector<uint8_t>& aBytes)
      : FFolder(aFolder), FPath(aFolder + L"\\" + aName) {
    FMadeFolder = ::CreateDirectoryW(aFolder.c_str(), nullptr) != FALSE;
    HANDLE file = ::CreateFileW(FPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, aBytes.data(), static_cast<DWORD>(aBytes.size()), &written, nullptr);
    ::CloseHandle(file);
  }
  ~TScratchFile() {
    ::DeleteFileW(FPath.c_str());
    if (FMadeFolder)
      ::RemoveDirectoryW(FFolder.c_str());
  }
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;

private:
  std::wstring FFolder;
  std::wstring FPath;
  bool FMadeFolder = false;
};

std::vector<uint8_t> Utf8(const char* aText) {
  return std::vector<uint8_t>(aText, aText + std::char_traits<char>::length(aText));
}

// A window with translated texts, as the program's windows are.
class TfrmProbe : public TForm {
public:
  TfrmProbe() : TForm(nullptr, L"TfrmProbe") {
    SetName(L"frmProbe");
    SetBounds(120, 120, 360, 200);
    lblNote = NewComponent<TLabel>(this, L"lblNote");
    lblNote->SetParent(this);
    lblNote->SetBounds(16, 16, 320, 20);
    edtName = NewComponent<TEdit>(this, L"edtName");
    edtName->SetParent(this);
    edtName->SetBounds(16, 44, 200, 24);
    edtName->SetText(L"C:\\Windows\\Temp");
    cbAll = NewComponent<TCheckBox>(this, L"cbAll");
    cbAll->SetParent(this);
    cbAll->SetBounds(16, 80, 200, 20);
    cbAll->SetChecked(true);
    btnGo = NewComponent<TButton>(this, L"btnGo");
    btnGo->SetParent(this);
    btnGo->SetBounds(256, 150, 88, 26);
    language = NewComponent<TCLMultiLang>(this, L"clMultiLang");
  }
  TLabel* lblNote;
  TEdit* edtName;
  TCheckBox* cbAll;
  TButton* btnGo;
  TCLMultiLang* language;
};

class SkinWin : public ::testing::Test {
  // Made first and gone last: the windows of the fixture are bound, later suites get none.
  std::optional<TWin32BindingScope> FBinding;

protected:
  SkinWin() {
    kplat::win32::InstallWin32Platform();
    FBinding.emplace();
    InstallWin32FormPlacer();
    // <windows.h> makes SetProp a macro: the probe's texts go in as language text.
    FLanguage.DefaultData().LoadFromString(std::wstring(CLBuiltInEnglish()) +
                                           L"\r\n[TfrmProbe]\r\nfrmProbe.Caption=Probe window\r\n"
                                           L"lblNote.Caption=Folders to sweep\r\n"
                                           L"cbAll.Caption=All users\r\nbtnGo.Caption=Go\r\n");
    FEngine.SetLanguageData(&FLanguage);
    FEngine.SetSkinData(&FSkinData);
  }
  ~SkinWin() override {
    FEngine.SetSkin(L"Default");
    FEngine.SetLanguage(L"English");
    FreeCLSettings();
  }

  TCLMainThreadWin FMainThread;
  TCLScopedMainThread FMainThreadScope{FMainThread};
  TCLMultiLangData FLanguage{nullptr};
  TCLSkinData FSkinData{nullptr};
  TCLEngine FEngine{nullptr};
};

HWND GHost = nullptr;
HWND GAboutParent = nullptr;
POINT GAboutOrigin{-1, -1};

void CALLBACK LookAtAboutWindow(HWND, UINT, UINT_PTR, DWORD) {
  HWND about = ::FindWindowExW(GHost, nullptr, L"TfrmCLAboutForm", nullptr);
  if (about == nullptr)
    about = ::FindWindowW(L"TfrmCLAboutForm", nullptr); // not placed: closed all the same
  if (about == nullptr)
    return;
  GAboutParent = ::GetParent(about);
  RECT rect{};
  ::GetWindowRect(about, &rect);
  GAboutOrigin = POINT{rect.left, rect.top};
  ::ScreenToClient(GHost, &GAboutOrigin);
  ::PostMessageW(about, WM_CLOSE, 0, 0);
}

} // namespace

TEST_F(SkinWin, LanguageChangeReachesTheOpenWindow) {
  const TScratchFile file(
      GetAppPath() + L"lang", L"ProbeDeutsch.lan",
      Utf8("[Info]\nLanguage=Deutsch\n[TfrmProbe]\nfrmProbe.Caption=Probefenster\n"
           "lblNote.Caption=Zu fegende Ordner\nbtnGo.Caption=Los\n"));
  FEngine.SetLanguage(L"English");
  TfrmProbe window;
  window.language->SetLanguageData(&FLanguage);
  window.Loaded();
  window.ShowForm();
  HWND form = FormWindow(window);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(WindowText(ControlWindow(*window.btnGo)), L"Go");

  FEngine.SetLanguage(L"ProbeDeutsch");
  ASSERT_EQ(FEngine.Language(), L"ProbeDeutsch");
  EXPECT_EQ(WindowText(form), L"Probefenster");
  EXPECT_EQ(WindowText(ControlWindow(*window.lblNote)), L"Zu fegende Ordner");
  EXPECT_EQ(WindowText(ControlWindow(*window.btnGo)), L"Los");
  // Not in the file: the built-in English.
  EXPECT_EQ(WindowText(ControlWindow(*window.cbAll)), L"All users");

  FEngine.SetLanguage(L"English");
  EXPECT_EQ(WindowText(form), L"Probe window");
  EXPECT_EQ(WindowText(ControlWindow(*window.lblNote)), L"Folders to sweep");
  EXPECT_EQ(WindowText(ControlWindow(*window.btnGo)), L"Go");
}

TEST_F(SkinWin, DarkSkinPaintsTheWindow) {
  TfrmProbe window;
  window.language->SetLanguageData(&FLanguage);
  window.Loaded();
  window.ShowForm();
  HWND form = FormWindow(window);
  ASSERT_NE(form, nullptr);
  FEngine.SetSkin(L"Dark"); // the shipped skins\Dark.skn
  ASSERT_EQ(FEngine.Skin(), L"Dark");
  const COLORREF face = RGB(0x2B, 0x2D, 0x31);
  EXPECT_TRUE(PumpUntil([&] { return ClientPixel(form) == face; }, kWaitMs))
      << std::hex << ClientPixel(form);
  EXPECT_TRUE(ktest::win32::SaveWindowPng(form, ktest::win32::ScreenshotPath(L"dark")));

  FEngine.SetSkin(L"Default");
  EXPECT_TRUE(
      PumpUntil([&] { return ClientPixel(form) == ::GetSysColor(COLOR_BTNFACE); }, kWaitMs));
}

TEST_F(SkinWin, AboutWindowWithItsLogo) {
  // A logo of our own: a blue band with a lighter stripe.
  constexpr int kWidth = 420;
  constexpr int kHeight = 90;
  std::vector<uint32_t> pixels(kWidth * kHeight, 0xFF1F4E8Cu);
  for (int y = 60; y < 66; ++y)
    for (int x = 0; x < kWidth; ++x)
      pixels[y * kWidth + x] = 0xFF7AB7FFu;
  const std::wstring folder = GetAppPath() + L"res\\images";
  const bool madeRes = ::CreateDirectoryW((GetAppPath() + L"res").c_str(), nullptr) != FALSE;
  const bool madeImages = ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
  const std::wstring logo = folder + L"\\about.png";
  // The shipped logo, if the build put one there, waits beside it until the test is done.
  const std::wstring shipped = logo + L".shipped";
  const bool hadLogo = ::MoveFileExW(logo.c_str(), shipped.c_str(), MOVEFILE_REPLACE_EXISTING);
  ASSERT_TRUE(ktest::win32::SaveBgraPng(pixels, kWidth, kHeight, logo));

  {
    TfrmCLAboutForm about(nullptr, FEngine);
    ASSERT_TRUE(about.pnlLogo->Visible());
    about.ShowForm();
    HWND window = FormWindow(about);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), L"About Kestrova");
    const std::wstring info = WindowText(ControlWindow(*about.lblInfo));
    EXPECT_NE(info.find(L"Version : "), std::wstring::npos);
    EXPECT_EQ(info.find(L"tranlated"), std::wstring::npos) << "English has no translator line";
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, ::MulDiv(about.Width(), WindowDpi(window), 96));
    // The picture is taken once the screen shows the logo.
    EXPECT_TRUE(PumpUntil([&] { return ClientPixel(window) == RGB(0x1F, 0x4E, 0x8C); }, kWaitMs));
    EXPECT_TRUE(ktest::win32::SaveWindowPng(window, ktest::win32::ScreenshotPath(L"about")));
    about.HideForm();
  }

  ::DeleteFileW(logo.c_str());
  if (hadLogo)
    ::MoveFileExW(shipped.c_str(), logo.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (madeImages)
    ::RemoveDirectoryW(folder.c_str());
  if (madeRes)
    ::RemoveDirectoryW((GetAppPath() + L"res").c_str());
}

TEST_F(SkinWin, AboutWindowGoesIntoTheHostWindow) {
  TForm host(nullptr, L"TfrmAboutHost");
  host.SetBounds(100, 100, 600, 420);
  host.ShowForm();
  HWND hostWindow = FormWindow(host);
  ASSERT_NE(hostWindow, nullptr);
  FEngine.SetParentHWND(reinterpret_cast<uintptr_t>(hostWindow));

  // The modal loop runs inside AppAbout: a timer of the thread finds the about window there,
  // notes where it is and closes it.
  GHost = hostWindow;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &LookAtAboutWindow);
  AppAbout(FEngine);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(GAboutParent, hostWindow);
  EXPECT_EQ(GAboutOrigin.x, 0);
  EXPECT_EQ(GAboutOrigin.y, 0);
  FEngine.SetParentHWND(0);
}
