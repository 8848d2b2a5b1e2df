#include "Search/HitSection.h"

#include <algorithm>

size_t WordsNamed(const WordSplitter& splitter, const PageSection& section,
                  const std::vector<QueryWord>& words) {
    // The heading's terms as the index makes them: "UTF-8" names utf8.
    std::string terms = " ";
    AppendIndexTerms(splitter, section.Heading, terms);
    AppendIndexTerms(splitter, section.Anchor, terms);
    const auto holds = [&](const std::string& term) {
        return !term.empty() && terms.find(" " + term + " ") != std::string::npos;
    };
    return static_cast<size_t>(std::count_if(words.begin(), words.end(), [&](const QueryWord& word) {
        return holds(word.Word) || holds(word.Whole) ||
               std::any_of(word.Forms.begin(), word.Forms.end(), holds);
    }));
}

size_t SectionOfHit(const WordSplitter& splitter, const PageText& page,
                    const std::vector<QueryWord>& words) {
    const std::vector<PageSection>& sections = page.Sections;
    size_t best = kNoSection;
    size_t bestNamed = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        const size_t named = WordsNamed(splitter, sections[i], words);
        if (named > bestNamed) {
            best = i;
            bestNamed = named;
        }
    }
    if (best == kNoSection) {
        size_t firstHit = std::string::npos;
        splitter.Split(page.Text, [&](const WordSplitter::Word& word) {
            const bool hit = std::any_of(words.begin(), words.end(),
                                         [&](const QueryWord& query) { return Finds(query, word); });
            if (hit) firstHit = word.Start;
            return !hit;
        });
        if (firstHit == std::string::npos) return kNoSection;
        for (size_t i = 0; i < sections.size() && sections[i].Start <= firstHit; ++i) best = i;
    }
    return best == 0 ? kNoSection : best;
}
