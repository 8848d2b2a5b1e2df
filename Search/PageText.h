// What the index keeps of a page: its title and its visible text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Text kept of one page. Beyond it a page's words are not indexed: it bounds
// the memory a page takes on its way to the index.
inline constexpr size_t kMaxPageTextBytes = size_t{4} * 1024 * 1024;

// A title longer than this is cut: it is shown on one line of the results.
inline constexpr size_t kMaxTitleBytes = 300;

struct PageText {
    std::string Title;  // may be empty: the page has none
    std::string Text;   // UTF-8, runs of white space made one space
};

// Whether an entry of this name is indexed: it ends in .htm, .html, .xhtml,
// .txt or .md, in any ASCII case.
bool IsSearchablePage(std::string_view name);

// Whether the name is of a page that is read as HTML.
bool IsHtmlPage(std::string_view name);

// The page's text. HTML: the title (<title>, else the first heading) and the
// text a reader sees, without tags, comments, scripts or styles, character
// references decoded. Markdown: the first "#" heading as title. Content that
// is not valid UTF-8 is read as Latin-1. At most `textLimit` bytes of text.
// `enough`, when given, is asked after each part of the page with the text
// so far, and a true answer ends the extraction there.
using EnoughText = std::function<bool(std::string_view text)>;
PageText ExtractPageText(std::string_view name, std::string_view content,
                         size_t textLimit = kMaxPageTextBytes, const EnoughText& enough = {});

// Prepares the HTML parser for use on any thread; call once, before the
// first extraction.
void PreparePageTextExtraction();
