// What the index keeps of a page: its title, its visible text, and the parts
// of it that say most about the page: headings, names it defines, code.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Text kept of one page. Beyond it a page's words are not indexed: it bounds
// the memory a page takes on its way to the index.
inline constexpr size_t kMaxPageTextBytes = size_t{4} * 1024 * 1024;

// A title longer than this is cut: it is shown on one line of the results.
inline constexpr size_t kMaxTitleBytes = 300;

// The lead kept of one page: its first sentence or two.
inline constexpr size_t kMaxLeadBytes = 160;

// Headings kept of one page, at most: where a hit stands is told by the
// heading above it. A module's one reference page defines a few thousand
// names (lxml's etree); a page with more is a list, not sections.
inline constexpr size_t kMaxSections = 4000;

// Links kept of one page, at most, and the longest kept: beyond them a page
// is a list of links, which says little of each.
inline constexpr size_t kMaxPageLinks = 4000;
inline constexpr size_t kMaxLinkBytes = 1000;

// A heading (h1-h6, or a term of a definition list: where Sphinx, rustdoc
// and DocBook put the name of what they describe) and where a link to it goes.
struct PageSection {
    size_t Start = 0;     // where its text starts in PageText::Text
    std::string Heading;  // its text, at most kMaxTitleBytes
    std::string Anchor;   // the id a link to it names; empty when it has none
};

// Ends each heading in PageText's Headings and Names: a character no word
// holds.
inline constexpr std::string_view kHeadingEnd = "\x1F";

struct PageText {
    std::string Title;     // may be empty: the page has none
    std::string Text;      // UTF-8, runs of white space made one space
    std::string Headings;  // the text of h1-h3, also in Text
    std::string Names;     // ids, definition terms, h4-h6: what the page defines
    std::string Code;      // inline <code> outside those (not <pre>)
    // The start of the paragraphs between the first heading and the next,
    // at most kMaxLeadBytes: where a page says what it is ("Spawns a new
    // thread", "Butterworth digital and analog filter design"), each
    // paragraph ended by kHeadingEnd.
    std::string Lead;
    std::vector<PageSection> Sections;
    // The names its definition terms define (DefinedName), where a link can
    // name the term: at most one per section.
    std::vector<std::string> Defined;
    // The href of each link in the text (not the site's navigation), as
    // written, at most kMaxPageLinks.
    std::vector<std::string> Links;
    // A page that stands in for another: it sends the browser on (a refresh
    // to another address), or is a listing of source code (most of its text
    // one preformatted block, more of it code than prose). Found by its
    // words, never ranked by its title or headings.
    bool Secondary = false;
    // Marks that make a page a stand-in too where a few pages of a site bear
    // them, but not where most do (IndexBuilder): the page asks robots not
    // to index it (`<meta name="robots" content="noindex">`: a print
    // version, an old copy; or a whole site built as a preview or a
    // development version); it is in a language other than English (a
    // translation; or a site in that language).
    bool AsksNotToBeIndexed = false;
    bool InOtherLanguage = false;
};

// Whether an entry of this name is indexed: it ends in .htm, .html, .xhtml,
// .txt or .md, in any ASCII case, and is no page's source that Sphinx keeps
// in a `_sources` folder.
bool IsSearchablePage(std::string_view name);

// Whether the name is of a page that is read as HTML.
bool IsHtmlPage(std::string_view name);

// The page's text. HTML: the title (<title>, else the first heading) and the
// text a reader sees, without tags, comments, scripts, styles or the site's
// navigation (nav, footer, role="navigation"), character references decoded. Markdown: the first
// "#" heading as title. Content that is not valid UTF-8 is read as Latin-1. At most `textLimit`
// bytes of text. `enough`, when given, is asked after each part of the page with the text and the
// sections so far, and a true answer ends the extraction there.
using EnoughText =
    std::function<bool(std::string_view text, const std::vector<PageSection>& sections)>;
PageText ExtractPageText(std::string_view name, std::string_view content,
                         size_t textLimit = kMaxPageTextBytes, const EnoughText& enough = {});

// Prepares the HTML parser for use on any thread; call once, before the
// first extraction.
void PreparePageTextExtraction();
