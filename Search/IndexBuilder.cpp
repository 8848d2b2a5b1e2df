#include "Search/IndexBuilder.h"

#include <algorithm>
#include <cstdint>

#include "Search/PageLinks.h"
#include "Search/SearchIndex.h"

IndexBuilder::IndexBuilder(const SearchSource& source, sqlite3* database, std::string identity,
                           unsigned threads, FinishedFunction finished,
                           const WorkerGroup::StartFault& fault)
    : source_(source),
      database_(database),
      identity_(std::move(identity)),
      finished_(std::move(finished)),
      threads_(std::max(1u, threads) + 1, std::max(1u, threads) + 1, fault) {
    for (uint32_t entry = 0; entry < source_.Names.size(); ++entry) {
        if (!IsSearchablePage(source_.Names[entry])) continue;
        pages_.push_back(entry);
        pageByName_.emplace(source_.Names[entry], entry);
    }
    PreparePageTextExtraction();
    if (threads_.Workers() == 0) {
        finished_(false);
        return;
    }
    // The writer first, so that it has a thread whatever the others do; an
    // extractor is queued for each other thread that runs, with a splitter
    // of its own, made here before any thread uses the connection.
    const unsigned extractors = threads_.Workers() - 1;
    for (unsigned i = 0; i < extractors; ++i) {
        splitters_.push_back(std::make_unique<WordSplitter>(database_));
    }
    extractorsRunning_ = extractors;
    threads_.Submit([this](unsigned) { Write(); });
    for (unsigned i = 0; i < extractors; ++i) {
        threads_.Submit([this, i](unsigned) { Extract(*splitters_[i]); });
    }
}

IndexBuilder::~IndexBuilder() {
    StopAll();
    threads_.Stop();
}

void IndexBuilder::StopAll() {
    std::lock_guard guard(queueLock_);
    stopping_ = true;
    queueChanged_.notify_all();
}

IndexBuilder::SiteMarks IndexBuilder::ReadSiteMarks() const {
    // A page bears them in its head: the start of each is enough.
    constexpr size_t kSampledPages = 16;
    constexpr size_t kSampledBytes = size_t{64} * 1024;
    size_t read = 0;
    size_t noIndex = 0;
    size_t otherLanguage = 0;
    std::string content;
    const size_t sampled = std::min(kSampledPages, pages_.size());
    for (size_t i = 0; i < sampled && !stopping_; ++i) {
        const uint32_t entry = pages_[i * pages_.size() / sampled];
        if (!source_.ReadContent(entry, kSampledBytes, content)) continue;
        ++read;
        const PageText text = ExtractPageText(source_.Names[entry], content);
        noIndex += text.AsksNotToBeIndexed ? 1 : 0;
        otherLanguage += text.InOtherLanguage ? 1 : 0;
    }
    return {noIndex * 2 > read, otherLanguage * 2 > read};
}

void IndexBuilder::Extract(const WordSplitter& splitter) {
    std::call_once(siteMarksRead_, [this] { siteMarks_ = ReadSiteMarks(); });
    std::string content;
    for (;;) {
        const size_t next = nextPage_.fetch_add(1);
        if (next >= pages_.size() || stopping_) break;
        Extracted extracted;
        extracted.Entry = pages_[next];
        if (source_.Sizes[extracted.Entry] <= kMaxIndexedEntryBytes &&
            source_.ReadContent(extracted.Entry, SIZE_MAX, content)) {
            extracted.Readable = true;
            PageText text = ExtractPageText(source_.Names[extracted.Entry], content);
            text.Secondary = text.Secondary ||
                             (text.AsksNotToBeIndexed && !siteMarks_.MostAskNoIndex) ||
                             (text.InOtherLanguage && !siteMarks_.MostInOtherLanguage);
            extracted.Page = IndexedPageOf(splitter, text);
            extracted.Page.LinksTo = LinkedPages(extracted.Entry, text.Links);
        }
        // A large page's buffer is not kept for the pages after it.
        if (content.capacity() > kMaxPageTextBytes) content = {};
        Push(std::move(extracted));
    }
    std::lock_guard guard(queueLock_);
    --extractorsRunning_;
    queueChanged_.notify_all();
}

std::vector<uint32_t> IndexBuilder::LinkedPages(uint32_t entry,
                                                const std::vector<std::string>& links) const {
    std::vector<uint32_t> linked;
    for (const std::string& link : links) {
        const std::string name = LinkedName(source_.Names[entry], link);
        auto page = pageByName_.find(name);
        // A folder named without its "/" (`api-guide/views#x`): the server
        // sends the browser on to its index.html.
        if (page == pageByName_.end() && !name.empty())
            page = pageByName_.find(name + "/index.html");
        if (page != pageByName_.end() && page->second != entry) linked.push_back(page->second);
    }
    std::sort(linked.begin(), linked.end());
    linked.erase(std::unique(linked.begin(), linked.end()), linked.end());
    return linked;
}

void IndexBuilder::Push(Extracted extracted) {
    const size_t bytes = extracted.Page.Bytes();
    std::unique_lock guard(queueLock_);
    queueChanged_.wait(guard, [&] {
        return stopping_ || queue_.empty() || queuedBytes_ + bytes <= kExtractedQueueBytes;
    });
    if (stopping_) return;
    queuedBytes_ += bytes;
    queue_.push_back(std::move(extracted));
    queueChanged_.notify_all();
}

bool IndexBuilder::Pop(Extracted& extracted) {
    std::unique_lock guard(queueLock_);
    queueChanged_.wait(guard,
                       [&] { return stopping_ || !queue_.empty() || extractorsRunning_ == 0; });
    if (stopping_ || queue_.empty()) return false;
    extracted = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= extracted.Page.Bytes();
    queueChanged_.notify_all();
    return true;
}

void IndexBuilder::Write() {
    bool complete = false;
    try {
        complete = WriteAll();
    } catch (...) {
        // Out of memory: the index stays incomplete, and is never used.
    }
    // The extractors must not wait for a writer that is gone.
    if (!complete) StopAll();
    finished_(complete);
}

bool IndexBuilder::WriteAll() {
    const bool splitting = std::all_of(splitters_.begin(), splitters_.end(),
                                       [](const auto& splitter) { return splitter->Ready(); });
    if (!splitting || !PrepareConnection(database_) || !CreateIndex(database_)) return false;
    PageInserter inserter(database_);
    if (!inserter.Ready() || !Execute(database_, "BEGIN")) return false;
    uint32_t inTransaction = 0;
    uint32_t written = 0;
    std::vector<uint32_t> linkedFrom(source_.Names.size(), 0);
    Extracted extracted;
    while (Pop(extracted)) {
        if (extracted.Readable) {
            if (!inserter.Add(extracted.Entry, extracted.Page)) return false;
            ++written;
            for (const uint32_t linked : extracted.Page.LinksTo) ++linkedFrom[linked];
        }
        indexed_.fetch_add(1, std::memory_order_relaxed);
        if (++inTransaction == kPagesPerTransaction) {
            if (!Execute(database_, "COMMIT; BEGIN")) return false;
            inTransaction = 0;
        }
    }
    if (stopping_ || Indexed() != Total()) return false;
    return Execute(database_, "COMMIT") && CompleteIndex(database_, identity_, written, linkedFrom);
}
