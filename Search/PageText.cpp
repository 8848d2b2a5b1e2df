#include "Search/PageText.h"

#include <libxml/HTMLparser.h>

#include <array>
#include <climits>
#include <cstring>
#include <mutex>

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
    static constexpr std::array<const char*, 24> kInline = {
        "a",   "abbr", "b", "bdi", "bdo",  "cite",  "code", "data",   "dfn", "em",  "font", "i",
        "kbd", "mark", "q", "s",   "samp", "small", "span", "strong", "sub", "sup", "u",    "var"};
    for (const char* name : kInline) {
        if (std::strcmp(tag, name) == 0) return true;
    }
    return false;
}

bool IsHidden(const char* tag) {
    return std::strcmp(tag, "script") == 0 || std::strcmp(tag, "style") == 0 ||
           std::strcmp(tag, "template") == 0;
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

struct HtmlWalk {
    explicit HtmlWalk(size_t textLimit) : text(textLimit) {}

    CollapsedText text;
    CollapsedText title{kMaxTitleBytes};
    CollapsedText heading{kMaxTitleBytes};
    int hiddenDepth = 0;
    bool inTitle = false;
    bool titleSeen = false;
    int headingDepth = 0;  // inside the first heading
    bool headingSeen = false;
};

HtmlWalk& WalkOf(void* context) {
    auto* parser = static_cast<htmlParserCtxtPtr>(context);
    return *static_cast<HtmlWalk*>(parser->_private);
}

void OnStart(void* context, const xmlChar* name, const xmlChar** /*attributes*/) {
    HtmlWalk& walk = WalkOf(context);
    const auto* tag = reinterpret_cast<const char*>(name);
    if (IsHidden(tag)) {
        ++walk.hiddenDepth;
    } else if (std::strcmp(tag, "title") == 0) {
        walk.inTitle = !walk.titleSeen;
    } else if (IsHeading(tag)) {
        if (walk.headingDepth > 0) {
            ++walk.headingDepth;
        } else if (!walk.headingSeen) {
            walk.headingDepth = 1;
        }
    }
    if (!IsInline(tag)) {
        walk.text.Separate();
        if (walk.headingDepth > 0) walk.heading.Separate();
    }
}

void OnEnd(void* context, const xmlChar* name) {
    HtmlWalk& walk = WalkOf(context);
    const auto* tag = reinterpret_cast<const char*>(name);
    if (IsHidden(tag)) {
        if (walk.hiddenDepth > 0) --walk.hiddenDepth;
    } else if (std::strcmp(tag, "title") == 0) {
        if (walk.inTitle) walk.titleSeen = true;
        walk.inTitle = false;
    } else if (IsHeading(tag) && walk.headingDepth > 0) {
        if (--walk.headingDepth == 0) walk.headingSeen = !walk.heading.Empty();
    }
    if (!IsInline(tag)) walk.text.Separate();
}

void OnCharacters(void* context, const xmlChar* characters, int length) {
    HtmlWalk& walk = WalkOf(context);
    const std::string_view text(reinterpret_cast<const char*>(characters),
                                static_cast<size_t>(length));
    if (walk.inTitle) {
        walk.title.Append(text);
        return;
    }
    if (walk.hiddenDepth > 0) return;
    walk.text.Append(text);
    if (walk.headingDepth > 0) walk.heading.Append(text);
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

PageText ExtractHtml(std::string_view utf8, size_t textLimit, const EnoughText& enough) {
    static htmlSAXHandler handler = MakeHandler();
    HtmlWalk walk(textLimit);
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
    } while (at < utf8.size() && !walk.text.Full() && !(enough && enough(walk.text.View())));
    htmlFreeParserCtxt(parser);
    PageText page;
    page.Title = walk.titleSeen || !walk.title.Empty() ? walk.title.Take() : std::string();
    if (page.Title.empty()) page.Title = walk.heading.Take();
    page.Text = walk.text.Take();
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
    if (IsHtmlPage(name)) return ExtractHtml(utf8, textLimit, enough);
    return ExtractPlain(utf8, IsMarkdown(name), textLimit);
}
