// Whether a page holds the words of a query together, under one heading, or
// scattered over its sections: a page about what is asked says it in one
// place, while a long guide, a page of answers to many questions or every
// chapter in one holds each word somewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "Search/IndexTerms.h"
#include "Search/PageText.h"
#include "Search/WordSplitter.h"

// Counts, section by section as a page's text is read, the words a query
// asks for (not its small ones; at most 64).
class WordsTogether {
  public:
    // Both must outlive it.
    WordsTogether(const WordSplitter& splitter, const std::vector<QueryWord>& words);

    // How many words the query asks for.
    size_t Asked() const { return asked_.size(); }

    // Reads the sections of `text` (PageText's, read so far) that have
    // ended. True once one of them holds every word asked: the rest of the
    // page can tell no more.
    bool ReadEnded(std::string_view text, const std::vector<PageSection>& sections);
    // Reads the rest, the whole text being read.
    void ReadAll(std::string_view text, const std::vector<PageSection>& sections);

    size_t InOneSection() const;  // of the section that holds most
    size_t InPage() const;        // of the text read
    // That section, the first of those that hold as many: 0 for the text
    // before the first heading, i + 1 for PageText's section i.
    size_t BestSection() const { return bestSection_; }

  private:
    void ReadSection(std::string_view text, size_t end);

    const WordSplitter& splitter_;
    const std::vector<QueryWord>& words_;
    std::vector<size_t> asked_;  // by place in words_
    uint64_t all_ = 0;           // a bit for each asked word
    uint64_t best_ = 0;
    size_t bestSection_ = 0;
    uint64_t inPage_ = 0;
    size_t sectionsRead_ = 0;  // of the text before the first heading and each section
    size_t start_ = 0;         // where the next starts
};
