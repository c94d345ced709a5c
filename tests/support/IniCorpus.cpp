#include "support/IniCorpus.h"

#include "platform/TextCodec.h"

#include <cstdlib>

namespace {

std::vector<uint8_t> Bytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

std::vector<uint8_t> Utf16Le(const std::wstring& aText) {
  std::vector<uint8_t> out{0xFF, 0xFE};
  const std::vector<uint8_t> body = kplat::EncodeUtf16Le(aText);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> Utf16Be(const std::wstring& aText) {
  std::vector<uint8_t> out = Utf16Le(aText);
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    std::swap(out[i], out[i + 1]);
  }
  return out;
}

std::vector<TIniCorpusFile> BuildCorpus() {
  const std::string v2047(2047, 'a');
  const std::string v3000 = std::string(2000, 'b') + std::string(1000, 'c');
  std::vector<TIniCorpusFile> corpus;
  corpus.push_back({"basic",
                    Bytes("[Sec]\r\nKey=Value\r\nOther=Second value\r\n"),
                    {L"Sec", L"SEC", L"sec", L"Missing"},
                    {L"Key", L"KEY", L"other", L"Nope"}});
  corpus.push_back({"blanks",
                    Bytes("  [ Spaced ]  \r\n  key  =  value with blanks  \r\n\tTab\t=\tx\t\r\n"
                          "empty=\r\nspaces=    \r\n"),
                    {L"Spaced", L" Spaced ", L"  Spaced  "},
                    {L"key", L" key ", L"Tab", L"empty", L"spaces"}});
  corpus.push_back({"quotes",
                    Bytes("[Q]\r\na=\"double\"\r\nb='single'\r\nc=\"mismatch'\r\nd=\"\r\ne=\"\"\r\n"
                          "f=\" padded \"\r\ng=\"one\"two\"\r\nh='\r\ni=\"open\r\nj=close\"\r\n"
                          "k=''\r\nl=\"\"inner\"\"\r\n"),
                    {L"Q"},
                    {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j", L"k", L"l"}});
  corpus.push_back({"duplicates",
                    Bytes("[A]\r\nk=1\r\nk=2\r\nn=only\r\n[B]\r\nx=1\r\n[a]\r\nk=3\r\nm=4\r\n"),
                    {L"A", L"a", L"B"},
                    {L"k", L"K", L"n", L"m", L"x"}});
  corpus.push_back({"comments",
                    Bytes("[S]\r\n;comment=1\r\nk=v\r\n; another\r\n#hash=2\r\n  ;indented=3\r\n"
                          "after=v;not a comment\r\n"),
                    {L"S"},
                    {L";comment", L"k", L"#hash", L";indented", L"after"}});
  corpus.push_back({"noequals",
                    Bytes("[S]\r\nlonely\r\nk=v\r\n=emptykey\r\nlast\r\n[T]\r\nt=1\r\n"),
                    {L"S", L"T"},
                    {L"lonely", L"k", L"", L"last", L"t"}});
  corpus.push_back({"nofinalbreak", Bytes("[S]\r\nk=v\r\nlast=end"), {L"S"}, {L"k", L"last"}});
  corpus.push_back({"utf8bom",
                    Bytes("\xEF\xBB\xBF[S]\r\nk=Gr\xC3\xBC\xC3\x9F"
                          "e\r\n\xC3\x84rger=yes\r\n"),
                    {L"S"},
                    {L"k", L"\u00C4rger"}});
  corpus.push_back({"utf16le",
                    Utf16Le(L"[S]\r\nk=\u03A9mega\r\n[\u0416]\r\n\u0436=lower\r\n"),
                    {L"S", L"\u0416"},
                    {L"k", L"\u0436"}});
  corpus.push_back({"utf16be", Utf16Be(L"[S]\r\nk=big end\r\n"), {L"S"}, {L"k"}});
  corpus.push_back({"blanklines",
                    Bytes("\r\n\r\n[S]\r\n\r\nk=v\r\n\r\n\r\n[T]\r\n   \r\nm=n\r\n\r\n"),
                    {L"S", L"T"},
                    {L"k", L"m"}});
  corpus.push_back({"openbracket",
                    Bytes("[S]\r\n[broken\r\nk=v\r\n[T\r\nm=n\r\n[x=1\r\n"),
                    {L"S", L"T", L"broken"},
                    {L"k", L"m", L"[x", L"[broken", L"[T"}});
  corpus.push_back({"beforesection",
                    Bytes("k0=top\r\nplain\r\n[S]\r\nk=v\r\n"),
                    {L"", L"S"},
                    {L"k0", L"k", L"plain"}});
  corpus.push_back({"cronly", Bytes("[S]\rk=v\rm=n\r[T]\rx=y"), {L"S", L"T"}, {L"k", L"m", L"x"}});
  corpus.push_back(
      {"lfonly", Bytes("[S]\nk=v\nm=n\n[T]\nx=y\n"), {L"S", L"T"}, {L"k", L"m", L"x"}});
  corpus.push_back({"mixedends",
                    Bytes("[S]\n\rk=v\r\r\nm=n\n\n\r[T]\r\n\nx=y"),
                    {L"S", L"T"},
                    {L"k", L"m", L"x"}});
  corpus.push_back({"long",
                    Bytes("[L]\r\nexact=" + v2047 + "\r\nover=" + v2047 + "xyz\r\nlong=" + v3000 +
                          "\r\nquoted=\"" + v3000 + "\"\r\nshortq=\"" + std::string(2000, 'q') +
                          "\"\r\nq2047=\"" + v2047 + "\"\r\nq2046='" + v2047.substr(1) + "'\r\n"),
                    {L"L"},
                    {L"exact", L"over", L"long", L"quoted", L"shortq", L"q2047", L"q2046"}});
  corpus.push_back({"ansi", Bytes("[S]\r\nk=caf\xE9\r\neuro=\x80 5\r\n"), {L"S"}, {L"k", L"euro"}});
  corpus.push_back({"trailingtext",
                    Bytes("[S] junk after\r\nk=v\r\n[T]]\r\nm=n\r\n"),
                    {L"S", L"T", L"T]"},
                    {L"k", L"m"}});
  corpus.push_back({"emptysection",
                    Bytes("[Empty]\r\n[S]\r\nk=v\r\n[]\r\ne=in unnamed\r\n"),
                    {L"Empty", L"S", L""},
                    {L"k", L"e"}});
  corpus.push_back({"oddblanks",
                    Utf16Le(L"[S]\r\n\vvt\f=\fform\v\r\nnb\u00A0=\u00A0hard\u00A0\r\n"
                            L"\u3000ideo=\u2003em\r\n"),
                    {L"S"},
                    {L"vt", L"nb", L"nb\u00A0", L"ideo", L"\u3000ideo"}});
  corpus.push_back({"ctrlz", Bytes("[S]\r\nk=v\r\nz=last\r\n\x1A"), {L"S"}, {L"k", L"z"}});
  corpus.push_back({"equalsinvalue",
                    Bytes("[S]\r\nk=a=b\r\nurl=http://x/?q=1&r=2\r\n  spaced key = v\r\n"),
                    {L"S"},
                    {L"k", L"url", L"spaced key", L"spaced  key"}});
  return corpus;
}

} // namespace

const std::vector<TIniCorpusFile>& IniCorpus() {
  static const std::vector<TIniCorpusFile> corpus = BuildCorpus();
  return corpus;
}

const TIniCorpusFile& IniCorpusFile(const std::string& aName) {
  for (const TIniCorpusFile& file : IniCorpus()) {
    if (file.Name == aName) {
      return file;
    }
  }
  std::abort(); // a test asked for a file the corpus does not have
}
