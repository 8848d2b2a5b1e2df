#include "Search/WordSplitter.h"

#include <algorithm>
#include <climits>

#include "Search/Sqlite.h"
#include "Search/TextEncoding.h"

namespace {

constexpr const char* kTokenizerName = "unicode61";
// The same arguments as the index's tokenize= option.
const char* kTokenizerArguments[] = {"remove_diacritics", "2"};

struct SplitCall {
    const WordSplitter::WordFunction* word;
};

int OnToken(void* context, int /*flags*/, const char* token, int length, int start, int end) {
    const auto* call = static_cast<SplitCall*>(context);
    const bool more = (*call->word)(std::string_view(token, static_cast<size_t>(length)),
                                    static_cast<size_t>(start), static_cast<size_t>(end));
    return more ? SQLITE_OK : SQLITE_DONE;
}

}  // namespace

WordSplitter::WordSplitter(sqlite3* database) {
    fts5_api* fts5 = Fts5Of(database);
    void* userData = nullptr;
    if (fts5 == nullptr ||
        fts5->xFindTokenizer(fts5, kTokenizerName, &userData, &methods_) != SQLITE_OK) {
        return;
    }
    Fts5Tokenizer* tokenizer = nullptr;
    if (methods_.xCreate(userData, kTokenizerArguments,
                         static_cast<int>(std::size(kTokenizerArguments)),
                         &tokenizer) == SQLITE_OK) {
        tokenizer_ = tokenizer;
    }
}

WordSplitter::~WordSplitter() {
    if (tokenizer_ != nullptr) methods_.xDelete(tokenizer_);
}

void WordSplitter::Split(std::string_view text, const WordFunction& word) const {
    if (tokenizer_ == nullptr) return;
    if (text.size() > static_cast<size_t>(INT_MAX)) text = text.substr(0, INT_MAX);
    SplitCall call{&word};
    methods_.xTokenize(tokenizer_, &call, FTS5_TOKENIZE_DOCUMENT, text.data(),
                       static_cast<int>(text.size()), OnToken);
}

std::vector<std::string> WordSplitter::QueryTerms(std::string_view query) const {
    // The tokenizer reads UTF-8; stray bytes of a query are no part of a word.
    const std::string text = DropInvalidUtf8(query);
    std::vector<std::string> terms;
    Split(text, [&](std::string_view word, size_t, size_t) {
        if (std::find(terms.begin(), terms.end(), word) == terms.end()) terms.emplace_back(word);
        return terms.size() < kMaxQueryTerms;
    });
    return terms;
}
