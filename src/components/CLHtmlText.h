#pragma once
// What a reader sees of an HTML page without a browser: its text and its links. Used where the
// page cannot be drawn; the page comes from outside, so the reading never fails on broken markup
// and keeps to a bounded number of links.

#include <string>
#include <vector>

struct THtmlLink {
  std::wstring URL;
  // The link's text, or its address when it has none.
  std::wstring Text;
};

// The page's text: tags removed (script, style and title with their content), the entities
// &amp; &lt; &gt; &quot; &apos; &nbsp; and numeric ones decoded, white space collapsed as a
// browser does except in <pre>, block elements and <br> as line breaks ("\n").
std::wstring PlainTextOfHtml(const std::wstring& aHtml);
// The page's links (<a href>) in document order, at most kMaxHtmlLinks; links to a place in the
// page ("#...") and to scripts ("javascript:") are left out.
constexpr size_t kMaxHtmlLinks = 100;
std::vector<THtmlLink> LinksOfHtml(const std::wstring& aHtml);
