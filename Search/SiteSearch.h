// Full-text search over one archive: the index is opened from the cache
// folder when one of this archive exists, else built in the background on the
// builder's threads, and asked while the site is served.
//
// Thread safety: Ask and State may be called from any thread at any time; the
// owner destroys it after the last call, which stops a build and joins its
// threads.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "Search/IndexBuilder.h"
#include "Search/IndexTerms.h"
#include "Search/SearchAnswer.h"
#include "Search/SearchIndex.h"
#include "Search/SearchSource.h"
#include "Search/Sqlite.h"
#include "Search/WordSplitter.h"

// Of a result page, at most this much content is read for its snippet, and
// this much text kept: a hit further in shows the page's start instead. They
// bound the work of one page of results, whatever its pages.
inline constexpr size_t kSnippetContentLimit = size_t{256} * 1024;
// For a name asked alone, read until the heading that defines it: a
// module's one reference page defines its names over a megabyte or more.
inline constexpr size_t kDefinitionContentLimit = size_t{2} * 1024 * 1024;
// Read first, as most pages hold a hit within it.
inline constexpr size_t kSnippetFirstContent = size_t{48} * 1024;
inline constexpr size_t kSnippetTextLimit = size_t{32} * 1024;
// Of a page of results, the first this many are read past their first part
// for an identifier's heading (ShowHit): the ones a reader looks at first,
// and a bound on the page's reading.
inline constexpr size_t kDeepHits = 3;

// Of the first page of results, the best this many are weighed again by
// whether they hold the words asked together, under one heading
// (WordsTogether), and ordered anew among themselves.
inline constexpr uint32_t kTogetherRankDepth = 5;

struct SearchSettings {
    std::string Identity;     // ArchiveIdentity of the archive; empty: no cache
    std::string CacheFolder;  // SearchCacheFolder(); empty: an index in memory
    unsigned Threads = 2;     // extraction threads of a build
    std::string Place;        // the archive's path: its earlier indexes go
};

// The settings of an archive's search kept in the user's cache folder.
SearchSettings CachedSearchSettings(const std::string& archivePath, unsigned threads);

class SiteSearch {
  public:
    // A line for the console: why the index is not kept.
    using NoteFunction = std::function<void(const std::string& line)>;

    SiteSearch(SearchSource source, SearchSettings settings, NoteFunction note);
    ~SiteSearch();
    SiteSearch(const SiteSearch&) = delete;
    SiteSearch& operator=(const SiteSearch&) = delete;

    // Opens the cached index or starts building one; returns at once. Ask
    // may be called before, and answers as while building.
    void Start();

    // Results `page` (from 1) for `query`, with snippets; while the index is
    // built, only how far it is. Call Start first.
    SearchAnswer Ask(std::string_view query, uint32_t page) const;

    // Every result for `query`, in rank order, without snippets.
    SearchAnswer AskAll(std::string_view query) const;

    // How many pages the index holds, and how many of them hold each word of
    // `query`; nothing while the index is not ready.
    QueryWordCounts CountWordsOf(std::string_view query) const;

    // The best `count` results for `query`, with their scores and without
    // snippets: a search across several archives ranks them together, each
    // word as rare as it is in all of them (`shared`: their CountWordsOf,
    // added), and asks for the snippets of those it shows (ShowHitOf).
    SearchAnswer AskRanked(std::string_view query, uint32_t count,
                           const QueryWordCounts* shared = nullptr) const;
    // Fills in the snippet and heading of `hit` (of AskRanked) for `query`,
    // reading as for one of the first hits of a page when `deep`
    // (kDeepHits).
    void ShowHitOf(std::string_view query, SearchHit& hit, bool deep) const;

    // TogetherWeight of the result `entry` for `query`: a search across
    // archives weighs the best of all theirs so (AskRanked leaves it out).
    double WeightByWordsTogether(std::string_view query, uint32_t entry) const;

    // Waits until the index is ready or has failed (the archive tool's wait).
    void WaitUntilSettled() const;

  private:
    // `rankTogether`: the first page's best are weighed by their words
    // together (RankByWordsTogether).
    SearchAnswer Find(std::string_view query, uint32_t page, uint32_t count, bool snippets,
                      bool rankTogether, const QueryWordCounts* shared = nullptr) const;
    void OpenOrBuild();
    void Finished(bool complete);
    void UseForQueries(Database database);
    // The first `limit` bytes of the entry's content into `content`, a
    // character cut through left out.
    struct PageStart {
        bool Read = false;  // the entry could be read
        bool Cut = false;   // it is longer than what was read
    };
    PageStart ReadPageStart(uint32_t entry, size_t limit, std::string& content) const;
    // What a result's rank is multiplied by, once its text is read: the
    // share of the query's words its page holds that one section holds
    // (WordsTogether), as (1 + in one section) / (1 + in the page); 1 when
    // it asks fewer than two words or the page holds none.
    double TogetherWeight(uint32_t entry, const std::vector<QueryWord>& words) const;
    // Weighs the first kTogetherRankDepth of `pages` so, and orders them anew
    // among themselves.
    void RankByWordsTogether(const std::vector<QueryWord>& words,
                             std::vector<RankedPage>& pages) const;
    // `deep`: for an identifier, the page is read past its first part for
    // the heading that names it.
    void ShowHit(uint32_t entry, const std::vector<QueryWord>& words, SearchHit& hit,
                 bool deep) const;

    const SearchSource source_;
    const SearchSettings settings_;
    const NoteFunction note_;

    mutable std::mutex lock_;  // guards the query database and the splitter
    mutable std::condition_variable settled_;
    std::atomic<IndexState> state_{IndexState::Building};
    std::atomic<bool> started_{false};
    Database query_;
    std::unique_ptr<WordSplitter> splitter_;
    RankingAids aids_;

    Database building_;         // the builder's, until it finishes
    std::string buildingPath_;  // its file; empty in memory
    std::string finalPath_;
    std::unique_ptr<IndexBuilder> builder_;
};
