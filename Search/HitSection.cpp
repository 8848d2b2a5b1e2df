#include "Search/HitSection.h"

#include <algorithm>

#include "Search/DefinedName.h"
#include "Search/WordsTogether.h"

namespace {

// Letters and digits of `text`, ASCII ones in lower case: "UTF-8" gives utf8.
std::string Squeezed(std::string_view text) {
    std::string squeezed;
    for (const char c : text) {
        if (c >= 'A' && c <= 'Z') {
            squeezed += static_cast<char>(c - 'A' + 'a');
        } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   static_cast<unsigned char>(c) >= 0x80) {
            squeezed += c;
        }
    }
    return squeezed;
}

// Whether a heading may name any of the words: a quick look that lets most
// of a long page's headings go without splitting them.
bool MayName(const PageSection& section, const std::vector<QueryWord>& words) {
    const std::string squeezed = Squeezed(section.Heading) + ' ' + Squeezed(section.Anchor);
    const auto in = [&](std::string_view term) {
        if (!term.empty() && term[0] == kStemMark) term.remove_prefix(1);
        return !term.empty() && squeezed.find(term) != std::string::npos;
    };
    return std::any_of(words.begin(), words.end(), [&](const QueryWord& word) {
        return in(word.Word) || std::any_of(word.Forms.begin(), word.Forms.end(), in);
    });
}

}  // namespace

bool DefinesAsked(const WordSplitter& splitter, const PageSection& section,
                  std::string_view asked) {
    if (asked.empty()) return false;
    // The terms the index makes of the name its signature defines, or of a
    // title's last word ("Struct std::vec::Vec").
    const std::string_view heading = section.Heading;
    const size_t lastWord = heading.find_last_of(' ');
    std::string terms = " ";
    AppendDefinedTerms(splitter, DefinedName(heading), terms);
    AppendDefinedTerms(splitter,
                       lastWord == std::string_view::npos ? heading : heading.substr(lastWord + 1),
                       terms);
    std::string term = " ";
    term += asked;
    term += ' ';
    return terms.find(term) != std::string::npos;
}

SectionNaming NamingOf(const WordSplitter& splitter, const PageSection& section,
                       const std::vector<QueryWord>& words) {
    SectionNaming naming;
    if (!MayName(section, words)) return naming;
    // The heading's terms as the index makes them: "UTF-8" names utf8.
    std::string terms = " ";
    AppendIndexTerms(splitter, section.Heading, terms);
    AppendIndexTerms(splitter, section.Anchor, terms);
    const auto holds = [&](const std::string& term) {
        return !term.empty() && terms.find(" " + term + " ") != std::string::npos;
    };
    naming.Words =
        static_cast<size_t>(std::count_if(words.begin(), words.end(), [&](const QueryWord& word) {
            return holds(word.Word) || holds(word.Whole) ||
                   std::any_of(word.Forms.begin(), word.Forms.end(), holds);
        }));
    // An identifier's whole is its last word's (the longest join).
    for (size_t i = 0; i < words.size(); ++i) {
        const bool last = i + 1 == words.size() || words[i + 1].Whole.empty();
        if (!words[i].Whole.empty() && last && !holds(words[i].Whole)) naming.Whole = false;
    }
    return naming;
}

size_t WordsNamed(const WordSplitter& splitter, const PageSection& section,
                  const std::vector<QueryWord>& words) {
    return NamingOf(splitter, section, words).Words;
}

size_t SectionOfHit(const WordSplitter& splitter, const PageText& page,
                    const std::vector<QueryWord>& words) {
    const std::vector<PageSection>& sections = page.Sections;
    size_t best = kNoSection;
    size_t bestNamed = 0;
    const std::string_view asked = words.empty() ? std::string_view() : words.back().Defined;
    for (size_t i = 0; i < sections.size(); ++i) {
        // Of headings that name as many words, the first that names the
        // query's identifiers whole (`g_utf8_validate`, not
        // `g_utf8_get_char_validated`), and of those the one that defines
        // the name asked.
        const SectionNaming naming = NamingOf(splitter, sections[i], words);
        const bool namedAny = naming.Words > 0;
        const size_t named = naming.Words * 4 + (naming.Whole && namedAny ? 2 : 0) +
                             (namedAny && DefinesAsked(splitter, sections[i], asked) ? 1 : 0);
        if (named > bestNamed) {
            best = i;
            bestNamed = named;
        }
    }
    if (best == kNoSection) {
        // Else the first section that holds the most of the words asked.
        WordsTogether together(splitter, words);
        together.ReadAll(page.Text, sections);
        if (together.InPage() == 0 || together.BestSection() == 0) return kNoSection;
        best = together.BestSection() - 1;
    }
    return best == 0 ? kNoSection : best;
}
