// Splits text into words with FTS5's own tokenizers: each word folded
// (unicode61: case and diacritics) and its English stem (porter), with its
// byte range. A one-letter word keeps a language's mark ("C++", "C#"). The
// index's terms, a query's words and a snippet's marks are all made of these.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <string_view>

class WordSplitter {
  public:
    // Uses the tokenizers of `database`'s FTS5 (any open connection); the
    // splitter is then independent of it. One thread at a time.
    explicit WordSplitter(sqlite3* database);
    ~WordSplitter();
    WordSplitter(const WordSplitter&) = delete;
    WordSplitter& operator=(const WordSplitter&) = delete;

    bool Ready() const { return folder_ != nullptr && stemmer_ != nullptr; }

    struct Word {
        std::string_view Folded;    // as the index keeps it
        std::string_view Stem;      // Folded when the stemmer leaves it as it is
        std::string_view Original;  // the text's own bytes
        size_t Start = 0;
        size_t End = 0;
    };
    // Calls `word` for each word of `text` (UTF-8) in order, until `word`
    // returns false.
    using WordFunction = std::function<bool(const Word& word)>;
    void Split(std::string_view text, const WordFunction& word) const;

  private:
    void Fold(std::string_view original, std::string& folded) const;

    fts5_tokenizer folderMethods_{};
    Fts5Tokenizer* folder_ = nullptr;
    fts5_tokenizer stemmerMethods_{};
    Fts5Tokenizer* stemmer_ = nullptr;
};
