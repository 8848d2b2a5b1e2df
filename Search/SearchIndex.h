// The index's one layout: the pages (entry and title) and their words in an
// FTS5 table that keeps no copy of the text, so the file stays small; the
// words around a hit are read from the archive when results are shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Search/PageText.h"
#include "Search/Sqlite.h"

// Written into every index; a program that changes the layout changes this,
// and with it the cache file's name.
inline constexpr int kIndexFormat = 1;

// Makes the tables in an empty database, for a build: nothing is kept safe
// against a crash (a crashed build leaves an incomplete index, never used).
bool CreateIndex(sqlite3* database);

// Adds one page to an index being built, within the caller's transaction.
class PageInserter {
  public:
    explicit PageInserter(sqlite3* database);
    bool Ready() const { return pages_ && words_; }
    bool Add(uint32_t entry, const PageText& page);

  private:
    Statement pages_;
    Statement words_;
};

// Merges the index into its most compact form and records it as complete, for
// `identity`, with `pageCount` pages.
bool CompleteIndex(sqlite3* database, std::string_view identity, uint32_t pageCount);

// Whether `database` is a complete index of this format for `identity`.
bool IsCompleteIndexOf(sqlite3* database, std::string_view identity);

// The pages found, in rank order, from the offset asked for.
struct RankedPage {
    uint32_t Entry = 0;
    double Score = 0;  // higher is better
    std::string Title;
};

struct IndexHits {
    uint64_t Total = 0;  // every page that matches
    std::vector<RankedPage> Pages;
    bool Failed = false;  // the index could not be read
};

// Makes the ranking that FindPages uses known to a connection.
bool AddRanking(sqlite3* database);

// Pages holding every one of `terms` (index words, never query syntax), best
// first: `count` of them from `offset`. Of pages that rank alike, the one with
// the shorter name (`nameLengths`, by entry) comes first.
IndexHits FindPages(sqlite3* database, const std::vector<std::string>& terms,
                    const std::vector<uint32_t>& nameLengths, uint64_t offset, uint32_t count);
