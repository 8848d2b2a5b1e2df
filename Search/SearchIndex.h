// The index's one layout: the pages (entry and title) and their terms in an
// FTS5 table that keeps no copy of the text, so the file stays small; the
// words around a hit are read from the archive when results are shown. A
// page's terms stand in columns by what part of it they come from, and rank
// by that.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Search/IndexTerms.h"
#include "Search/PageText.h"
#include "Search/Sqlite.h"

// Written into every index; a program that changes the layout changes this,
// and with it the cache file's name: an index of an earlier layout is built
// anew.
inline constexpr int kIndexFormat = 25;

// The parts of a page, as the index's columns. Often: the words the page's
// text uses again and again, what it is about; the index keeps whether a page
// holds a term, never how often, so this is the one count it has. Lead: the
// page's first words under its first heading (PageText's), after its first
// sentence. Summary: that sentence, where a page says what it is ("Solve an
// initial value problem for a system of ODEs.").
enum class Field { Title, Headings, Names, Code, Often, Lead, Summary, Text };
inline constexpr size_t kFieldCount = 8;

// A word is in Often when the text holds it this many times.
inline constexpr uint32_t kOftenCount = 5;
inline constexpr uint64_t kOftenShare = 1000;

// What the index keeps of a page: its title as shown, and the terms of each
// field (AppendIndexTerms).
struct IndexedPage {
    std::string Title;
    bool Secondary = false;  // PageText's
    std::array<std::string, kFieldCount> Terms;
    std::vector<uint32_t> LinksTo;  // the other pages it links to, by entry, each once
    // Of its title and text: the same page under several names (a site's
    // copies of a page in each language's folder) has one; 0 for no text.
    uint64_t Digest = 0;
    size_t Bytes() const;
};
IndexedPage IndexedPageOf(const WordSplitter& splitter, const PageText& page);

// Makes the index's tokenizer and ranking known to a connection, before it
// creates or reads an index.
bool PrepareConnection(sqlite3* database);

// Makes the tables in an empty, prepared database, for a build: nothing is
// kept safe against a crash (a crashed build leaves an incomplete index,
// never used).
bool CreateIndex(sqlite3* database);

// Adds one page to an index being built, within the caller's transaction.
class PageInserter {
  public:
    explicit PageInserter(sqlite3* database);
    bool Ready() const { return pages_ && words_; }
    bool Add(uint32_t entry, const IndexedPage& page);

  private:
    Statement pages_;
    Statement words_;
};

// Merges the index into its most compact form and records it as complete, for
// `identity`, with `pageCount` pages, and how many pages link to each (by
// entry).
bool CompleteIndex(sqlite3* database, std::string_view identity, uint32_t pageCount,
                   const std::vector<uint32_t>& linkedFrom);

// Whether `database` is a complete index of this format for `identity`.
bool IsCompleteIndexOf(sqlite3* database, std::string_view identity);

// The pages found, in rank order, from the offset asked for.
struct RankedPage {
    uint32_t Entry = 0;
    std::string Title;
    double Score = 0;   // higher is better
    bool Copy = false;  // of a page ranked before it, under another name: after every other
};

struct IndexHits {
    uint64_t Total = 0;  // every page that matches
    std::vector<RankedPage> Pages;
    bool Failed = false;  // the index could not be read
};

// The fields whose length tells how likely they hold any word (PageWeightsOf),
// and what a word in each weighs on one page, of its weight on a page whose
// field is of the site's average length or shorter (1).
inline constexpr std::array<Field, 4> kLengthFields = {Field::Headings, Field::Names, Field::Code,
                                                       Field::Text};
using LengthWeights = std::array<float, kLengthFields.size()>;

// What ranking weighs each page of the index by, by entry, read from the
// pages' field lengths in one pass (pages not in the index weigh 1 and have
// a share of 0).
struct PageWeights {
    // A long field holds any word more likely than a short one.
    std::vector<LengthWeights> Lengths;
    // How much of the page is definitions (the names it defines against them
    // and its text, 0 to 1): a reference page's share is high, a guide's low.
    std::vector<float> ReferenceShares;
};
PageWeights PageWeightsOf(sqlite3* database, size_t entries);

// What ranking reads beside the index.
struct RankingAids {
    const WordSplitter* Splitter = nullptr;    // for titles; none: titles are not weighed
    std::vector<uint32_t> NameLengths;         // by entry: ties in rank go to the shorter
    std::vector<uint16_t> NameDepths;          // by entry: the folders it stands in
    std::vector<std::string> FileNames;        // by entry: FileName, weighed as the title's name
    std::vector<std::string> TitleEnds;        // TitleEndsOf the index
    std::vector<std::string> CommonNameWords;  // CommonNameWords of the pages' names
    PageWeights Weights;                       // PageWeightsOf the index
};

// The ends of titles the site shares (CommonTitleEnds), as the index keeps them.
std::vector<std::string> TitleEndsOf(sqlite3* database);

// How many pages there are, and how many hold each of a query's words (in
// QueryWords' order) in any form and as it stands: what a word's rarity is
// worked out from. A library sums its archives' (Add), so that their pages
// rank as if they were in one index, where a word rare in one site and
// common in the others is no rarer than it is among them all.
struct QueryWordCounts {
    int64_t Pages = 0;
    std::vector<int64_t> HoldingWord;
    std::vector<int64_t> HoldingAsItStands;
    void Add(const QueryWordCounts& other);
};
QueryWordCounts CountWords(sqlite3* database, const std::vector<QueryWord>& words);

// Whether the page of `entry` defines the name a query written as one asks
// for (QueryWord::Defined, its term).
bool PageDefines(sqlite3* database, uint32_t entry, std::string_view definedTerm);

// Pages holding every one of `words` in any of its forms, best first: `count`
// of them from `offset`. `shared`: the words' counts over a library, in place
// of the index's own.
IndexHits FindPages(sqlite3* database, const std::vector<QueryWord>& words, const RankingAids& aids,
                    uint64_t offset, uint32_t count, const QueryWordCounts* shared = nullptr);
