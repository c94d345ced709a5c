#pragma once
// The template filler of the news page. Variables and repeated blocks are set first; MakeHtml
// then fills the template: "{name}" is replaced by the variable's value and the text between
// "<!-- begin block NAME -->" and "<!-- end block NAME -->" is repeated once per instance of the
// block made with BeginBlock (not at all without one). Names ignore case; the first value set for
// a name at a place wins, and a variable not set inside a block is looked up in the blocks
// around it, up to the top level.

#include "base/CLStrings.h"

#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>

class TYewTpl {
public:
  // Blocks nest at most this deep, in the template and while variables are set.
  static constexpr int kMaxBlockLevel = 10;

  // Reads the template file (its byte-order mark honoured, else UTF-8, else the ANSI code page).
  // False with LastError when it cannot be read.
  bool LoadTpl(const std::wstring& aFileName);
  // The template from text.
  void SetTpl(const std::wstring& aText);

  // Every "\'" in inValue becomes "'".
  void SetVar(const std::wstring& inToken, const std::wstring& inValue);
  // Opens one more instance of the block at the current place; false (nothing changed) beyond
  // kMaxBlockLevel. The EndBlock that matches a refused BeginBlock does nothing either, so that
  // the variables set after it stay in the block that was open.
  bool BeginBlock(const std::wstring& inBlockToken);
  // Closes the innermost open block; the name is not used. Nothing at the top level.
  void EndBlock(const std::wstring& aBlock = L"");

  // The variable at the block path, else in the blocks around it; "" when it is nowhere.
  std::wstring GetVar(const std::wstring& inCurBlock, const std::wstring& inToken) const;
  // The characters in front of the last occurrence of FindStr in OrgStr; -1 without one.
  static int InStrRev(const std::wstring& OrgStr, const std::wstring& FindStr);

  // Fills the template into OutPutHtml. False with LastError (and what was filled so far) for a
  // template that nests blocks deeper than kMaxBlockLevel, ends a block it never began or begins
  // one it never ends.
  bool MakeHtml();
  const std::wstring& OutPutHtml() const { return m_sHTML; }
  const std::wstring& LastError() const { return FLastError; }

  // The variable and block-instance lines, in the order they were set.
  const TStringList& Variables() const { return m_oVariables; }

private:
  void AddLine(const std::wstring& aName, const std::wstring& aValue);
  bool HasName(const std::wstring& aName) const;

  TStringList m_oVariables;
  TStringList m_sTplString;
  std::wstring m_sCurBlock;
  int m_aBlockLevel = 0;
  // BeginBlock calls refused beyond the limit and not yet ended.
  int FRefusedBlocks = 0;
  std::wstring m_sLastBlockName;
  std::array<int, kMaxBlockLevel + 1> m_aBlockIndex{};
  std::wstring m_sHTML;
  std::wstring FLastError;
  // The first value of each name, by its upper-case form.
  std::unordered_map<std::wstring, std::wstring> FFirstValues;
};
