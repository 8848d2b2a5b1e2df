#include "Search/WordSplitter.h"

#include <algorithm>
#include <climits>

#include "Search/Sqlite.h"

namespace {

// Folding: the same for every word, whatever its script.
const char* kFolderArguments[] = {"remove_diacritics", "2"};
// The stemmer reads the folded words of the same tokenizer.
const char* kStemmerArguments[] = {"unicode61", "remove_diacritics", "2"};

Fts5Tokenizer* CreateTokenizer(fts5_api* fts5, const char* name, const char** arguments, int count,
                               fts5_tokenizer& methods) {
    void* userData = nullptr;
    Fts5Tokenizer* tokenizer = nullptr;
    if (fts5 == nullptr || fts5->xFindTokenizer(fts5, name, &userData, &methods) != SQLITE_OK ||
        methods.xCreate(userData, arguments, count, &tokenizer) != SQLITE_OK) {
        return nullptr;
    }
    return tokenizer;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The length of a language's mark after a one-letter word ("C++", "C#",
// "F#", "g++"), which the tokenizer drops: without it `c++` would find every
// page about C. The mark ends where no letter, "+" or "#" follows ("C++17":
// "c++", "17"); anything else ("a+b", "c#define") is no such mark.
size_t LanguageMarkAfter(std::string_view text, size_t end) {
    const std::string_view rest = text.substr(end);
    size_t mark = rest.starts_with("++") ? 2 : rest.starts_with('#') ? 1 : 0;
    if (mark == 0 || (mark < rest.size() &&
                      (IsAsciiLetter(rest[mark]) || rest[mark] == '+' || rest[mark] == '#'))) {
        return 0;
    }
    return mark;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

WordSplitter::WordSplitter(sqlite3* database) {
    fts5_api* fts5 = Fts5Of(database);
    folder_ = CreateTokenizer(fts5, "unicode61", kFolderArguments,
                              static_cast<int>(std::size(kFolderArguments)), folderMethods_);
    stemmer_ = CreateTokenizer(fts5, "porter", kStemmerArguments,
                               static_cast<int>(std::size(kStemmerArguments)), stemmerMethods_);
}

WordSplitter::~WordSplitter() {
    if (folder_ != nullptr) folderMethods_.xDelete(folder_);
    if (stemmer_ != nullptr) stemmerMethods_.xDelete(stemmer_);
}

void WordSplitter::Fold(std::string_view original, std::string& folded) const {
    folded.clear();
    if (IsAscii(original)) {
        for (const char c : original) folded += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        return;
    }
    folderMethods_.xTokenize(folder_, &folded, FTS5_TOKENIZE_DOCUMENT, original.data(),
                             static_cast<int>(original.size()),
                             [](void* context, int, const char* token, int length, int, int) {
                                 static_cast<std::string*>(context)->append(
                                     token, static_cast<size_t>(length));
                                 return SQLITE_OK;
                             });
}

void WordSplitter::Split(std::string_view text, const WordFunction& word) const {
    if (!Ready()) return;
    if (text.size() > static_cast<size_t>(INT_MAX)) text = text.substr(0, INT_MAX);
    struct SplitCall {
        const WordSplitter* splitter;
        std::string_view text;
        const WordFunction* word;
        std::string folded;
    } call{this, text, &word, {}};
    // The stemmer hands on every word of its parent once, with the parent's
    // byte range: the folded form is that range's, folded again.
    stemmerMethods_.xTokenize(
        stemmer_, &call, FTS5_TOKENIZE_DOCUMENT, text.data(), static_cast<int>(text.size()),
        [](void* context, int, const char* token, int length, int start, int end) {
            auto* call = static_cast<SplitCall*>(context);
            const auto from = static_cast<size_t>(start);
            const auto to = static_cast<size_t>(end);
            if (to < from || to > call->text.size()) return SQLITE_OK;
            WordSplitter::Word word;
            word.Original = call->text.substr(from, to - from);
            call->splitter->Fold(word.Original, call->folded);
            word.Folded = call->folded;
            word.Stem = std::string_view(token, static_cast<size_t>(length));
            word.Start = from;
            word.End = to;
            if (to - from == 1 && IsAsciiLetter(call->text[from])) {
                if (const size_t mark = LanguageMarkAfter(call->text, to); mark > 0) {
                    word.End = to + mark;
                    word.Original = call->text.substr(from, word.End - from);
                    call->folded += word.Original.substr(1);
                    word.Folded = call->folded;
                    word.Stem = word.Folded;
                }
            }
            return (*call->word)(word) ? SQLITE_OK : SQLITE_DONE;
        });
}
