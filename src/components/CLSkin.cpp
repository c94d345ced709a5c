#include "components/CLSkin.h"

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "platform/TextCodec.h"

#include <array>
#include <map>
#include <optional>
#include <utility>

namespace {

TCLSkinTheme& Current() {
  static TCLSkinTheme theme;
  return theme;
}

struct TListeners {
  int Next = 1;
  std::map<int, std::function<void()>> Items;
};

TListeners& Listeners() {
  static TListeners listeners;
  return listeners;
}

constexpr int kMinFontSize = 6;
constexpr int kMaxFontSize = 72;

// "#RRGGBB" as the window system's $00BBGGRR.
std::optional<TColor> ParseColor(std::wstring_view aText) {
  if (aText.size() != 7 || aText[0] != L'#')
    return std::nullopt;
  uint32_t rgb = 0;
  for (size_t i = 1; i < aText.size(); ++i) {
    const int digit = HexDigitValue(aText[i]);
    if (digit < 0)
      return std::nullopt;
    rgb = (rgb << 4) | static_cast<uint32_t>(digit);
  }
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// The file name without folder and without its skin extensions (".skn", ".nsf.skn").
std::wstring SkinNameOf(const std::wstring& aSource) {
  std::wstring name = aSource.substr(aSource.find_last_of(L"\\/") + 1);
  for (const wchar_t* extension : {L".skn", L".nsf"}) {
    const std::wstring_view ext(extension);
    if (name.size() > ext.size() &&
        kplat::SameText(std::wstring_view(name).substr(name.size() - ext.size()), ext))
      name.resize(name.size() - ext.size());
  }
  return name;
}

TCLSkinLoadResult Failure(const std::wstring& aSource, const std::wstring& aWhat) {
  TCLSkinLoadResult result;
  result.Error = aSource + L": " + aWhat;
  return result;
}

} // namespace

const TCLSkinTheme& CurrentSkinTheme() {
  return Current();
}

void SetCurrentSkinTheme(const TCLSkinTheme& aTheme) {
  Current() = aTheme;
  // A listener may add or remove listeners: call those present now that are still there.
  std::vector<int> ids;
  for (const auto& [id, listener] : Listeners().Items)
    ids.push_back(id);
  for (int id : ids) {
    const auto found = Listeners().Items.find(id);
    if (found != Listeners().Items.end()) {
      const std::function<void()> listener = found->second;
      listener();
    }
  }
}

int AddSkinThemeListener(std::function<void()> aListener) {
  const int id = Listeners().Next++;
  Listeners().Items.emplace(id, std::move(aListener));
  return id;
}

void RemoveSkinThemeListener(int aListener) {
  Listeners().Items.erase(aListener);
}

// --- Skin files

TCLSkinLoadResult ParseSkinText(std::wstring_view aText, const std::wstring& aSource,
                                bool aSkinnedForm, TCLSkinTheme& aTheme) {
  TCLMemIniFile ini;
  ini.SetText(aText);
  if (!ini.SectionExists(L"Skin"))
    return Failure(aSource, L"no [Skin] section; this is not a skin file");

  TCLSkinTheme theme;
  theme.SystemColors = false;
  theme.SkinnedForm = aSkinnedForm;
  theme.Name = ini.ReadString(L"Skin", L"Name", L"");
  if (theme.Name.empty())
    theme.Name = SkinNameOf(aSource);
  if (ini.ValueExists(L"Skin", L"Dark")) {
    const std::optional<bool> dark = ParseIniBool(ini.ReadString(L"Skin", L"Dark", L""));
    if (!dark)
      return Failure(aSource, L"[Skin] Dark is neither 0 nor 1");
    theme.Dark = *dark;
  }

  const std::array<std::pair<const wchar_t*, TColor*>, 10> colors = {{
      {L"Window", &theme.Window},
      {L"WindowText", &theme.WindowText},
      {L"ButtonFace", &theme.ButtonFace},
      {L"ButtonText", &theme.ButtonText},
      {L"Highlight", &theme.Highlight},
      {L"HighlightText", &theme.HighlightText},
      {L"Link", &theme.Link},
      {L"Accent", &theme.Accent},
      {L"Band", &theme.Band},
      {L"BandText", &theme.BandText},
  }};
  for (const auto& [key, field] : colors) {
    if (!ini.ValueExists(L"Colors", key))
      continue;
    const std::wstring text = ini.ReadString(L"Colors", key, L"");
    const std::optional<TColor> color = ParseColor(text);
    if (!color)
      return Failure(aSource, L"[Colors] " + std::wstring(key) + L": \"" + text +
                                  L"\" is not a colour of the form #RRGGBB");
    *field = *color;
  }

  theme.FontName = ini.ReadString(L"Font", L"Name", L"");
  if (ini.ValueExists(L"Font", L"Size")) {
    const std::wstring text = ini.ReadString(L"Font", L"Size", L"");
    const std::optional<int32_t> size = ParseIniInteger(text);
    if (!size || *size < kMinFontSize || *size > kMaxFontSize)
      return Failure(aSource, L"[Font] Size: \"" + text + L"\" is not a point size from 6 to 72");
    theme.FontSize = *size;
  }

  aTheme = std::move(theme);
  TCLSkinLoadResult result;
  result.Loaded = true;
  return result;
}

TCLSkinLoadResult LoadSkinFile(const std::wstring& aFileName, bool aSkinnedForm,
                               TCLSkinTheme& aTheme) {
  std::wstring text;
  const TIniLoadResult read = ReadIniTextFile(aFileName, text);
  if (!read) {
    return Failure(aFileName, read.Status == TIniLoadStatus::Missing ? L"no such file"
                              : read.Status == TIniLoadStatus::TooLarge
                                  ? L"the file is too large for a skin"
                                  : L"the file cannot be read (system error " +
                                        std::to_wstring(read.Error) + L")");
  }
  return ParseSkinText(text, aFileName, aSkinnedForm, aTheme);
}

// --- TCLSkinData

TCLSkinData::TCLSkinData(TComponent* aOwner) : TComponent(aOwner), FTheme(FBuiltIn) {}

void TCLSkinData::SetBuiltInSkin(const TCLSkinTheme& aTheme) {
  FBuiltIn = aTheme;
  if (!FFileSkin) {
    FTheme = FBuiltIn;
    Apply();
  }
}

TCLSkinLoadResult TCLSkinData::LoadFromFile(const std::wstring& aFileName, bool aSkinnedForm) {
  TCLSkinTheme theme;
  TCLSkinLoadResult result = LoadSkinFile(aFileName, aSkinnedForm, theme);
  if (result) {
    FTheme = std::move(theme);
    FFileSkin = true;
    Apply();
  }
  return result;
}

void TCLSkinData::UseBuiltInSkin() {
  FTheme = FBuiltIn;
  FFileSkin = false;
  Apply();
}

void TCLSkinData::SetSkinnableForm(bool aValue) {
  if (FTheme.SkinnedForm != aValue) {
    FTheme.SkinnedForm = aValue;
    Apply();
  }
}

void TCLSkinData::SetGlowFrames(bool aButtons, bool aCaptionButtons) {
  if (FTheme.ButtonGlow != aButtons || FTheme.CaptionGlow != aCaptionButtons) {
    FTheme.ButtonGlow = aButtons;
    FTheme.CaptionGlow = aCaptionButtons;
    Apply();
  }
}

void TCLSkinData::Apply() {
  SetCurrentSkinTheme(FTheme);
}
