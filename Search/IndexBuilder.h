// Builds an index of a source's pages on threads of its own: several read and
// extract pages, one writes them to the database.
//
// Thread safety: Indexed() and Total() may be read from any thread; the
// database belongs to the builder until `finished` has been called (on the
// writer thread, as its last act; or before the constructor returns when no
// writer could be started).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Search/SearchIndex.h"
#include "Search/SearchSource.h"
#include "Search/Sqlite.h"
#include "Search/WordSplitter.h"
#include "Shared/WorkerGroup.h"

// Larger entries are not indexed: a page that size is no page a reader reads,
// and each extraction thread holds one entry whole.
inline constexpr uint32_t kMaxIndexedEntryBytes = uint32_t{64} * 1024 * 1024;

// Extracted terms waiting for the writer, at most (one page more when the
// queue is empty): bounds the build's memory whatever the writer's pace.
inline constexpr size_t kExtractedQueueBytes = size_t{16} * 1024 * 1024;

// Pages written per transaction.
inline constexpr uint32_t kPagesPerTransaction = 2000;

class IndexBuilder {
  public:
    // Called once, on the writer thread: whether the index is complete.
    using FinishedFunction = std::function<void(bool complete)>;

    // Starts building the searchable pages of `source` into `database`, an
    // empty database, for `identity`, with `threads` extraction threads and
    // a writer (fewer extraction threads when the system refuses; none, and
    // the index is incomplete, when it refuses all but one).
    // `source` and `database` must outlive the builder.
    IndexBuilder(const SearchSource& source, sqlite3* database, std::string identity,
                 unsigned threads, FinishedFunction finished,
                 const WorkerGroup::StartFault& fault = {});
    // Stops the build if it still runs and waits for its threads.
    ~IndexBuilder();
    IndexBuilder(const IndexBuilder&) = delete;
    IndexBuilder& operator=(const IndexBuilder&) = delete;

    uint32_t Indexed() const { return indexed_.load(std::memory_order_relaxed); }
    uint32_t Total() const { return static_cast<uint32_t>(pages_.size()); }

  private:
    struct Extracted {
        uint32_t Entry = 0;
        bool Readable = false;
        IndexedPage Page;
    };

    void StopAll();
    // Which marks of a stand-in most of the site's pages bear, read from a
    // few pages spread over it (PageText::AsksNotToBeIndexed,
    // PageText::InOtherLanguage): marks of the whole site, not of a page.
    struct SiteMarks {
        bool MostAskNoIndex = false;
        bool MostInOtherLanguage = false;
    };
    SiteMarks ReadSiteMarks() const;
    void Extract(const WordSplitter& splitter);
    // The pages other than `entry` that its links go to, each once.
    std::vector<uint32_t> LinkedPages(uint32_t entry, const std::vector<std::string>& links) const;
    void Write();
    bool WriteAll();
    void Push(Extracted extracted);
    bool Pop(Extracted& extracted);

    const SearchSource& source_;
    sqlite3* const database_;
    const std::string identity_;
    const FinishedFunction finished_;
    std::vector<uint32_t> pages_;                                // the entries to index
    std::unordered_map<std::string_view, uint32_t> pageByName_;  // of pages_; read by any thread

    // Read once by the first extractor before any page is extracted.
    std::once_flag siteMarksRead_;
    SiteMarks siteMarks_;

    std::atomic<size_t> nextPage_{0};
    std::atomic<uint32_t> indexed_{0};
    std::atomic<bool> stopping_{false};

    std::mutex queueLock_;
    std::condition_variable queueChanged_;
    std::deque<Extracted> queue_;
    size_t queuedBytes_ = 0;
    unsigned extractorsRunning_ = 0;

    std::vector<std::unique_ptr<WordSplitter>> splitters_;  // one per extractor

    // The writer and the extractors. Last, so that its threads are gone
    // before what they use.
    WorkerGroup threads_;
};
