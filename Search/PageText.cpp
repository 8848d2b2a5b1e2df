#include "Search/PageText.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "Search/DefinedName.h"
#include "Search/PreformattedLines.h"
#include "Search/TextEncoding.h"
#include "Shared/AnsiText.h"

namespace {

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() &&
           EqualIgnoringAsciiCase(name.substr(name.size() - suffix.size()), suffix);
}

bool IsMarkdown(std::string_view name) {
    return EndsWithIgnoringCase(name, ".md");
}

// Elements that flow inside a line: their edges join words, so "<b>Vec</b>s"
// stays one word. Every other element's edges separate words.
bool IsInline(const char* tag) {
    static constexpr std::array<std::string_view, 25> kInline = {
        "a",    "abbr",   "b",   "bdi", "bdo",  "cite", "code", "data", "dfn",
        "em",   "font",   "i",   "kbd", "mark", "q",    "s",    "samp", "small",
        "span", "strong", "sub", "sup", "tt",   "u",    "var"};
    return std::binary_search(kInline.begin(), kInline.end(), std::string_view(tag));
}

// Not text: code, and the controls of the page's own interface ("Copy item
// path" in every heading of rustdoc's).
bool IsHidden(const char* tag) {
    return std::strcmp(tag, "script") == 0 || std::strcmp(tag, "style") == 0 ||
           std::strcmp(tag, "template") == 0 || std::strcmp(tag, "button") == 0;
}

bool IsHeading(const char* tag) {
    return tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6' && tag[2] == '\0';
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Appends text with every run of white space made one space, none at the
// start, up to a byte limit that never splits a UTF-8 sequence.
class CollapsedText {
  public:
    explicit CollapsedText(size_t limit) : limit_(limit) {}

    void Append(std::string_view text) {
        for (size_t at = 0; at < text.size() && !full_;) {
            const char c = text[at];
            if (IsSpace(c)) {
                Separate();
                ++at;
                continue;
            }
            size_t length = Utf8SequenceLength(text.substr(at));
            if (length == 0) length = 1;  // the parser gives UTF-8; keep going regardless
            const size_t needed = length + (spacePending_ && !text_.empty() ? 1 : 0);
            if (text_.size() + needed > limit_) {
                full_ = true;
                break;
            }
            if (spacePending_ && !text_.empty()) text_ += ' ';
            spacePending_ = false;
            text_.append(text.substr(at, length));
            at += length;
        }
    }

    void Separate() { spacePending_ = true; }
    bool Full() const { return full_; }
    std::string_view View() const { return text_; }
    std::string Take() { return std::move(text_); }
    bool Empty() const { return text_.empty(); }

  private:
    std::string text_;
    size_t limit_;
    bool spacePending_ = false;
    bool full_ = false;
};

bool IsTag(const char* tag, std::string_view name) {
    return std::string_view(tag) == name;
}

// The attributes an element's walk looks at, read in one pass.
struct Attributes {
    std::string_view Id;
    std::string_view Name;
    std::string_view Href;
    std::string_view Role;
    std::string_view Class;
    std::string_view Lang;
    std::string_view Content;
    std::string_view HttpEquiv;
    bool NoSnippet = false;
};

Attributes ReadAttributes(const xmlChar** attributes) {
    Attributes read;
    if (attributes == nullptr) return read;
    for (const xmlChar** at = attributes; at[0] != nullptr; at += 2) {
        const std::string_view name = reinterpret_cast<const char*>(at[0]);
        const std::string_view value =
            at[1] == nullptr ? std::string_view() : reinterpret_cast<const char*>(at[1]);
        // The parser gives attribute names in lower case.
        if (name == "id") {
            read.Id = value;
        } else if (name == "name") {
            read.Name = value;
        } else if (name == "href") {
            read.Href = value;
        } else if (name == "role") {
            read.Role = value;
        } else if (name == "class") {
            read.Class = value;
        } else if (name == "lang") {
            read.Lang = value;
        } else if (name == "content") {
            read.Content = value;
        } else if (name == "http-equiv") {
            read.HttpEquiv = value;
        } else if (name == "data-nosnippet") {
            read.NoSnippet = true;
        }
    }
    return read;
}

bool HasClass(std::string_view classes, std::string_view name) {
    for (size_t at = 0; at < classes.size();) {
        const size_t end = std::min(classes.find(' ', at), classes.size());
        if (classes.substr(at, end - at) == name) return true;
        at = end + 1;
    }
    return false;
}

// The site's navigation around a page: the same links on every page, which
// say nothing of this one. As the generators of documentation mark it.
bool IsNavigation(const char* tag, const Attributes& attributes) {
    if (IsTag(tag, "nav") || IsTag(tag, "footer")) return true;
    // Marked as no part of what is quoted of the page (line numbers).
    if (attributes.NoSnippet) return true;
    // A listing's line numbers, as Doxygen and Pygments mark them.
    if (HasClass(attributes.Class, "lineno") || HasClass(attributes.Class, "linenos")) return true;
    // What rustdoc lists on every type's page alike: the traits the compiler
    // implements for it (Send, Sync) and those every type has (From, Into,
    // Borrow), each with the same words.
    for (const std::string_view id : {"synthetic-implementations", "synthetic-implementations-list",
                                      "blanket-implementations", "blanket-implementations-list"}) {
        if (attributes.Id == id) return true;
    }
    // A dialog (the theme's search box) is shown over any page.
    if (attributes.Role == "navigation" || attributes.Role == "search" ||
        attributes.Role == "dialog") {
        return true;
    }
    for (const std::string_view name :
         {"navheader", "navfooter", "sphinxsidebar", "navpath", "footer", "navigationbar", "navbar",
          "breadcrumb", "breadcrumbs", "nav", "modal", "spirit-nav", "copyright-footer", "menu",
          "sidemenu",
          // The links to the pages before and after it, with their titles,
          // and the list of its own sections, inside the main region of
          // some themes.
          "prev-next-area", "prev-next-bottom", "related-pages", "bd-toc",
          // Scribble's contents of the whole manual beside each page, and
          // its bars of links above and below it.
          "tocset", "navsettop", "navsetbottom",
          // Doxygen's tooltips over the names in a listing, hidden until
          // pointed at: each a summary of another page.
          "ttc"}) {
        if (HasClass(attributes.Class, name)) return true;
    }
    // Doxygen's rows of the members a class inherits, folded away until
    // opened: the base classes' members again on every page below them (334
    // of Gtk::Image's 383 rows).
    if (IsTag(tag, "tr") &&
        (HasClass(attributes.Class, "inherit") || HasClass(attributes.Class, "inherit_header"))) {
        return true;
    }
    return false;
}

// The page's main region: what it says, beside the site's header, sidebars
// and footer.
bool IsMainRegion(const char* tag, const Attributes& attributes) {
    return IsTag(tag, "main") || attributes.Role == "main";
}

// What a book's title page says of the book itself (DocBook's authors,
// copyright and legal notice), on every chapter that has one: nothing of
// what the page is about.
bool IsFrontMatter(const Attributes& attributes) {
    for (const std::string_view name : {"author", "authorgroup", "copyright", "legalnotice"}) {
        if (HasClass(attributes.Class, name)) return true;
    }
    return false;
}

// Whether an element says the page is in a language other than English
// (PageText::InOtherLanguage).
bool InOtherLanguage(const char* tag, const Attributes& attributes) {
    if (!IsTag(tag, "html")) return false;
    const std::string_view language = attributes.Lang;
    return !language.empty() && !EqualIgnoringAsciiCase(language.substr(0, 2), "en");
}

// Whether an element asks robots not to index the page
// (PageText::AsksNotToBeIndexed).
bool AsksNoIndex(const char* tag, const Attributes& attributes) {
    if (!IsTag(tag, "meta") || !EqualIgnoringAsciiCase(attributes.Name, "robots")) return false;
    std::string lower(attributes.Content);
    for (char& c : lower) c = LowerAsciiChar(c);
    return lower.find("noindex") != std::string::npos;
}

// Whether an element says the page stands in for another (PageText's
// Secondary).
bool IsStandIn(const char* tag, const Attributes& attributes) {
    // "0; URL=elsewhere.html"
    return IsTag(tag, "meta") && EqualIgnoringAsciiCase(attributes.HttpEquiv, "refresh") &&
           attributes.Content.find('=') != std::string_view::npos;
}

// Ids that generators number rather than name ("id3", "index-12", "idm4512",
// Doxygen's hashes) say nothing a reader would ask for.
bool IsNamedId(std::string_view id) {
    if (id.empty() || id.size() > 200) return false;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto hex = [&](char c) { return digit(c) || (c >= 'a' && c <= 'f'); };
    // npos + 1 is 0: an id of one part.
    const std::string_view last = id.substr(id.find_last_of("-_.:") + 1);
    if (!last.empty() && std::all_of(last.begin(), last.end(), digit)) return false;
    // A counter a generator appends to make ids unique ("ghlink-foldl-3-id2540").
    if (last.size() > 2 && last.starts_with("id") &&
        std::all_of(last.begin() + 2, last.end(), digit)) {
        return false;
    }
    const auto numbering = [&](char c) { return digit(c) || c == '-' || c == '.' || c == 'm'; };
    if (id.starts_with("id") && std::all_of(id.begin() + 2, id.end(), numbering)) return false;
    return !(id.size() >= 17 && std::all_of(id.begin() + 1, id.end(), hex));
}

// The marks that generators put at a heading's start or end as a link to it.
std::string TrimHeading(std::string heading) {
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        for (const std::string_view mark : {"\xC2\xB6", "\xC2\xA7", "#", " "}) {
            if (heading.ends_with(mark)) {
                heading.resize(heading.size() - mark.size());
                trimmed = true;
            }
            if (heading.starts_with(mark)) {
                heading.erase(0, mark.size());
                trimmed = true;
            }
        }
    }
    return heading;
}

// Nesting kept of the open elements, at most: deeper ones are still read,
// only not told apart.
constexpr size_t kMaxDepth = 256;

// The level a definition term is read at: a heading below h6.
constexpr int kDefinitionLevel = 7;

// Of the fields beside the text, at most this much each.
constexpr size_t kMaxFieldBytes = size_t{1} << 20;

struct OpenElement {
    std::string Tag;
    std::string Id;
    size_t SectionsBefore = 0;  // sections begun before it opened
    bool Hidden = false;
    bool Pre = false;
    bool Code = false;
    bool Heading = false;
    bool Paragraph = false;
    bool Main = false;  // the page's main region, where it is read
};

struct HtmlWalk {
    HtmlWalk(size_t textLimit, bool mainOnly)
        : hidden(mainOnly ? 1 : 0),
          mainOnly(mainOnly),
          text(textLimit),
          headings(std::min(textLimit, kMaxFieldBytes)),
          names(std::min(textLimit, kMaxFieldBytes)),
          code(std::min(textLimit, kMaxFieldBytes)) {}

    int hidden = 0;  // open elements whose text is not shown
    // The page marks its main region: all outside it is the site's (its
    // header, sidebars, footer), hidden until the region opens.
    bool mainOnly = false;
    bool mainSeen = false;
    CollapsedText text;
    CollapsedText headings;
    CollapsedText names;
    CollapsedText code;
    CollapsedText title{kMaxTitleBytes};
    CollapsedText firstHeading{kMaxTitleBytes};
    CollapsedText lead{kMaxLeadBytes};
    enum class Lead { Before, Reading, Read } leadState = Lead::Before;
    int paragraphs = 0;         // open <p> elements
    size_t preformatted = 0;    // bytes of text in the <pre> block open now
    size_t largestListing = 0;  // bytes of text in the largest <pre> block
    // Whether a paragraph under the page's first heading came before the
    // block open now, and before the largest.
    bool blockAfterLead = false;
    bool largestAfterLead = false;
    PreformattedLines preLines;
    std::vector<PageSection> sections;
    std::vector<std::string> defined;
    std::vector<std::string> links;
    std::vector<OpenElement> open;
    size_t deeper = 0;  // open elements beyond kMaxDepth
    int pre = 0;
    int codeDepth = 0;
    bool inTitle = false;
    bool titleSeen = false;
    bool firstHeadingSeen = false;
    // The last heading was a manual page's "NAME": the block after it says
    // what the page is, even where the page is all preformatted blocks.
    bool afterNameHeading = false;
    bool secondary = false;
    bool noIndex = false;
    bool otherLanguage = false;
    // The heading being read is a line of preformatted text (after a ruler).
    bool preHeading = false;

    // The heading being read.
    int headingLevel = 0;  // 1-6; kDefinitionLevel for a definition term; 0 outside
    CollapsedText heading{kMaxTitleBytes};
    size_t headingStart = 0;
    std::string ownAnchor;
    std::string innerAnchor;
    std::string linkAnchor;
    std::string containerAnchor;
    // The last anchor's id outside a heading, and the text's length there: an
    // anchor with no text between it and the next heading is that heading's
    // (`<a name="g-strdup-printf"></a><h3>`).
    std::string lastAnchor;
    size_t lastAnchorAt = 0;

    CollapsedText& HeadingField() { return headingLevel <= 3 ? headings : names; }
    void BeginHeading(int level, const OpenElement& element);
    void EndHeading();
};

void HtmlWalk::BeginHeading(int level, const OpenElement& element) {
    headingLevel = level;
    // A heading right under the first ("NAME" of a manual page, the module's
    // own under the site's) leaves the lead to the paragraphs after it.
    if (level <= 6 && leadState == Lead::Reading && !lead.Empty()) leadState = Lead::Read;
    text.Separate();
    headingStart = text.View().size() + (text.Empty() ? 0 : 1);
    heading = CollapsedText(kMaxTitleBytes);
    ownAnchor = element.Id;
    innerAnchor.clear();
    linkAnchor.clear();
    containerAnchor.clear();
    // The section, div or summary that holds the heading and began after the
    // heading before it: the heading's own, and its id names it.
    for (size_t i = open.size(); i-- > 0;) {
        if (open[i].SectionsBefore < sections.size()) break;
        if (!open[i].Id.empty()) {
            containerAnchor = open[i].Id;
            break;
        }
    }
    if (containerAnchor.empty() && !lastAnchor.empty() && lastAnchorAt == text.View().size()) {
        containerAnchor = lastAnchor;
    }
    lastAnchor.clear();
}

void HtmlWalk::EndHeading() {
    std::string text = TrimHeading(heading.Take());
    afterNameHeading = headingLevel <= 6 && text == "NAME";
    if (headingLevel <= 6 && !firstHeadingSeen && !text.empty()) {
        firstHeading.Append(text);
        firstHeadingSeen = true;
        leadState = Lead::Reading;
    }
    if (sections.size() < kMaxSections) {
        std::string& anchor = !ownAnchor.empty()         ? ownAnchor
                              : !innerAnchor.empty()     ? innerAnchor
                              : !containerAnchor.empty() ? containerAnchor
                                                         : linkAnchor;
        // A definition term a link can name defines what it names: a term
        // of a list of parameters or of words has no place of its own. So
        // does a heading that is a signature or a name written as code
        // (rustdoc's "pub fn new() -> Self", a setting's `task_acks_late`).
        if (!anchor.empty()) {
            std::string name = DefinedName(text);
            const bool defines = headingLevel == kDefinitionLevel ||
                                 text.find('(') != std::string::npos || WrittenAsCode(name);
            if (!name.empty() && defines) defined.push_back(std::move(name));
        }
        sections.push_back({headingStart, std::move(text), std::move(anchor)});
    }
    // Words of two headings never stand together (pair terms).
    HeadingField().Append(kHeadingEnd);
    HeadingField().Separate();
    headingLevel = 0;
}

HtmlWalk& WalkOf(void* context) {
    auto* parser = static_cast<htmlParserCtxtPtr>(context);
    return *static_cast<HtmlWalk*>(parser->_private);
}

int HeadingLevelOf(const char* tag, const Attributes& attributes) {
    if (IsHeading(tag)) return tag[1] - '0';
    // Haddock writes each declaration's signature as a paragraph of class
    // "src", where others write a definition term.
    const bool term = IsTag(tag, "dt") || (IsTag(tag, "p") && HasClass(attributes.Class, "src"));
    return term ? kDefinitionLevel : 0;
}

void OnStart(void* context, const xmlChar* name, const xmlChar** attributeList) {
    HtmlWalk& walk = WalkOf(context);
    const Attributes attributes = ReadAttributes(attributeList);
    const auto* tag = reinterpret_cast<const char*>(name);
    if (IsTag(tag, "title")) walk.inTitle = !walk.titleSeen;
    if (IsStandIn(tag, attributes)) walk.secondary = true;
    if (AsksNoIndex(tag, attributes)) walk.noIndex = true;
    if (InOtherLanguage(tag, attributes)) walk.otherLanguage = true;
    // A parameter's type, which docutils writes right after its name with
    // nothing between ("sortbool" as read): a word of its own.
    const bool classifier = HasClass(attributes.Class, "classifier");
    if (!IsInline(tag) || classifier) {
        walk.text.Separate();
        walk.code.Separate();
        walk.lead.Separate();
        if (walk.headingLevel > 0) walk.heading.Separate();
        if (walk.headingLevel > 0 && classifier) walk.HeadingField().Separate();
    }
    if (walk.open.size() >= kMaxDepth) {
        ++walk.deeper;
        return;
    }
    OpenElement element;
    element.Tag = tag;
    element.SectionsBefore = walk.sections.size();
    if (walk.mainOnly && walk.hidden == 1 && IsMainRegion(tag, attributes)) {
        element.Main = true;
        walk.mainSeen = true;
        --walk.hidden;
    }
    element.Hidden = IsHidden(tag) || IsNavigation(tag, attributes) || IsFrontMatter(attributes);
    const bool shown = walk.hidden == 0 && !element.Hidden;
    if (shown) {
        std::string_view id = attributes.Id;
        const bool anchor = IsTag(tag, "a");
        if (id.empty() && anchor) id = attributes.Name;
        // Any id is a place to link to; only a named one says what is there.
        if (id.size() <= kMaxTitleBytes) element.Id = id;
        if (IsNamedId(id)) {
            walk.names.Separate();
            walk.names.Append(id);
            walk.names.Separate();
        }
        const std::string_view href = attributes.Href;
        if (anchor && !href.empty() && href[0] != '#' && href.size() <= kMaxLinkBytes &&
            walk.links.size() < kMaxPageLinks) {
            walk.links.emplace_back(href);
        }
        if (anchor && walk.headingLevel == 0 && !element.Id.empty()) {
            walk.lastAnchor = element.Id;
            walk.lastAnchorAt = walk.text.View().size();
        }
        if (anchor && walk.headingLevel > 0) {
            if (walk.innerAnchor.empty() && !element.Id.empty()) walk.innerAnchor = element.Id;
            if (walk.linkAnchor.empty() && href.size() > 1 && href[0] == '#') {
                walk.linkAnchor = href.substr(1);
            }
        }
    }
    // Doxygen sets code in a "fragment" of one block per line.
    element.Pre = IsTag(tag, "pre") || HasClass(attributes.Class, "fragment");
    element.Code = IsTag(tag, "code") || IsTag(tag, "tt");
    element.Paragraph = IsTag(tag, "p") || (element.Pre && walk.afterNameHeading);
    if (element.Paragraph || element.Pre) walk.afterNameHeading = false;
    const int level = HeadingLevelOf(tag, attributes);
    element.Heading = shown && level > 0 && walk.headingLevel == 0;
    walk.hidden += element.Hidden ? 1 : 0;
    walk.pre += element.Pre ? 1 : 0;
    walk.codeDepth += element.Code ? 1 : 0;
    // Each span of code is a name of its own: two in one sentence ("use
    // <code>open()</code> or <code>os.path</code>") are never one word.
    if (element.Code) walk.code.Separate();
    walk.paragraphs += element.Paragraph ? 1 : 0;
    if (element.Heading) walk.BeginHeading(level, element);
    walk.open.push_back(std::move(element));
}

// Whether the lead's last paragraph is ended already.
bool EndsParagraph(std::string_view lead) {
    const size_t last = lead.find_last_not_of(' ');
    return last != std::string_view::npos && lead.substr(last).starts_with(kHeadingEnd);
}

void OnEnd(void* context, const xmlChar* name) {
    HtmlWalk& walk = WalkOf(context);
    const auto* tag = reinterpret_cast<const char*>(name);
    if (IsTag(tag, "title")) {
        if (walk.inTitle) walk.titleSeen = true;
        walk.inTitle = false;
    }
    if (!IsInline(tag)) {
        walk.text.Separate();
        walk.code.Separate();
        walk.lead.Separate();
        // A block in preformatted text ends its line (a fragment's lines).
        if (walk.pre > 0 && walk.hidden == 0) walk.preLines.Add("\n");
    }
    if (walk.deeper > 0) {
        --walk.deeper;
        return;
    }
    // The parser closes what it opened; an end tag of no open element is
    // left alone.
    size_t match = walk.open.size();
    while (match > 0 && walk.open[match - 1].Tag != tag) --match;
    if (match == 0) return;
    while (walk.open.size() >= match) {
        const OpenElement& element = walk.open.back();
        walk.hidden -= element.Hidden ? 1 : 0;
        walk.hidden += element.Main ? 1 : 0;
        walk.pre -= element.Pre ? 1 : 0;
        if (walk.pre == 0 && element.Pre) {
            walk.preformatted = 0;
            walk.preLines.EndBlock();
            if (walk.preHeading) {
                walk.EndHeading();
                walk.preHeading = false;
            }
        }
        walk.codeDepth -= element.Code ? 1 : 0;
        if (element.Code) walk.code.Separate();
        walk.paragraphs -= element.Paragraph ? 1 : 0;
        // Where a paragraph of the lead ends its first sentence ends; a
        // paragraph that added nothing (one in the navigation) ends none.
        if (element.Paragraph && walk.leadState == HtmlWalk::Lead::Reading && !walk.lead.Empty() &&
            !EndsParagraph(walk.lead.View())) {
            walk.lead.Append(kHeadingEnd);
        }
        if (element.Heading) walk.EndHeading();
        walk.open.pop_back();
    }
}

void TakeShownText(HtmlWalk& walk, std::string_view text) {
    const size_t before = walk.text.View().size();
    walk.text.Append(text);
    if (walk.pre > 0) {
        walk.preLines.Add(text);
        if (walk.preformatted == 0) walk.blockAfterLead = !walk.lead.Empty();
        walk.preformatted += walk.text.View().size() - before;
        if (walk.preformatted > walk.largestListing) {
            walk.largestListing = walk.preformatted;
            walk.largestAfterLead = walk.blockAfterLead;
        }
    }
    if (walk.headingLevel > 0) {
        walk.heading.Append(text);
        walk.HeadingField().Append(text);
    } else if (walk.codeDepth > 0 && walk.pre == 0) {
        walk.code.Append(text);
    }
    if (walk.paragraphs > 0 && walk.headingLevel == 0 &&
        walk.leadState == HtmlWalk::Lead::Reading) {
        walk.lead.Append(text);
    }
}

// Whether the UTF-8 sequence at `at` is a character of Unicode's private use
// area (U+E000 to U+F8FF), where icon fonts put their glyphs: a theme's
// permalink mark, written right after a name with nothing between.
bool IsIconGlyphAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    return at + 2 < text.size() &&
           (byte(at) == 0xEE || (byte(at) == 0xEF && byte(at + 1) >= 0x80 && byte(at + 1) <= 0xA3));
}

// `text` with each icon glyph a space, in `buffer` where there is one.
std::string_view WithoutIconGlyphs(std::string_view text, std::string& buffer) {
    if (text.find_first_of("\xEE\xEF") == std::string_view::npos) return text;
    buffer.clear();
    for (size_t at = 0; at < text.size();) {
        const bool glyph = IsIconGlyphAt(text, at);
        buffer += glyph ? ' ' : text[at];
        at += glyph ? 3 : 1;
    }
    return buffer;
}

// Whether a line of preformatted text sets words apart in columns: twice or
// more, three spaces or more between them.
bool IsTableRow(std::string_view line) {
    constexpr std::string_view kColumnGap = "   ";
    size_t gaps = 0;
    for (size_t at = line.find(kColumnGap); at != std::string_view::npos;
         at = line.find(kColumnGap, at)) {
        const size_t after = line.find_first_not_of(' ', at);
        if (after == std::string_view::npos || line[after] == '\n' || line[after] == '\r') break;
        ++gaps;
        at = after;
    }
    return gaps >= 2;
}

void OnCharacters(void* context, const xmlChar* characters, int length) {
    HtmlWalk& walk = WalkOf(context);
    std::string withoutGlyphs;
    std::string_view text = WithoutIconGlyphs(
        std::string_view(reinterpret_cast<const char*>(characters), static_cast<size_t>(length)),
        withoutGlyphs);
    if (walk.inTitle) {
        walk.title.Append(text);
        return;
    }
    if (walk.hidden > 0) return;
    if (walk.pre == 0) {
        TakeShownText(walk, text);
        return;
    }
    // A manual set in preformatted text: the line at the margin after a
    // ruler is its section's heading, up to the line's end; not a row of a
    // table a ruler sets off (a program's printed results), its columns
    // spaced apart.
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view piece =
            text.substr(0, end == std::string_view::npos ? end : end + 1);
        if (walk.headingLevel == 0 && walk.preLines.AtLineStart() && walk.preLines.AfterRuler() &&
            piece.find_first_of(" \t\r\n") != 0 && !IsTableRow(piece)) {
            walk.BeginHeading(2, OpenElement{});
            walk.preHeading = true;
        }
        const bool lineEnds = piece.ends_with('\n');
        TakeShownText(walk, lineEnds ? piece.substr(0, piece.size() - 1) : piece);
        if (walk.preHeading && lineEnds) {
            walk.EndHeading();
            walk.preHeading = false;
        }
        if (lineEnds) TakeShownText(walk, "\n");
        text.remove_prefix(piece.size());
    }
}

void OnSpace(void* context, const xmlChar* /*characters*/, int /*length*/) {
    WalkOf(context).text.Separate();
}

void OnCdata(void* /*context*/, const xmlChar* /*value*/, int /*length*/) {
    // Script and style bodies: never text.
}

void Quiet(void* /*context*/, const char* /*message*/, ...) {}

htmlSAXHandler MakeHandler() {
    htmlSAXHandler handler{};
    handler.startElement = OnStart;
    handler.endElement = OnEnd;
    handler.characters = OnCharacters;
    handler.ignorableWhitespace = OnSpace;
    handler.cdataBlock = OnCdata;
    handler.warning = Quiet;
    handler.error = Quiet;
    handler.fatalError = Quiet;
    return handler;
}

// Input is fed in pieces of this size, so that a full text, or enough of it,
// stops the parse without reading the rest of a large page.
constexpr size_t kParsePiece = size_t{16} * 1024;

// Whether the page marks its main region (<main>, role="main"), as most
// themes do: a quick look at its bytes, before it is read.
bool MarksMainRegion(std::string_view html) {
    for (size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
        const std::string_view tag = html.substr(at + 1, 5);
        if (tag.size() == 5 && EqualIgnoringAsciiCase(tag.substr(0, 4), "main") &&
            std::string_view(" \t\r\n>").find(tag[4]) != std::string_view::npos) {
            return true;
        }
    }
    for (const std::string_view role : {"role=\"main\"", "role='main'", "role=main"}) {
        if (html.find(role) != std::string_view::npos) return true;
    }
    return false;
}

PageText ExtractHtml(std::string_view utf8, size_t textLimit, const EnoughText& enough,
                     bool mainOnly) {
    static htmlSAXHandler handler = MakeHandler();
    HtmlWalk walk(textLimit, mainOnly);
    htmlParserCtxtPtr parser =
        htmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    if (parser == nullptr) return {};
    parser->_private = &walk;
    // The SAX callbacks get the parser itself, where the walk hangs.
    parser->userData = parser;
    htmlCtxtUseOptions(parser, HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                                   HTML_PARSE_IGNORE_ENC);
    size_t at = 0;
    do {
        const size_t piece = std::min(kParsePiece, utf8.size() - at);
        const bool last = at + piece == utf8.size();
        htmlParseChunk(parser, utf8.data() + at, static_cast<int>(piece), last ? 1 : 0);
        at += piece;
    } while (at < utf8.size() && !walk.text.Full() &&
             !(enough && enough(walk.text.View(), walk.sections)));
    htmlFreeParserCtxt(parser);
    // What looked like the region's mark was none (in a comment or a script).
    if (walk.mainOnly && !walk.mainSeen) return ExtractHtml(utf8, textLimit, enough, false);
    PageText page;
    if (walk.headingLevel > 0) walk.EndHeading();
    page.Title = walk.titleSeen || !walk.title.Empty() ? walk.title.Take() : std::string();
    if (page.Title.empty()) page.Title = walk.firstHeading.Take();
    page.Text = walk.text.Take();
    page.Headings = walk.headings.Take();
    page.Names = walk.names.Take();
    page.Code = walk.code.Take();
    page.Lead = walk.lead.Take();
    // A word the limit cut short is no word of the page.
    if (walk.lead.Full()) page.Lead.resize(std::min(page.Lead.size(), page.Lead.rfind(' ')));
    page.Sections = std::move(walk.sections);
    page.Defined = std::move(walk.defined);
    page.Links = std::move(walk.links);
    // A page of code is read for its words, not its name: a reader asking
    // for a thing means its documentation, not its source. A source file is
    // one block of code; a reference page of many declarations, each a block
    // of its own, and a manual set in one block of prose are documentation,
    // as is a function's page that says what it does before its overloads'
    // declarations.
    const bool listing = !page.Text.empty() && walk.largestListing * 4 >= page.Text.size() * 3 &&
                         !walk.largestAfterLead && walk.preLines.MostlyCode();
    page.Secondary = walk.secondary || listing;
    page.AsksNotToBeIndexed = walk.noIndex;
    page.InOtherLanguage = walk.otherLanguage;
    return page;
}

PageText ExtractPlain(std::string_view utf8, bool markdown, size_t textLimit) {
    PageText page;
    if (markdown) {
        size_t at = 0;
        while (at < utf8.size()) {
            size_t end = utf8.find('\n', at);
            if (end == std::string_view::npos) end = utf8.size();
            std::string_view line = utf8.substr(at, end - at);
            if (line.starts_with('#')) {
                line.remove_prefix(std::min(line.find_first_not_of('#'), line.size()));
                CollapsedText title(kMaxTitleBytes);
                title.Append(line);
                page.Title = title.Take();
                if (!page.Title.empty()) break;
            }
            at = end + 1;
        }
    }
    CollapsedText text(textLimit);
    text.Append(utf8);
    page.Text = text.Take();
    return page;
}

}  // namespace

bool IsHtmlPage(std::string_view name) {
    return EndsWithIgnoringCase(name, ".htm") || EndsWithIgnoringCase(name, ".html") ||
           EndsWithIgnoringCase(name, ".xhtml");
}

bool IsSearchablePage(std::string_view name) {
    // Sphinx keeps each page's source beside the site (`_sources/os.rst.txt`
    // for `os.html`): the same words again, in markup.
    if (name.starts_with("_sources/") || name.find("/_sources/") != std::string_view::npos) {
        return false;
    }
    return IsHtmlPage(name) || EndsWithIgnoringCase(name, ".txt") || IsMarkdown(name);
}

void PreparePageTextExtraction() {
    static std::once_flag prepared;
    std::call_once(prepared, [] { xmlInitParser(); });
}

PageText ExtractPageText(std::string_view name, std::string_view content, size_t textLimit,
                         const EnoughText& enough) {
    // The parser counts in int.
    if (content.size() > static_cast<size_t>(INT_MAX)) content = content.substr(0, INT_MAX);
    const std::string utf8 = AsUtf8(content);
    if (IsHtmlPage(name)) return ExtractHtml(utf8, textLimit, enough, MarksMainRegion(utf8));
    return ExtractPlain(utf8, IsMarkdown(name), textLimit);
}
