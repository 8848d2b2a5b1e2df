#include "Search/SiteTitle.h"

#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "Shared/AnsiText.h"

namespace {

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// What stands between a page's name and the site's in a title.
constexpr std::array<std::string_view, 5> kSeparators = {" - ", " -- ", " \xE2\x80\x94 ",
                                                         " \xE2\x80\x93 ", " | "};
constexpr std::string_view kPrefixSeparator = ": ";

// An end is the site's when this share of titles (or this many) have it.
constexpr size_t kSharePercent = 2;
constexpr size_t kEnoughTitles = 20;
constexpr size_t kFewestTitles = 3;

// A word is common to the site's names when this share of them (and this
// many) hold it.
constexpr size_t kNameSharePercent = 10;
constexpr size_t kFewestNames = 20;

std::string_view SuffixOf(std::string_view title) {
    size_t best = std::string_view::npos;
    size_t length = 0;
    for (const std::string_view separator : kSeparators) {
        const size_t at = title.rfind(separator);
        if (at != std::string_view::npos && (best == std::string_view::npos || at > best)) {
            best = at;
            length = separator.size();
        }
    }
    return best == std::string_view::npos ? std::string_view() : title.substr(best + length);
}

// The words in brackets a title ends with, brackets and all, as texinfo and
// javadoc write a manual's name ("Copying (GNU Octave (version 7.3.0))",
// "HashMap (Java SE 17 & JDK 17)"); empty where there are none.
std::string_view BracketedSuffixOf(std::string_view title) {
    if (!title.ends_with(')')) return {};
    size_t depth = 0;
    for (size_t at = title.size(); at-- > 1;) {
        if (title[at] == ')') ++depth;
        if (title[at] == '(' && depth > 0 && --depth == 0)
            return title[at - 1] == ' ' ? title.substr(at) : std::string_view();
    }
    return {};
}

// The starts of a title that may be the site's: up to its first ": "
// ("Project: Guide", "Gtk – 4.0: Widgets") and up to its first other
// separator ("Erlang -- lists"), each with the separator's length; empty
// where there is none.
std::array<std::pair<std::string_view, size_t>, 2> PrefixesOf(std::string_view title) {
    std::array<std::pair<std::string_view, size_t>, 2> prefixes{};
    const size_t colon = title.find(kPrefixSeparator);
    if (colon != std::string_view::npos)
        prefixes[0] = {title.substr(0, colon), kPrefixSeparator.size()};
    size_t best = std::string_view::npos;
    for (const std::string_view separator : kSeparators) {
        const size_t at = title.find(separator);
        if (at < best) {
            best = at;
            prefixes[1] = {title.substr(0, at), separator.size()};
        }
    }
    if (prefixes[1].first == prefixes[0].first) prefixes[1] = {};
    return prefixes;
}

// Whether `text` holds a dotted version ("3.0", "2.4.1").
bool NamesVersion(std::string_view text) {
    for (size_t at = 1; at + 1 < text.size(); ++at) {
        if (text[at] == '.' && IsAsciiDigit(text[at - 1]) && IsAsciiDigit(text[at + 1])) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> CommonTitleEnds(const std::vector<std::string>& titles) {
    std::map<std::string_view, size_t> counts;
    std::unordered_set<std::string_view> starts;  // of ": " prefixes
    for (const std::string& title : titles) {
        const std::string_view suffix = SuffixOf(title);
        if (!suffix.empty()) ++counts[suffix];
        const std::string_view bracketed = BracketedSuffixOf(title);
        if (!bracketed.empty() && bracketed != suffix) ++counts[bracketed];
        const auto prefixes = PrefixesOf(title);
        for (const auto& [prefix, separator] : prefixes) {
            if (!prefix.empty()) ++counts[prefix];
        }
        if (!prefixes[0].first.empty()) starts.insert(prefixes[0].first);
    }
    const size_t needed =
        std::max(kFewestTitles, std::min(kEnoughTitles, titles.size() * kSharePercent / 100));
    // A ": " start that gives a version ("Soup – 3.0: Server Basics") is the
    // project's name on as few titles as kFewestTitles: a reference's pages
    // of one symbol each ("Soup.Session") may far outnumber its guides.
    std::vector<std::pair<size_t, std::string_view>> common;
    for (const auto& [end, count] : counts) {
        if (count >= needed ||
            (count >= kFewestTitles && starts.contains(end) && NamesVersion(end))) {
            common.emplace_back(count, end);
        }
    }
    std::sort(common.begin(), common.end(), std::greater<>());
    std::vector<std::string> ends;
    for (size_t i = 0; i < common.size() && i < kMaxSiteMarks; ++i) {
        ends.emplace_back(common[i].second);
    }
    return ends;
}

std::string_view OwnTitle(std::string_view title, const std::vector<std::string>& ends) {
    const std::string_view suffix = SuffixOf(title);
    const std::string_view bracketed = BracketedSuffixOf(title);
    const auto prefixes = PrefixesOf(title);
    for (const std::string& end : ends) {
        if (!bracketed.empty() && bracketed == end && bracketed.size() + 1 < title.size())
            return title.substr(0, title.size() - bracketed.size() - 1);
        if (!suffix.empty() && suffix == end) {
            std::string_view own = title.substr(0, title.size() - suffix.size());
            for (const std::string_view separator : kSeparators) {
                if (own.ends_with(separator)) own.remove_suffix(separator.size());
            }
            if (!own.empty()) return own;
        }
        const auto& [prefix, separator] = prefixes[0];
        if (!prefix.empty() && prefix == end) return title.substr(prefix.size() + separator);
    }
    // A start up to another separator only where no ": " start is the site's.
    const auto& [prefix, separator] = prefixes[1];
    if (!prefix.empty() && std::find(ends.begin(), ends.end(), prefix) != ends.end()) {
        return title.substr(prefix.size() + separator);
    }
    return title;
}

namespace {

// A space, or the no-break space DocBook writes after a chapter's number.
size_t SpaceAt(std::string_view text, size_t at) {
    if (at < text.size() && text[at] == ' ') return 1;
    return text.substr(at).starts_with("\xC2\xA0") ? 2 : 0;
}

// `title` without the number a book gives its chapter or section ("12.6.
// Dictionaries", "Chapter 8. Boost.Circular Buffer", "Appendix B. Date
// Support"): where it stands in the book, not what it is about.
std::string_view WithoutNumber(std::string_view title) {
    size_t at = 0;
    bool labelled = false;
    for (const std::string_view label : {"Chapter", "Part", "Appendix", "Section"}) {
        if (title.starts_with(label) && SpaceAt(title, label.size()) > 0) {
            at = label.size() + SpaceAt(title, label.size());
            labelled = true;
            break;
        }
    }
    const size_t start = at;
    if (at < title.size() && IsAsciiDigit(title[at])) {
        while (at < title.size() &&
               (IsAsciiDigit(title[at]) ||
                (title[at] == '.' && at + 1 < title.size() && IsAsciiDigit(title[at + 1])))) {
            ++at;
        }
    } else if (labelled) {
        // A part's roman numeral or an appendix's letter.
        while (at < title.size() && title[at] >= 'A' && title[at] <= 'Z') ++at;
    }
    if (at == start) return title;
    if (at < title.size() && title[at] == '.') ++at;
    const size_t space = SpaceAt(title, at);
    if (space == 0 || at + space >= title.size()) return title;
    return title.substr(at + space);
}

}  // namespace

std::string_view PageName(std::string_view ownTitle) {
    ownTitle = WithoutNumber(ownTitle);
    size_t end = ownTitle.size();
    for (const std::string_view separator : kSeparators)
        end = std::min(end, ownTitle.find(separator));
    end = std::min(end, ownTitle.find(kPrefixSeparator));
    end = std::min(end, ownTitle.find(" in "));
    return end == 0 ? ownTitle : ownTitle.substr(0, end);
}

bool IsReleaseNotes(std::string_view ownTitle) {
    constexpr size_t kLongestTitle = 200;
    std::string title;
    for (size_t at = 0; at < ownTitle.size() && title.size() < kLongestTitle; ++at) {
        // A typographic apostrophe, as "What’s new" is often written.
        if (ownTitle.substr(at, 3) == "\xE2\x80\x99") {
            title += '\'';
            at += 2;
            continue;
        }
        title += LowerAsciiChar(ownTitle[at]);
    }
    for (const std::string_view phrase :
         {"release notes", "release note", "changelog", "change log", "change history",
          "what's new", "whats new"}) {
        if (title.find(phrase) != std::string::npos) return true;
    }
    for (const std::string_view whole : {"changes", "history", "news"}) {
        if (title == whole) return true;
    }
    if (title.starts_with("changes in ") || title.starts_with("changes to ")) return true;
    // "Release 15.9", "SQLite Release 3.5.3 On 2007-11-27".
    for (size_t at = title.find("release "); at != std::string::npos;
         at = title.find("release ", at + 1)) {
        if (at + 8 < title.size() && IsAsciiDigit(title[at + 8])) return true;
    }
    // A version alone, or after a name joined to it ("pytest-5.2.3", "v2.4").
    size_t start = title.size();
    while (start > 0 && (IsAsciiDigit(title[start - 1]) || title[start - 1] == '.')) --start;
    const std::string_view version = std::string_view(title).substr(start);
    return version.find('.') != std::string_view::npos && !version.starts_with('.') &&
           !version.ends_with('.') && title.find(' ') == std::string::npos;
}

bool IsIndexOrLicence(std::string_view ownTitle, int64_t pagesLinked) {
    const std::string title = AsciiLower(std::string(ownTitle.substr(0, 64)));
    for (const std::string_view whole :
         {"index", "general index", "module index", "search", "search page", "copying", "copyright",
          "license", "licence", "history and license"}) {
        if (title == whole) return true;
    }
    if (title.ends_with(" module index")) return true;
    // A book's indexes of its own ("Concept Index", "Function and Variable
    // Index", "Index of Classes"), told from a page about an index ("CREATE
    // INDEX") by the many pages they list.
    return (title.ends_with(" index") || title.starts_with("index of ")) &&
           pagesLinked >= kIndexPagesLinked;
}

std::string_view FileName(std::string_view path) {
    std::string_view name = path.substr(path.rfind('/') + 1);
    name = name.substr(0, name.rfind('.'));
    if (name == "index" || name == "default") {
        const size_t end = path.rfind('/');
        if (end != std::string_view::npos && end > 0) {
            const std::string_view folder = path.substr(0, end);
            return folder.substr(folder.rfind('/') + 1);
        }
    }
    return name;
}

std::vector<std::string> CommonNameWords(const std::vector<std::string_view>& fileNames) {
    std::unordered_map<std::string_view, size_t> counts;
    std::vector<std::string_view> words;
    for (const std::string_view name : fileNames) {
        words.clear();
        for (size_t at = 0; at <= name.size();) {
            const size_t end = std::min(name.find_first_of("-_.", at), name.size());
            const std::string_view word = name.substr(at, end - at);
            if (!word.empty() && std::find(words.begin(), words.end(), word) == words.end()) {
                words.push_back(word);
                ++counts[word];
            }
            at = end + 1;
        }
    }
    std::vector<std::string> common;
    for (const auto& [word, count] : counts) {
        if (count < kFewestNames || count * 100 < fileNames.size() * kNameSharePercent) continue;
        std::string folded(word);
        for (char& c : folded) c = LowerAsciiChar(c);
        common.push_back(std::move(folded));
    }
    std::sort(common.begin(), common.end());
    return common;
}
