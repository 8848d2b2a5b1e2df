#include "Search/SiteSearch.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <random>
#include <string_view>
#include <unordered_set>

#include "Platform/File.h"
#include "Platform/Paths.h"
#include "Platform/SafeFolder.h"
#include "Search/HitSection.h"
#include "Search/IndexCache.h"
#include "Search/PageText.h"
#include "Search/SearchIndex.h"
#include "Search/SiteTitle.h"
#include "Search/TextEncoding.h"
#include "Search/WordsTogether.h"
#include "Shared/AnsiText.h"

namespace {

// A name no other build, of this process or another, is using.
std::string BuildingSuffix() {
    std::random_device random;
    const uint64_t number = (uint64_t{random()} << 32) ^ random();
    char digits[20];
    const auto end = std::to_chars(digits, digits + sizeof digits, number, 16).ptr;
    return ".building-" + std::string(digits, end);
}

// Where the first of `words` that is plain ASCII stands in `text`, without
// regard to ASCII case (index words are folded), as it stands or by its stem;
// npos when none does. A quick look only: the snippet itself finds words as
// the index does.
size_t FirstAsciiHit(std::string_view text, const std::vector<QueryWord>& words) {
    size_t first = std::string_view::npos;
    const auto look = [&](std::string_view term) {
        if (!term.empty() && term[0] == kStemMark) term.remove_prefix(1);
        if (term.empty() || !std::all_of(term.begin(), term.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x80;
            })) {
            return;
        }
        const auto found = std::search(text.begin(), text.end(), term.begin(), term.end(),
                                       [](char a, char b) { return LowerAsciiChar(a) == b; });
        if (found != text.end()) {
            first = std::min(first, static_cast<size_t>(found - text.begin()));
        }
    };
    for (const QueryWord& word : words) {
        look(word.Word);
        for (const std::string& form : word.Forms) look(form);
    }
    return first;
}

// Whether a heading, quickly looked at, names every one of `words`.
bool NamesAll(const PageSection& section, const std::vector<QueryWord>& words) {
    return std::all_of(words.begin(), words.end(), [&](const QueryWord& word) {
        return FirstAsciiHit(section.Heading, {word}) != std::string_view::npos ||
               FirstAsciiHit(section.Anchor, {word}) != std::string_view::npos;
    });
}

// How deep each entry stands: the folders on its way that hold a page of
// their own. A folder that only wraps others (`lib/stdlib-4.2/doc/html/`)
// puts no page further from the site's top.
std::vector<uint16_t> PageFolderDepths(const std::vector<std::string>& names) {
    std::unordered_set<std::string_view> pageFolders;
    for (const std::string& name : names) {
        const size_t end = name.rfind('/');
        if (end != std::string::npos && IsSearchablePage(name)) {
            pageFolders.insert(std::string_view(name).substr(0, end));
        }
    }
    std::vector<uint16_t> depths;
    depths.reserve(names.size());
    for (const std::string& name : names) {
        uint16_t depth = 0;
        for (size_t end = name.find('/'); end != std::string::npos; end = name.find('/', end + 1)) {
            if (depth < UINT16_MAX && pageFolders.contains(std::string_view(name).substr(0, end))) {
                ++depth;
            }
        }
        depths.push_back(depth);
    }
    return depths;
}

}  // namespace

SiteSearch::SiteSearch(SearchSource source, SearchSettings settings, NoteFunction note)
    : source_(std::move(source)), settings_(std::move(settings)), note_(std::move(note)) {
    aids_.NameLengths.reserve(source_.Names.size());
    aids_.FileNames.reserve(source_.Names.size());
    for (const std::string& name : source_.Names) {
        aids_.NameLengths.push_back(static_cast<uint32_t>(name.size()));
        aids_.FileNames.emplace_back(FileName(name));
    }
    aids_.NameDepths = PageFolderDepths(source_.Names);
}

SiteSearch::~SiteSearch() {
    builder_.reset();
    // A build that did not finish leaves nothing behind.
    if (!buildingPath_.empty()) platform::DeleteFile(buildingPath_);
}

SearchSettings CachedSearchSettings(const std::string& archivePath, unsigned threads) {
    return {ArchiveIdentity(archivePath), SearchCacheFolder(), threads, archivePath};
}

void SiteSearch::Start() {
    OpenOrBuild();
    started_.store(true, std::memory_order_release);
}

void SiteSearch::OpenOrBuild() {
    const std::string& folder = settings_.CacheFolder;
    const bool cacheable = !folder.empty() && !settings_.Identity.empty();
    if (cacheable) {
        finalPath_ =
            platform::PathInFolder(folder, IndexFileName(settings_.Place, settings_.Identity));
        Database cached = OpenDatabase(finalPath_, SQLITE_OPEN_READONLY);
        if (cached && IsCompleteIndexOf(cached.get(), settings_.Identity)) {
            UseForQueries(std::move(cached));
            return;
        }
        const platform::FolderHandle opened = platform::OpenOrCreateFolder(folder);
        std::string reason = platform::LastErrorText();
        if (opened != platform::kInvalidFolder) {
            platform::CloseFolder(opened);
            // An index this program no longer reads goes as the new one is
            // built in its place.
            for (int format = 1; format < kIndexFormat; ++format) {
                platform::DeleteFile(platform::PathInFolder(
                    folder, EarlierIndexFileName(settings_.Identity, format)));
            }
            buildingPath_ = finalPath_ + BuildingSuffix();
            building_ = OpenDatabase(buildingPath_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            // Creating the file tells whether the folder can be written.
            if (building_ && !Execute(building_.get(), "CREATE TABLE probe(x); DROP TABLE probe")) {
                reason = sqlite3_errmsg(building_.get());
                building_.reset();
            }
            if (!building_) {
                platform::DeleteFile(buildingPath_);
                buildingPath_.clear();
            }
        }
        if (!building_) {
            note_("The search index is kept in memory: cannot write " + folder + ": " + reason);
        }
    }
    if (!building_) {
        building_ = OpenDatabase(":memory:",
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
    }
    if (!building_) {
        state_ = IndexState::Failed;
        return;
    }
    builder_ = std::make_unique<IndexBuilder>(source_, building_.get(), settings_.Identity,
                                              settings_.Threads,
                                              [this](bool complete) { Finished(complete); });
}

// On the builder's writer thread, its last act.
void SiteSearch::Finished(bool complete) {
    if (!complete) {
        building_.reset();
        if (!buildingPath_.empty()) platform::DeleteFile(buildingPath_);
        buildingPath_.clear();
        std::lock_guard guard(lock_);
        state_ = IndexState::Failed;
        settled_.notify_all();
        return;
    }
    if (buildingPath_.empty()) {
        UseForQueries(std::move(building_));
        return;
    }
    building_.reset();
    std::string path = buildingPath_;
    if (platform::ReplaceFile(buildingPath_, finalPath_)) {
        path = finalPath_;
        buildingPath_.clear();
        RemoveEarlierIndexes(settings_.CacheFolder, settings_.Place,
                             IndexFileName(settings_.Place, settings_.Identity));
    }
    // Not renamed: the building file serves this run and goes with it.
    UseForQueries(OpenDatabase(path, SQLITE_OPEN_READONLY));
}

void SiteSearch::UseForQueries(Database database) {
    // Nothing changes the index once it is complete: the connection keeps its
    // read lock rather than taking it, and checking the file, per statement.
    if (database) Execute(database.get(), "PRAGMA locking_mode=EXCLUSIVE");
    // Worked out once the index is there, not while the server starts.
    std::vector<std::string_view> pageFileNames;
    for (size_t entry = 0; entry < source_.Names.size() && database; ++entry) {
        if (IsSearchablePage(source_.Names[entry])) pageFileNames.push_back(aids_.FileNames[entry]);
    }
    std::vector<std::string> commonNameWords = CommonNameWords(pageFileNames);
    PageWeights weights;
    if (database) weights = PageWeightsOf(database.get(), source_.Names.size());
    std::lock_guard guard(lock_);
    if (database) splitter_ = std::make_unique<WordSplitter>(database.get());
    if (!database || !splitter_->Ready() || !PrepareConnection(database.get())) {
        state_ = IndexState::Failed;
    } else {
        aids_.Splitter = splitter_.get();
        aids_.TitleEnds = TitleEndsOf(database.get());
        aids_.CommonNameWords = std::move(commonNameWords);
        aids_.Weights = std::move(weights);
        query_ = std::move(database);
        state_ = IndexState::Ready;
    }
    settled_.notify_all();
}

void SiteSearch::WaitUntilSettled() const {
    std::unique_lock guard(lock_);
    settled_.wait(guard, [&] { return state_ != IndexState::Building; });
}

SearchAnswer SiteSearch::Ask(std::string_view query, uint32_t page) const {
    return Find(query, std::clamp(page, 1u, kMaxResultPage), kResultsPerPage, true, true);
}

SearchAnswer SiteSearch::AskAll(std::string_view query) const {
    return Find(query, 1, UINT32_MAX, false, true);
}

SearchAnswer SiteSearch::Find(std::string_view query, uint32_t page, uint32_t count, bool snippets,
                              bool rankTogether, const QueryWordCounts* shared) const {
    SearchAnswer answer;
    answer.Query = DropInvalidUtf8(query);
    answer.Page = page;
    // A library starts its archives' searches while it serves: until then
    // each is asked as one being built.
    if (!started_.load(std::memory_order_acquire)) return answer;
    answer.State = state_;
    if (builder_) {
        answer.Indexed = builder_->Indexed();
        answer.ToIndex = builder_->Total();
    }
    if (answer.State != IndexState::Ready) return answer;

    std::lock_guard guard(lock_);
    const std::vector<QueryWord> words = QueryWords(*splitter_, query);
    // The first page's best are weighed again by their text (RankByWordsTogether).
    rankTogether = rankTogether && page == 1;
    const uint32_t wanted = rankTogether ? std::max(count, kTogetherRankDepth) : count;
    IndexHits hits =
        FindPages(query_.get(), words, aids_, uint64_t{page - 1} * count, wanted, shared);
    if (hits.Failed) {
        answer.State = IndexState::Failed;
        return answer;
    }
    if (rankTogether) RankByWordsTogether(words, hits.Pages);
    if (hits.Pages.size() > count) hits.Pages.resize(count);
    answer.Total = hits.Total;
    for (const RankedPage& found : hits.Pages) {
        if (found.Entry >= source_.Names.size()) continue;
        SearchHit hit;
        hit.Path = source_.Names[found.Entry];
        hit.Title = found.Title.empty() ? hit.Path : found.Title;
        hit.Entry = found.Entry;
        hit.Score = found.Score;
        if (snippets) ShowHit(found.Entry, words, hit, answer.Hits.size() < kDeepHits);
        answer.Hits.push_back(std::move(hit));
    }
    return answer;
}

SearchAnswer SiteSearch::AskRanked(std::string_view query, uint32_t count,
                                   const QueryWordCounts* shared) const {
    // A search across archives weighs its own best by their words together
    // (WeightByWordsTogether), where they are ranked with the others'.
    return Find(query, 1, count, false, false, shared);
}

QueryWordCounts SiteSearch::CountWordsOf(std::string_view query) const {
    if (!started_.load(std::memory_order_acquire) || state_ != IndexState::Ready) return {};
    std::lock_guard guard(lock_);
    return CountWords(query_.get(), QueryWords(*splitter_, query));
}

void SiteSearch::ShowHitOf(std::string_view query, SearchHit& hit, bool deep) const {
    if (state_ != IndexState::Ready || hit.Entry >= source_.Names.size()) return;
    std::lock_guard guard(lock_);
    ShowHit(hit.Entry, QueryWords(*splitter_, query), hit, deep);
}

SiteSearch::PageStart SiteSearch::ReadPageStart(uint32_t entry, size_t limit,
                                                std::string& content) const {
    if (!source_.ReadContent(entry, limit, content)) return {};
    // A compressed entry's start may come out a little short of the limit:
    // what tells a cut is the entry's length.
    const bool cut = entry < source_.Sizes.size() ? content.size() < source_.Sizes[entry]
                                                  : content.size() == limit;
    // A cut through a character would make the page look like Latin-1: the
    // cut is moved before the last character.
    if (cut) {
        while (!content.empty() && (static_cast<unsigned char>(content.back()) & 0xC0) == 0x80) {
            content.pop_back();
        }
        if (!content.empty() && static_cast<unsigned char>(content.back()) >= 0xC0) {
            content.pop_back();
        }
    }
    return {true, cut};
}

double SiteSearch::WeightByWordsTogether(std::string_view query, uint32_t entry) const {
    if (state_ != IndexState::Ready) return 1.0;
    std::lock_guard guard(lock_);
    return TogetherWeight(entry, QueryWords(*splitter_, query));
}

double SiteSearch::TogetherWeight(uint32_t entry, const std::vector<QueryWord>& words) const {
    WordsTogether together(*splitter_, words);
    std::string content;
    if (together.Asked() < 2 || entry >= source_.Names.size() ||
        !ReadPageStart(entry, kSnippetContentLimit, content).Read) {
        return 1.0;
    }
    const PageText text =
        ExtractPageText(source_.Names[entry], content, kMaxPageTextBytes,
                        [&](std::string_view read, const std::vector<PageSection>& sections) {
                            return together.ReadEnded(read, sections);
                        });
    together.ReadAll(text.Text, text.Sections);
    if (together.InPage() == 0) return 1.0;
    return (1.0 + static_cast<double>(together.InOneSection())) /
           (1.0 + static_cast<double>(together.InPage()));
}

void SiteSearch::RankByWordsTogether(const std::vector<QueryWord>& words,
                                     std::vector<RankedPage>& pages) const {
    // Copies stay after every other page.
    size_t depth = 0;
    while (depth < pages.size() && depth < kTogetherRankDepth && !pages[depth].Copy) ++depth;
    for (size_t i = 0; i < depth; ++i) pages[i].Score *= TogetherWeight(pages[i].Entry, words);
    std::stable_sort(pages.begin(), pages.begin() + static_cast<std::ptrdiff_t>(depth),
                     [](const RankedPage& a, const RankedPage& b) { return a.Score > b.Score; });
}

void SiteSearch::ShowHit(uint32_t entry, const std::vector<QueryWord>& words, SearchHit& hit,
                         bool deep) const {
    PageText text;
    // Most pages hold a hit near their start: their first part is read. An
    // identifier's parts (`SDL_RenderCopy`: sdl) stand all over an API's
    // page, and the heading that names it whole may stand far down, as may
    // the definition of a name asked alone (`caplog` on a reference page):
    // for those, the rest is read when the parse did not come to an end in
    // the first.
    const bool identifier =
        deep && std::any_of(words.begin(), words.end(), [](const QueryWord& word) {
            return !word.Whole.empty() || !word.Defined.empty();
        });
    // A page the index says defines a name asked alone is read on to the
    // heading that defines it, however far down.
    const std::string_view asked = identifier && !words.back().Defined.empty() &&
                                           PageDefines(query_.get(), entry, words.back().Defined)
                                       ? std::string_view(words.back().Defined)
                                       : std::string_view();
    const size_t contentLimit = asked.empty() ? kSnippetContentLimit : kDefinitionContentLimit;
    const size_t textLimit = identifier ? contentLimit : kSnippetTextLimit;
    for (const size_t limit : {kSnippetFirstContent, contentLimit}) {
        if (limit > kSnippetFirstContent && !identifier) break;
        std::string content;
        const PageStart read = ReadPageStart(entry, limit, content);
        if (!read.Read) return;
        const bool cut = read.Cut;
        // The parse stops once the text has a hit with a snippet's length
        // after it, and for a query of several words (whose heading may stand
        // further down), a heading that names them all, or one more part of
        // the page read after the hit, has been seen; for an identifier, only
        // once a heading names it whole (or at the limit).
        size_t partsAfterHit = words.size() > 1 ? 0 : 1;
        size_t sectionsLooked = 0;
        bool ended = false;
        const auto enough = [&](std::string_view text, const std::vector<PageSection>& sections) {
            if (identifier) {
                for (; sectionsLooked < sections.size() && !ended; ++sectionsLooked) {
                    const SectionNaming naming =
                        NamingOf(*splitter_, sections[sectionsLooked], words);
                    ended = naming.Words == words.size() && naming.Whole &&
                            (asked.empty() ||
                             DefinesAsked(*splitter_, sections[sectionsLooked], asked));
                }
                return ended;
            }
            const size_t hit = FirstAsciiHit(text, words);
            if (hit == std::string_view::npos || text.size() < hit + kSnippetBytes) return false;
            ended = partsAfterHit++ > 0 ||
                    std::any_of(sections.begin(), sections.end(), [&](const PageSection& section) {
                        return NamesAll(section, words);
                    });
            return ended;
        };
        text = ExtractPageText(source_.Names[entry], content, textLimit, enough);
        if (ended || !cut || text.Text.size() >= textLimit) break;
    }
    const size_t section = SectionOfHit(*splitter_, text, words);
    size_t start = 0;
    if (section != kNoSection) {
        hit.Heading = text.Sections[section].Heading;
        hit.Anchor = text.Sections[section].Anchor;
        start = std::min(text.Sections[section].Start, text.Text.size());
    }
    hit.Words = MakeSnippet(*splitter_, std::string_view(text.Text).substr(start), words);
}
