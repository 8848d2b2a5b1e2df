#include "Search/PreformattedLines.h"

#include <algorithm>
#include <array>

#include "Shared/AnsiText.h"

namespace {

// Of a longer line, its start tells what it is.
constexpr size_t kMaxLineBytes = 240;

constexpr size_t kMinProseWords = 5;
constexpr size_t kMinSmallWords = 2;

constexpr std::array<std::string_view, 24> kSmallWords = {
    "the",  "of", "to",  "is",   "a",  "an", "and", "in",  "that",  "it",   "for",  "you",
    "this", "be", "are", "with", "as", "on", "or",  "can", "which", "when", "will", "not"};

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view Trimmed(std::string_view line) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    while (!line.empty() && space(line.front())) line.remove_prefix(1);
    while (!line.empty() && space(line.back())) line.remove_suffix(1);
    return line;
}

// The shortest ruler: shorter lines of "=" underline a heading of
// reStructuredText or Markdown shown as an example, above the line that
// follows. (A line of "-" is a comment in code: "-- ...".)
constexpr size_t kMinRulerLength = 60;

bool IsRuler(std::string_view line) {
    const std::string_view marks = Trimmed(line);
    return marks.size() >= kMinRulerLength &&
           marks.find_first_not_of('=') == std::string_view::npos;
}
}  // namespace

LineKind KindOfLine(std::string_view line) {
    line = Trimmed(line);
    if (line.empty()) return LineKind::Other;
    if (std::string_view(";{}(),[").find(line.back()) != std::string_view::npos) {
        return LineKind::Code;
    }
    for (const std::string_view mark :
         {"//", "#", "--", "/*", "*", "{-", "import ", "def ", "fn ", "let ", "return"}) {
        if (line.starts_with(mark)) return LineKind::Code;
    }
    for (const std::string_view mark : {" = ", "=>", "::"}) {
        if (line.find(mark) != std::string_view::npos) return LineKind::Code;
    }
    if (!IsLetter(line.front()) || line.find_first_of("{};=") != std::string_view::npos) {
        return LineKind::Other;
    }
    size_t words = 0;
    size_t small = 0;
    std::string word;
    for (size_t at = 0; at <= line.size(); ++at) {
        if (at < line.size() && IsLetter(line[at])) {
            word += LowerAsciiChar(line[at]);
            continue;
        }
        if (word.empty()) continue;
        ++words;
        if (std::find(kSmallWords.begin(), kSmallWords.end(), word) != kSmallWords.end()) ++small;
        word.clear();
    }
    return words >= kMinProseWords && small >= kMinSmallWords ? LineKind::Prose : LineKind::Other;
}

void PreformattedLines::Add(std::string_view characters) {
    for (size_t at = 0; at < characters.size();) {
        const size_t end = std::min(characters.find('\n', at), characters.size());
        const std::string_view piece = characters.substr(at, end - at);
        line_.append(piece.substr(0, kMaxLineBytes - std::min(kMaxLineBytes, line_.size())));
        if (end == characters.size()) break;
        EndLine();
        at = end + 1;
    }
}

void PreformattedLines::EndLine() {
    if (!Trimmed(line_).empty()) afterRuler_ = IsRuler(line_);
    switch (KindOfLine(line_)) {
        case LineKind::Code:
            ++code_;
            break;
        case LineKind::Prose:
            ++prose_;
            break;
        case LineKind::Other:
            break;
    }
    line_.clear();
}
