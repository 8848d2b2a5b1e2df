#include "Search/Snippet.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026

struct Word {
    size_t Start;
    size_t End;
    bool Hit;
};

}  // namespace

Snippet MakeSnippet(const WordSplitter& splitter, std::string_view text,
                    const std::vector<QueryWord>& queryWords) {
    // The words up to the end of the window, which is known once the first
    // hit is.
    std::vector<Word> words;
    size_t firstHit = SIZE_MAX;  // index into words
    bool cut = false;            // words after the last one collected
    splitter.Split(text, [&](const WordSplitter::Word& word) {
        const size_t start = word.Start;
        const size_t end = word.End;
        const bool hit = std::any_of(queryWords.begin(), queryWords.end(),
                                     [&](const QueryWord& query) { return Finds(query, word); });
        if (hit && firstHit == SIZE_MAX) firstHit = words.size();
        words.push_back({start, end, hit});
        // The window ends at most kSnippetBytes after the first hit starts.
        cut = firstHit != SIZE_MAX && end >= words[firstHit].Start + kSnippetBytes;
        return !cut;
    });
    if (words.empty()) return {};

    size_t first = 0;
    if (firstHit != SIZE_MAX) {
        const size_t lead =
            words[firstHit].Start - std::min(words[firstHit].Start, kSnippetLeadBytes);
        first = firstHit;
        while (first > 0 && words[first - 1].Start >= lead) --first;
    }
    // The text before the first word and after the last stays with them.
    const size_t start = first == 0 ? 0 : words[first].Start;
    size_t last = first;
    while (last + 1 < words.size() && words[last + 1].End <= start + kSnippetBytes) ++last;
    const size_t end = !cut && last + 1 == words.size() ? text.size() : words[last].End;

    Snippet snippet;
    const auto plain = [&](std::string_view piece) {
        if (piece.empty()) return;
        if (!snippet.empty() && !snippet.back().Marked) {
            snippet.back().Text += piece;
        } else {
            snippet.push_back({std::string(piece), false});
        }
    };
    if (start > 0) plain(kEllipsis);
    size_t at = start;
    for (size_t i = first; i <= last; ++i) {
        if (!words[i].Hit) continue;
        plain(text.substr(at, words[i].Start - at));
        snippet.push_back(
            {std::string(text.substr(words[i].Start, words[i].End - words[i].Start)), true});
        at = words[i].End;
    }
    plain(text.substr(at, end - at));
    if (end < text.size()) plain(kEllipsis);
    return snippet;
}

std::string PlainText(const Snippet& snippet) {
    std::string text;
    for (const SnippetPiece& piece : snippet) text += piece.Text;
    return text;
}
