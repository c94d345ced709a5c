// The language file reader over any bytes: loaded from a ".lan" file on the in-memory machine,
// looked up, sorted and written back.
#include "FuzzMachine.h"

#include "base/CLMultiLangLan.h"

namespace {

const std::wstring kFile = fuzz::kProgramFolder + L"lang\\Fuzz.lan";
const wchar_t* const kSections[] = {L"Info", L"AppRes", L"LibRes", L"TfrmMain"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::vector<uint8_t> bytes = fuzz::Bytes(aData, aSize);
  fuzz::Machine().AddFileContent(kFile, bytes);

  TCLMultiLangLan lan;
  lan.LoadFromFile(kFile);
  std::wstring value;
  for (const wchar_t* section : kSections) {
    TStringList list;
    lan.GetSectionStrings(section, list);
    lan.GetProp(section, L"btnOk", L"Caption", value);
    lan.GetProp(section, L"", L"AppName", value);
  }
  const std::wstring text = lan.ToString();
  EncodeLangValue(DecodeLangValue(text));
  lan.SetProp(L"AppRes", L"", L"Fuzz", text.substr(0, 64));
  lan.SortData();
  lan.Data();
  lan.ClearAllForm();
  lan.SaveToFile(kFile);

  TCLMultiLangLan again;
  again.LoadFromString(DecodeLangText(bytes));
  again.UpdateData();
  return 0;
}
