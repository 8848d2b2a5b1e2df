#include "Search/SearchIndex.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr const char* kRankSql =
    "SELECT rowid, pelorine_rank(words) FROM words WHERE words MATCH ?";

// A word in a page's title weighs this many times one in its text: a page
// named after what is asked for is the one a reader looks for.
constexpr double kTitleWeight = 4.0;

// How rare each word of the query is among the pages (BM25's inverse document
// frequency), worked out once per query.
struct Rarities {
    std::vector<double> ofPhrase;
};

int CountRow(const Fts5ExtensionApi* /*api*/, Fts5Context* /*fts*/, void* count) {
    ++*static_cast<int64_t*>(count);
    return SQLITE_OK;
}

Rarities* RaritiesOf(const Fts5ExtensionApi* api, Fts5Context* fts) {
    if (auto* known = static_cast<Rarities*>(api->xGetAuxdata(fts, 0))) return known;
    sqlite3_int64 rows = 0;
    if (api->xRowCount(fts, &rows) != SQLITE_OK) return nullptr;
    auto* rarities = new Rarities;
    const int phrases = api->xPhraseCount(fts);
    for (int phrase = 0; phrase < phrases; ++phrase) {
        int64_t holding = 0;
        if (api->xQueryPhrase(fts, phrase, &holding, CountRow) != SQLITE_OK) holding = rows;
        const double rarity = std::log((static_cast<double>(rows - holding) + 0.5) /
                                       (static_cast<double>(holding) + 0.5));
        rarities->ofPhrase.push_back(std::max(rarity, 1e-6));
    }
    if (api->xSetAuxdata(fts, rarities, [](void* data) { delete static_cast<Rarities*>(data); }) !=
        SQLITE_OK) {
        return nullptr;  // SQLite has freed it
    }
    return rarities;
}

// The rank of the current row, higher first: the rarity of each query word
// the page holds, weighed by where it stands. The index keeps which columns
// hold a word, not how often: long pages are not favoured for their length,
// and no page size has to be read per row.
void Rank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int /*count*/,
          sqlite3_value** /*values*/) {
    const Rarities* rarities = RaritiesOf(api, fts);
    if (rarities == nullptr) {
        sqlite3_result_error(context, "cannot rank", -1);
        return;
    }
    double score = 0;
    for (size_t phrase = 0; phrase < rarities->ofPhrase.size(); ++phrase) {
        Fts5PhraseIter columns{};
        int column = -1;
        if (api->xPhraseFirstColumn(fts, static_cast<int>(phrase), &columns, &column) !=
            SQLITE_OK) {
            continue;
        }
        for (; column >= 0; api->xPhraseNextColumn(fts, &columns, &column)) {
            score += rarities->ofPhrase[phrase] * (column == 0 ? kTitleWeight : 1.0);
        }
    }
    sqlite3_result_double(context, score);
}

// An FTS5 string: every term quoted, so no byte of it is query syntax.
std::string MatchExpression(const std::vector<std::string>& terms) {
    std::string expression;
    for (const std::string& term : terms) {
        if (!expression.empty()) expression += ' ';
        expression += '"';
        for (const char c : term) {
            if (c == '"') expression += '"';
            expression += c;
        }
        expression += '"';
    }
    return expression;
}

}  // namespace

bool AddRanking(sqlite3* database) {
    fts5_api* fts5 = Fts5Of(database);
    return fts5 != nullptr &&
           fts5->xCreateFunction(fts5, "pelorine_rank", nullptr, Rank, nullptr) == SQLITE_OK;
}

bool CreateIndex(sqlite3* database) {
    return Execute(database,
                   "PRAGMA journal_mode=OFF;"
                   "PRAGMA synchronous=OFF;"
                   "PRAGMA locking_mode=EXCLUSIVE;"
                   "PRAGMA cache_size=-16384;"
                   "CREATE TABLE about(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
                   "CREATE TABLE pages(id INTEGER PRIMARY KEY, entry INTEGER NOT NULL,"
                   " title TEXT NOT NULL);"
                   "CREATE VIRTUAL TABLE words USING fts5(title, text, content='',"
                   " detail=column, tokenize='unicode61 remove_diacritics 2');");
}

PageInserter::PageInserter(sqlite3* database)
    : pages_(Prepare(database, "INSERT INTO pages(id, entry, title) VALUES(?, ?, ?)")),
      words_(Prepare(database, "INSERT INTO words(rowid, title, text) VALUES(?, ?, ?)")) {}

bool PageInserter::Add(uint32_t entry, const PageText& page) {
    // The entry's number is the row's: one row per entry at most.
    sqlite3_stmt* pages = pages_.get();
    sqlite3_reset(pages);
    sqlite3_bind_int64(pages, 1, entry);
    sqlite3_bind_int64(pages, 2, entry);
    BindText(pages, 3, page.Title);
    if (sqlite3_step(pages) != SQLITE_DONE) return false;
    sqlite3_stmt* words = words_.get();
    sqlite3_reset(words);
    sqlite3_bind_int64(words, 1, entry);
    BindText(words, 2, page.Title);
    BindText(words, 3, page.Text);
    const bool added = sqlite3_step(words) == SQLITE_DONE;
    sqlite3_clear_bindings(words);
    sqlite3_clear_bindings(pages);
    return added;
}

bool CompleteIndex(sqlite3* database, std::string_view identity, uint32_t pageCount) {
    if (!Execute(database, "INSERT INTO words(words) VALUES('optimize')")) return false;
    Statement about = Prepare(database,
                              "INSERT INTO about(key, value) VALUES('format', ?), "
                              "('identity', ?), ('pages', ?)");
    if (!about) return false;
    sqlite3_bind_int(about.get(), 1, kIndexFormat);
    BindText(about.get(), 2, identity);
    sqlite3_bind_int64(about.get(), 3, pageCount);
    return sqlite3_step(about.get()) == SQLITE_DONE;
}

bool IsCompleteIndexOf(sqlite3* database, std::string_view identity) {
    Statement about = Prepare(database, "SELECT key, value FROM about");
    if (!about) return false;
    bool formatMatches = false;
    bool identityMatches = false;
    while (sqlite3_step(about.get()) == SQLITE_ROW) {
        const std::string_view key = ColumnText(about.get(), 0);
        if (key == "format") formatMatches = sqlite3_column_int(about.get(), 1) == kIndexFormat;
        if (key == "identity") identityMatches = ColumnText(about.get(), 1) == identity;
    }
    return formatMatches && identityMatches;
}

IndexHits FindPages(sqlite3* database, const std::vector<std::string>& terms,
                    const std::vector<uint32_t>& nameLengths, uint64_t offset, uint32_t count) {
    IndexHits hits;
    if (terms.empty()) return hits;
    Statement rank = Prepare(database, kRankSql);
    if (!rank) {
        hits.Failed = true;
        return hits;
    }
    const std::string expression = MatchExpression(terms);
    BindText(rank.get(), 1, expression);

    // Every match is ranked and counted in one pass; only the best
    // offset + count are kept, so memory stays bounded by the page asked for.
    struct Scored {
        double Score;  // higher is better
        uint32_t Entry;
    };
    // Of pages that rank alike, the one with the shorter name: nearer the
    // site's top, and more likely the overview.
    const auto shorter = [&](uint32_t a, uint32_t b) {
        const size_t aLength = a < nameLengths.size() ? nameLengths[a] : SIZE_MAX;
        const size_t bLength = b < nameLengths.size() ? nameLengths[b] : SIZE_MAX;
        return aLength < bLength || (aLength == bLength && a < b);
    };
    const auto better = [&](const Scored& a, const Scored& b) {
        return a.Score > b.Score || (a.Score == b.Score && shorter(a.Entry, b.Entry));
    };
    const uint64_t keep = offset + count;
    std::vector<Scored> best;  // a max-heap on `better`: the worst kept on top
    int step;
    while ((step = sqlite3_step(rank.get())) == SQLITE_ROW) {
        ++hits.Total;
        const Scored scored{sqlite3_column_double(rank.get(), 1),
                            static_cast<uint32_t>(sqlite3_column_int64(rank.get(), 0))};
        if (best.size() < keep) {
            best.push_back(scored);
            std::push_heap(best.begin(), best.end(), better);
        } else if (keep > 0 && better(scored, best.front())) {
            std::pop_heap(best.begin(), best.end(), better);
            best.back() = scored;
            std::push_heap(best.begin(), best.end(), better);
        }
    }
    if (step != SQLITE_DONE) {
        hits = {};
        hits.Failed = true;
        return hits;
    }
    std::sort_heap(best.begin(), best.end(), better);
    if (offset >= best.size()) return hits;

    Statement title = Prepare(database, "SELECT title FROM pages WHERE id = ?");
    if (!title) {
        hits.Failed = true;
        return hits;
    }
    for (size_t i = offset; i < best.size(); ++i) {
        sqlite3_reset(title.get());
        sqlite3_bind_int64(title.get(), 1, best[i].Entry);
        RankedPage page;
        page.Entry = best[i].Entry;
        page.Score = best[i].Score;
        if (sqlite3_step(title.get()) == SQLITE_ROW) page.Title = ColumnText(title.get(), 0);
        hits.Pages.push_back(std::move(page));
    }
    return hits;
}
