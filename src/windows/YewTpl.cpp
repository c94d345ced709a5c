#include "windows/YewTpl.h"

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <regex>
#include <vector>

namespace {

// Templates are small pages; anything larger is not one.
constexpr uint64_t kMaxTemplateBytes = 16ull * 1024 * 1024;

const std::wregex& MarkerPattern() {
  static const std::wregex pattern(L"\\{([a-z]+[a-z0-9_]*)\\}|<!-- begin block ([A-Za-z0-9_]+) "
                                   L"-->|<!-- end block ([A-Za-z0-9_]+) -->",
                                   std::regex_constants::icase | std::regex_constants::ECMAScript);
  return pattern;
}

// The path in front of its last "@".
std::wstring ParentPath(const std::wstring& aPath) {
  const int at = TYewTpl::InStrRev(aPath, L"@");
  return at < 0 ? std::wstring() : aPath.substr(0, static_cast<size_t>(at));
}

} // namespace

bool TYewTpl::LoadTpl(const std::wstring& aFileName) {
  std::vector<uint8_t> bytes;
  const kplat::TErrorCode error =
      kplat::Platform().Files().ReadFile(aFileName, bytes, kMaxTemplateBytes);
  if (error != kplat::err::Success) {
    FLastError = L"Cannot open the template " + aFileName + L" (system error " +
                 std::to_wstring(error) + L").";
    return false;
  }
  SetTpl(DecodeIniText(bytes));
  return true;
}

void TYewTpl::SetTpl(const std::wstring& aText) {
  m_sTplString.Clear();
  size_t start = 0;
  while (start < aText.size()) {
    size_t end = aText.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos)
      end = aText.size();
    m_sTplString.Add(aText.substr(start, end - start));
    if (end < aText.size() && aText[end] == L'\r' && end + 1 < aText.size() &&
        aText[end + 1] == L'\n')
      ++end;
    start = end + 1;
  }
}

void TYewTpl::AddLine(const std::wstring& aName, const std::wstring& aValue) {
  m_oVariables.Add(aName + L"=" + aValue);
  FFirstValues.emplace(kplat::UpperCase(aName), aValue);
}

bool TYewTpl::HasName(const std::wstring& aName) const {
  return FFirstValues.count(kplat::UpperCase(aName)) != 0;
}

void TYewTpl::SetVar(const std::wstring& inToken, const std::wstring& inValue) {
  AddLine(m_sCurBlock + L"&" + inToken, ReplaceAll(inValue, L"\\'", L"'"));
}

bool TYewTpl::BeginBlock(const std::wstring& inBlockToken) {
  if (m_aBlockLevel >= kMaxBlockLevel) {
    ++FRefusedBlocks;
    return false;
  }
  ++m_aBlockLevel;
  const std::wstring path = m_sCurBlock + L"@" + inBlockToken;
  int& index = m_aBlockIndex[static_cast<size_t>(m_aBlockLevel)];
  if (m_sLastBlockName.compare(0, path.size(), path) == 0)
    ++index;
  else
    index = 0;
  m_sLastBlockName = path;
  m_sCurBlock = path + L"[" + std::to_wstring(index) + L"]";
  AddLine(m_sCurBlock, L"");
  return true;
}

void TYewTpl::EndBlock(const std::wstring&) {
  if (FRefusedBlocks > 0) {
    --FRefusedBlocks;
    return;
  }
  if (m_aBlockLevel == 0)
    return;
  m_sCurBlock = ParentPath(m_sCurBlock);
  --m_aBlockLevel;
}

std::wstring TYewTpl::GetVar(const std::wstring& inCurBlock, const std::wstring& inToken) const {
  std::wstring path = inCurBlock;
  for (;;) {
    const auto found = FFirstValues.find(kplat::UpperCase(path + L"&" + inToken));
    if (found != FFirstValues.end())
      return found->second;
    if (path.find(L'@') == std::wstring::npos)
      return std::wstring();
    path = ParentPath(path);
  }
}

int TYewTpl::InStrRev(const std::wstring& OrgStr, const std::wstring& FindStr) {
  const size_t at = OrgStr.rfind(FindStr);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

bool TYewTpl::MakeHtml() {
  m_sHTML.clear();
  FLastError.clear();
  std::wstring text;
  for (int i = 0; i < m_sTplString.Count(); ++i)
    text += m_sTplString.Strings(i) + L"\r\n";

  // One more level than blocks may nest, for the counter of the level below the deepest.
  constexpr size_t kLevels = kMaxBlockLevel + 2;
  std::array<size_t, kLevels> pos{};
  std::array<size_t, kLevels> resume{};
  std::array<int, kLevels> count{};
  std::array<bool, kLevels> visible{};
  std::array<std::wstring, kLevels> names;
  visible[0] = true;
  std::wstring path;
  size_t level = 0;

  for (;;) {
    std::wsmatch match;
    const auto from = text.cbegin() + static_cast<std::ptrdiff_t>(pos[level]);
    if (!std::regex_search(from, text.cend(), match, MarkerPattern())) {
      if (visible[level])
        m_sHTML.append(from, text.cend());
      if (level > 0) {
        FLastError = L"The template begins block " + names[level] + L", which it never ends.";
        return false;
      }
      return true;
    }
    const std::wstring before(match.prefix().first, match.prefix().second);
    const size_t after = static_cast<size_t>(match[0].second - text.cbegin());

    if (match[1].matched) {
      if (visible[level])
        m_sHTML += before + GetVar(path, match[1].str());
      pos[level] = after;
    } else if (match[2].matched) {
      if (level == kMaxBlockLevel) {
        FLastError = L"The template nests blocks deeper than " + std::to_wstring(kMaxBlockLevel) +
                     L" levels at block " + match[2].str() + L".";
        return false;
      }
      if (visible[level] && count[level + 1] == 0)
        m_sHTML += before;
      ++level;
      pos[level] = after;
      names[level] = match[2].str();
      count[level + 1] = 0;
      path += L"@" + match[2].str() + L"[" + std::to_wstring(count[level]) + L"]";
      visible[level] = HasName(path);
      if (!visible[level] && count[level] > 0) {
        // Every instance is done: carry on behind the block's end.
        path = ParentPath(path);
        count[level] = 0;
        --level;
        pos[level] = resume[level];
      }
    } else {
      if (level == 0) {
        m_sHTML += before;
        FLastError = L"The template ends block " + match[3].str() + L", which it never began.";
        return false;
      }
      if (visible[level])
        m_sHTML += before;
      ++count[level];
      path = ParentPath(path);
      --level;
      resume[level] = after;
    }
  }
}
