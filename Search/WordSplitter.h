// Splits text into words exactly as the index does, with FTS5's own
// tokenizer: queries become index words, and hits are found in page text.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Words of a query used at most: more only slow the search down.
inline constexpr size_t kMaxQueryTerms = 16;

class WordSplitter {
  public:
    // Uses the tokenizer registered in `database` (any open connection).
    explicit WordSplitter(sqlite3* database);
    ~WordSplitter();
    WordSplitter(const WordSplitter&) = delete;
    WordSplitter& operator=(const WordSplitter&) = delete;

    bool Ready() const { return tokenizer_ != nullptr; }

    // Calls `word` for each word of `text` (UTF-8) in order, with the word
    // folded as the index keeps it and its byte range in `text`, until `word`
    // returns false.
    using WordFunction = std::function<bool(std::string_view word, size_t start, size_t end)>;
    void Split(std::string_view text, const WordFunction& word) const;

    // The distinct index words of a query, at most kMaxQueryTerms, in order.
    std::vector<std::string> QueryTerms(std::string_view query) const;

  private:
    fts5_tokenizer methods_{};
    Fts5Tokenizer* tokenizer_ = nullptr;
};
