#include "Search/DefinedName.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// Longer terms are descriptions, not signatures.
constexpr size_t kMaxTermBytes = 300;

bool IsNameByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) != 0 || byte >= 0x80 || c == '_' || c == '.' || c == ':' ||
           c == '-' || c == '~' || c == '$';
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Words a signature starts with before the name: kinds, modifiers, qualifiers.
constexpr std::array<std::string_view, 40> kKindWords = {
    "abstract", "abstractmethod", "async",     "attribute",    "await",
    "class",    "classmethod",    "const",     "coroutine",    "data",
    "def",      "enum",           "exception", "extern",       "final",
    "fn",       "function",       "inline",    "interface",    "let",
    "method",   "module",         "mut",       "newtype",      "package",
    "private",  "property",       "protected", "pub",          "public",
    "signal",   "slot",           "static",    "staticmethod", "struct",
    "template", "trait",          "type",      "typedef",      "virtual"};

bool IsKindWord(std::string_view word) {
    return std::find(kKindWords.begin(), kKindWords.end(), word) != kKindWords.end();
}

// Marks around a name that are no part of it: a directive's dots and colons
// (".. toctree::", ":ref:"), an option's dashes ("--verbose").
std::string_view Trimmed(std::string_view name) {
    while (!name.empty() && (name.front() == ':' || name.front() == '.' || name.front() == '-')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ':' || name.back() == '.' || name.back() == '-')) {
        name.remove_suffix(1);
    }
    return name;
}

// Small words of a sentence, which no signature writes before its name
// ("How can I clear the root node in iterparse()?").
constexpr std::array<std::string_view, 10> kSentenceWords = {"a",    "an",  "the", "of",   "in",
                                                             "with", "how", "why", "what", "when"};

// Whether the words of `text` are those of a sentence, not a signature's.
bool ReadsAsSentence(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        while (at < text.size() && std::isalpha(static_cast<unsigned char>(text[at])) == 0) ++at;
        size_t end = at;
        std::string word;
        while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])) != 0) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[end++])));
        }
        if (std::find(kSentenceWords.begin(), kSentenceWords.end(), word) != kSentenceWords.end()) {
            return true;
        }
        at = end;
    }
    return false;
}

}  // namespace

bool WrittenAsCode(std::string_view name) {
    bool letter = false;
    bool code = false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        letter = letter || std::isalpha(static_cast<unsigned char>(c)) != 0;
        code = code || c == '_' || c == '.' || c == ':' || (c >= '0' && c <= '9') ||
               (i > 0 && c >= 'A' && c <= 'Z');
    }
    return letter && code;
}

std::string DefinedName(std::string_view term) {
    if (term.size() > kMaxTermBytes || term.ends_with('?')) return {};
    // A call's signature: the name right before its parameters, after any
    // return type ("int sqlite3_open(const char *filename, ...)").
    // A directive (".. py:function:: name(parameters)") defines the
    // directive, not the parameters' example.
    const bool directive = term.starts_with("..");
    const size_t parameters = term.find('(');
    if (!directive && parameters != std::string_view::npos && parameters > 0 &&
        IsNameByte(term[parameters - 1])) {
        size_t start = parameters;
        while (start > 0 && IsNameByte(term[start - 1])) --start;
        const std::string_view name = Trimmed(term.substr(start, parameters - start));
        if (ReadsAsSentence(term.substr(0, start))) return {};
        if (!name.empty() && !IsKindWord(name)) return std::string(name);
    }
    // Else the first word that is no kind word, unless a word of a phrase
    // follows it: "getArgs :: IO [String]" defines getArgs, "Environment
    // variable" no name; after a kind word, the name ("data Maybe a").
    size_t at = 0;
    bool kind = false;
    while (at < term.size()) {
        while (at < term.size() && IsSpace(term[at])) ++at;
        size_t end = at;
        while (end < term.size() && IsNameByte(term[end])) ++end;
        const std::string_view name = Trimmed(term.substr(at, end - at));
        if (end == at) return {};  // punctuation before any name
        at = end;
        if (name.empty()) continue;
        if (IsKindWord(name)) {
            kind = true;
            continue;
        }
        while (at < term.size() && IsSpace(term[at])) ++at;
        const bool phrase = at < term.size() &&
                            std::isalnum(static_cast<unsigned char>(term[at])) != 0 && !kind &&
                            !WrittenAsCode(name);
        return phrase ? std::string() : std::string(name);
    }
    return {};
}
