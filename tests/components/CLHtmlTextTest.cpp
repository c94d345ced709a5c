// Reading a page's text and links without a browser: block structure, entities, links, and
// markup that is broken in every way a page from outside can be.
#include "components/CLHtmlText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HtmlText, TextKeepsTheBlocksAndDropsWhatIsNotShown) {
  const std::wstring page = L"<!DOCTYPE html><html><head><title>Ignored title</title>"
                            L"<style>p { color: red; }</style>"
                            L"<script>if (a < b) document.write('<p>no</p>');</script></head>"
                            L"<body><h1>Kestrova\n  news</h1><p>First   paragraph,\n"
                            L"<b>bold</b> and<i> italic</i>.</p><!-- a <p>comment</p> -->"
                            L"<ul><li>one<li>two</ul>line<br>break<br><br>gap"
                            L"<table><tr><td>a</td><td>b</td></tr></table>"
                            L"<pre>  keep\n   this</pre>end</body></html>";
  EXPECT_EQ(PlainTextOfHtml(page), L"Kestrova news\n\n"
                                   L"First paragraph, bold and italic.\n\n"
                                   L"one\ntwo\n\n"
                                   L"line\nbreak\n\ngap\n\n"
                                   L"a b\n\n"
                                   L"  keep\n   this\n\nend");
}

TEST(HtmlText, EntitiesAreDecodedAndUnknownOnesKept) {
  EXPECT_EQ(PlainTextOfHtml(L"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;&nbsp;f"),
            L"a & b <c> \"d\" 'e'\u00A0f");
  EXPECT_EQ(PlainTextOfHtml(L"&#65;&#x42;&#X43; &#0; &#xD800; &#99999999;"),
            L"ABC \uFFFD \uFFFD \uFFFD");
  EXPECT_EQ(PlainTextOfHtml(L"&unknown; &amp &#; &#x; &#12a; AT&T"),
            L"&unknown; &amp &#; &#x; &#12a; AT&T");
  // A character outside the basic plane, whatever the size of wchar_t.
  const std::wstring emoji = PlainTextOfHtml(L"&#x1F600;");
  EXPECT_EQ(emoji.size(), sizeof(wchar_t) >= 4 ? 1u : 2u);
  // Decoded "<" is text, never a tag.
  EXPECT_EQ(PlainTextOfHtml(L"&lt;p&gt;x"), L"<p>x");
  EXPECT_EQ(PlainTextOfHtml(L"1 < 2 and 3 <= 4 </ 5"), L"1 < 2 and 3 <= 4 </ 5");
}

TEST(HtmlText, LinksInOrderWithTheirTexts) {
  const std::wstring page =
      L"<p>See <a href=\"https://example.test/a?x=1&amp;y=2\">the <b>first</b>\n page</a>,"
      L" <A HREF='wcme:?PAGE=tools'>Tools</A>, <a href=http://bare.test/>bare</a>,"
      L" <a href=\"https://empty.test/\"></a> <a name=\"anchor\">no href</a>"
      L" <a href=\"#top\">top</a> <a href=\"JavaScript:go()\">script</a>"
      L" <a title=\"a > b\" href = \" https://spaced.test/ \" >spaced</a></p>";
  const std::vector<THtmlLink> links = LinksOfHtml(page);
  ASSERT_EQ(links.size(), 5u);
  EXPECT_EQ(links[0].URL, L"https://example.test/a?x=1&y=2");
  EXPECT_EQ(links[0].Text, L"the first page");
  EXPECT_EQ(links[1].URL, L"wcme:?PAGE=tools");
  EXPECT_EQ(links[1].Text, L"Tools");
  EXPECT_EQ(links[2].URL, L"http://bare.test/");
  EXPECT_EQ(links[3].Text, L"https://empty.test/");
  EXPECT_EQ(links[4].URL, L"https://spaced.test/");
  EXPECT_EQ(links[4].Text, L"spaced");
  EXPECT_EQ(PlainTextOfHtml(page), L"See the first page, Tools, bare, no href top script spaced");
}

TEST(HtmlText, BrokenMarkupNeverFails) {
  // Unfinished tags, quotes, comments and raw-text elements drop the rest of the page.
  EXPECT_EQ(PlainTextOfHtml(L"before<p class=\"x"), L"before");
  EXPECT_EQ(PlainTextOfHtml(L"before<div"), L"before");
  EXPECT_EQ(PlainTextOfHtml(L"before<!-- open"), L"before");
  EXPECT_EQ(PlainTextOfHtml(L"before<script>var a = '</scr';"), L"before");
  EXPECT_EQ(PlainTextOfHtml(L"<"), L"<");
  EXPECT_EQ(PlainTextOfHtml(L"a&"), L"a&");
  EXPECT_EQ(PlainTextOfHtml(L"</p></div></pre>x</a>"), L"x");
  // A link never closed ends with the page; one opened inside another ends the first.
  std::vector<THtmlLink> links =
      LinksOfHtml(L"<a href=\"http://one.test/\">one <a href=\"http://two.test/\">two");
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].Text, L"one");
  EXPECT_EQ(links[1].Text, L"two");
  EXPECT_TRUE(LinksOfHtml(L"<a href=\"http://cut.test/").empty());

  // Deep nesting and many links stay within bounds.
  std::wstring deep;
  for (int i = 0; i < 20000; ++i)
    deep += L"<div><a href=\"http://x.test/\">";
  deep += L"core";
  EXPECT_EQ(PlainTextOfHtml(deep), L"core");
  EXPECT_EQ(LinksOfHtml(deep).size(), kMaxHtmlLinks);

  // Every prefix of a page is read without failing.
  const std::wstring page =
      L"<p a='1' b=\"2\" c=3 d>x &amp; <a href='http://p.test/'>y</a><!-- c --><br/>"
      L"<script>z</script>&#x41;</p>";
  for (size_t i = 0; i <= page.size(); ++i) {
    const std::wstring prefix = page.substr(0, i);
    EXPECT_LE(LinksOfHtml(prefix).size(), 1u);
    EXPECT_LE(PlainTextOfHtml(prefix).size(), prefix.size());
  }
}

} // namespace
