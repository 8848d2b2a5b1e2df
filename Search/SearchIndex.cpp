#include "Search/SearchIndex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "Search/NamedVersion.h"
#include "Search/SiteTitle.h"

namespace {

constexpr const char* kRankSql =
    "SELECT rowid, pelorine_rank(words, ?2) FROM words WHERE words MATCH ?1";

// What a word weighs in each field (Field's order): a page named after what
// is asked for, or with a section or definition of it, is the one a reader
// looks for; one that only mentions it is not.
constexpr std::array<double, kFieldCount> kFieldWeights = {6.0, 3.0, 3.0, 1.5, 2.0, 2.0, 2.0, 1.0};

// A word found only by its stem weighs this much of one found as it stands.
constexpr double kStemWeight = 0.6;

// An identifier found whole, beside its parts, weighs this much more.
constexpr double kWholeWeight = 0.5;

// A small word a question is put in (QueryWord::Optional: "how do I ...")
// weighs this much of a word it asks about: a page that holds it answers the
// question no better, and long pages hold them all.
constexpr double kOptionalWeight = 0.25;

// Two words of the query that stand together in a title or heading weigh
// this much more.
constexpr double kPairWeight = 0.25;

// A heading of the page that is the whole query, word for word, weighs this
// share of all the query's words more: the page has a section about just
// that ("Reading and Writing Files").
constexpr double kHeadingWeight = 0.5;

// A page that defines the name the query is (QueryWord::Defined) weighs
// this share of all the query's words more: its reference, above the pages
// that use it and those named after a part of it (`list_to_binary` on the
// page of the module that defines it, before the `binary` module's page).
constexpr double kDefinedWeight = 1.0;

// Release notes (IsReleaseNotes), a site's index of names and its licence
// (IsIndexOrLicence) rank at this much of what they hold: a short note whose
// heading is the query's words ("Fixed regression converting to NumPy
// arrays"), or the index that lists the name asked, is seldom the page a
// reader looks for, unless the query asks about releases (kReleaseWords, or
// a version's digits) or about the index or licence (kAsideWords).
constexpr double kAsidePageWeight = 0.5;
constexpr std::string_view kReleaseWords[] = {"release",   "releases", "released", "note",
                                              "notes",     "change",   "changes",  "changed",
                                              "changelog", "new",      "history",  "version",
                                              "versions",  "whatsnew", "news",     "deprecated"};
// Of kReleaseWords, those a query says as often of what it asks to do ("how
// do I change the type of a column", "create a new branch", "set the
// version of my package"): they ask about releases only beside a version's
// digits, or "new" after "what" ("what's new").
constexpr std::string_view kEverydayReleaseWords[] = {"change", "new", "version", "versions"};
// Release notes rank at this much of what they hold for a query that asks
// for them alone (AsksForReleaseNotes): "changelog" means the page of them,
// not the pages that mention a change.
constexpr double kReleaseNotesAskedWeight = 2.0;
constexpr std::string_view kAsideWords[] = {"index",   "search",  "copying", "copyright",
                                            "license", "licence", "gpl"};

// A page that is all definitions (PageWeights::ReferenceShares) ranks 1 + this times
// lower for a query put in words rather than as a name: "how do I use
// strands" asks for the guide to them before the class's reference, which
// holds the words as often.
constexpr double kReferenceWeight = 0.5;

// A page whose summary holds every word of a query of several ranks this
// share higher: it is the page about what they say ("Solve an initial value
// problem for a system of ODEs."); a page that only lists it, among others it
// sums up in the same words, holds them elsewhere. One word in a summary says
// less than a name: not for one.
constexpr double kSummaryWeight = 0.15;

// A word's weight over its fields levels off (BM25's saturation, here over
// the fields rather than repetitions): standing in the title and the text
// weighs nearly as much as standing everywhere.
constexpr double kSaturation = 3.0;
double Saturated(double weight) {
    return weight * (kSaturation + 1) / (weight + kSaturation);
}

// The shortest word a common name word is joined to (JoinsAskedWord).
constexpr size_t kMinJoinedWord = 4;

// A query that finds fewer pages than this holding all its words finds
// those that hold some of them too, after them.
constexpr uint64_t kFewPages = 10;

// A page whose title names some of the words asked for but that lacks one of
// them weighs this much of what it holds: it may say the same in other words.
constexpr double kNamedWithoutAllWeight = 0.8;
// Where few pages hold every word, one that lacks one of them, named after
// none, weighs this much of what it holds: the few may hold them all only in
// passing (a long page, a changelog that "turns on autocommit"), while it
// says much of the rest.
constexpr double kPartialWeight = 0.7;

// The fewest and the most words asked for (not QueryWord::Optional) of a
// query whose pages that lack one of them are found beside the many that
// hold them all: of two, that is any page with one; of many, the
// expression grows with their square.
constexpr std::ptrdiff_t kMinAllButOne = 3;
constexpr std::ptrdiff_t kMaxAllButOne = 6;
// Nor where more pages than this are found already: among that many, one
// that lacks a word seldom ranks high, and of common words the pages that
// lack one are most of the site, long to weigh (`the a of to in`).
constexpr uint64_t kAllButOneMostFound = 200;

// Pages weighed again by their titles (FindPages), at least.
constexpr uint64_t kTitleRankDepth = 100;

// A page whose name (PageName) is what the query asks, word for word, ranks
// this share higher; one that names part of it, part of that.
constexpr double kNameWeight = 1.0;

// The verbs C names join to what they get, set or test (`getline`,
// `setlocale`, `isalpha`, `tolower`).
constexpr std::string_view kJoinedVerbs[] = {"get", "set", "is", "has", "to"};

// Whether `word` of a name is one of the site's common name words, or a verb
// C names start with, joined to one the query asks for (`gitignore`: ignore,
// where most names start with "git"; `getline`: line).
bool JoinsAskedWord(const WordSplitter& splitter, const WordSplitter::Word& word,
                    const QueryWord& asked, const std::vector<std::string>& commonWords) {
    if (!CamelParts(word.Original).empty() || word.Original.size() != word.Folded.size()) {
        return false;
    }
    const auto joinsAfter = [&](std::string_view start) {
        if (!word.Folded.starts_with(start) || word.Folded.size() < start.size() + kMinJoinedWord) {
            return false;
        }
        bool joins = false;
        splitter.Split(word.Original.substr(start.size()), [&](const WordSplitter::Word& rest) {
            joins = rest.Folded.size() + start.size() == word.Folded.size() && Finds(asked, rest);
            return false;
        });
        return joins;
    };
    return std::any_of(std::begin(kJoinedVerbs), std::end(kJoinedVerbs), joinsAfter) ||
           std::any_of(commonWords.begin(), commonWords.end(), joinsAfter);
}

// Marks the query's words [first, last) as held by a word of a name.
void HoldWords(std::vector<bool>& held, size_t first, size_t last) {
    std::fill(held.begin() + static_cast<ptrdiff_t>(first),
              held.begin() + static_cast<ptrdiff_t>(last), true);
}

// Whether `word` of a name is the initials of two or more words in a row of
// the query (`kde`: kernel density estimation, `re`: regular expressions),
// or the first of them whole and the initials of the rest (`esm`: es
// modules): sites name a function or module after what it does, in short.
// Those words are then held.
bool NamesInitials(std::string_view word, const std::vector<QueryWord>& words,
                   std::vector<bool>& held) {
    // Words of two letters or more ("a" is no part of one), none a part of
    // an identifier.
    const auto counts = [&](size_t at) {
        return words[at].Word.size() >= 2 && words[at].Whole.empty();
    };
    for (size_t first = 0; first + 1 < words.size(); ++first) {
        if (!counts(first)) continue;
        for (const bool whole : {false, true}) {
            size_t length = whole ? words[first].Word.size() : 1;
            if (length >= word.size() || !word.starts_with(words[first].Word.substr(0, length))) {
                continue;
            }
            size_t last = first + 1;
            while (last < words.size() && length < word.size() && counts(last) &&
                   words[last].Word[0] == word[length]) {
                ++length;
                ++last;
            }
            if (length == word.size() && last - first >= 2) {
                HoldWords(held, first, last);
                return true;
            }
        }
    }
    return false;
}

// Whether `word` of a name is two or more words in a row of the query written
// as one (`rotatelogs`: rotate logs, `textwrap`: text wrap), as command and
// module names are. Those words are then held.
bool NamesJoinedWords(std::string_view word, const std::vector<QueryWord>& words,
                      std::vector<bool>& held) {
    for (size_t first = 0; first + 1 < words.size(); ++first) {
        size_t length = 0;
        size_t last = first;
        while (last < words.size() && !words[last].Word.empty() &&
               word.substr(length).starts_with(words[last].Word)) {
            length += words[last].Word.size();
            ++last;
            if (length == word.size() && last - first >= 2) {
                HoldWords(held, first, last);
                return true;
            }
        }
    }
    return false;
}

// Whether `word` of a name is what does what `asked` says: the word with
// "r" or "er" (`parser`: parse, `builder`: build, `timer`: time).
bool NamesDoer(std::string_view word, const QueryWord& asked) {
    constexpr size_t kMinDoing = 3;
    const std::string_view doing = asked.Word;
    if (asked.Optional || doing.size() < kMinDoing || !word.starts_with(doing)) return false;
    const std::string_view end = word.substr(doing.size());
    return end == "er" || (end == "r" && doing.back() == 'e');
}

// Whether `word` is the query's word in another form of the same stem that
// says the same ("compiling" for "compile", "indexes" for "index"), not a
// word made from it ("accessible" for "accessibility", "iterator" for
// "iteration"): neither goes more than a short ending beyond the stem.
// Of a word that Finds finds.
bool NearForm(const QueryWord& asked, const WordSplitter::Word& word) {
    constexpr size_t kShortEnding = 3;
    return asked.Word.size() <= word.Stem.size() + kShortEnding &&
           word.Folded.size() <= word.Stem.size() + kShortEnding;
}

// A name's match is divided by 1 + this x the modules it stands in.
constexpr double kModuleWeight = 0.1;

// The shortest name that stands for a longer query word it starts
// (NameMatch): APIs shorten to three letters (`inv`, `exe`, `str`).
constexpr size_t kMinShortName = 3;

// How many words a question opens with before the first it asks about
// ("how do I" of "how do I read a file"); none for a query that is no
// question ("using threads", where "using" may name a page).
size_t QuestionOpening(const std::vector<QueryWord>& words) {
    constexpr std::string_view kQuestionWords[] = {"how",   "what",  "why", "when",
                                                   "where", "which", "who"};
    if (words.empty() || std::find(std::begin(kQuestionWords), std::end(kQuestionWords),
                                   words.front().Word) == std::end(kQuestionWords)) {
        return 0;
    }
    return static_cast<size_t>(std::find_if(words.begin(), words.end(),
                                            [](const QueryWord& word) { return !word.Optional; }) -
                               words.begin());
}

// How nearly the page's name is the query: the share of the name's words the
// query names, times the share of the query's words the name holds. A
// title's name that writes query words as one names them; a file name joins
// words as a matter of course ("typehints" for "Objects for Type Hinting").
enum class NameSource { Title, File };
double NameMatch(const WordSplitter& splitter, std::string_view name, NameSource source,
                 const std::vector<QueryWord>& words, const std::vector<std::string>& commonWords) {
    // A word of the name that the query asks for, as a word or as an
    // identifier it writes in parts (`t-test`: "ttest").
    const auto asks = [&](const WordSplitter::Word& word) {
        return std::any_of(words.begin(), words.end(), [&](const QueryWord& asked) {
            return Finds(asked, word) || (!asked.Whole.empty() && asked.Whole == word.Folded);
        });
    };
    // The modules a dotted name stands in ("scipy.stats.ttest_ind",
    // "fn.spawn") are no part of it unless the query names them.
    size_t modules = 0;
    while (name.find(' ') == std::string_view::npos) {
        const size_t end = std::min(name.find('.'), name.find("::"));
        if (end == std::string_view::npos) break;
        bool named = false;
        splitter.Split(name.substr(0, end), [&](const WordSplitter::Word& word) {
            named = asks(word);
            return !named;
        });
        if (named) break;
        name.remove_prefix(end + (name[end] == ':' ? 2 : 1));
        ++modules;
    }
    size_t all = 0;
    double named = 0;
    size_t nameWords = 0;
    splitter.Split(name, [&](const WordSplitter::Word& /*word*/) { return ++nameWords < 2; });
    std::vector<bool> held(words.size(), false);
    // The small words a question opens with ("how do I") ask nothing of a
    // name, not even of one that opens the same way ("How do I …", a page of
    // answers to many questions): a word of the name that only they find is
    // no part of it.
    const size_t questionOpening = QuestionOpening(words);
    const auto opensQuestion = [&](const WordSplitter::Word& word) {
        bool opens = false;
        for (size_t i = 0; i < words.size(); ++i) {
            if (!Finds(words[i], word)) continue;
            if (i >= questionOpening) return false;
            opens = true;
        }
        return opens;
    };
    const auto count = [&](const WordSplitter::Word& word) {
        if (opensQuestion(word)) return true;
        ++all;
        bool any = false;
        // How fully the word names what is asked: another word of the same
        // stem ("accessible" for "accessibility") names it in part.
        double strength = 0;
        for (size_t i = 0; i < words.size(); ++i) {
            const bool found = Finds(words[i], word);
            if ((found && (FindsAsItStands(words[i], word) || NearForm(words[i], word))) ||
                (!held[i] && JoinsAskedWord(splitter, word, words[i], commonWords))) {
                held[i] = any = true;
                strength = 1;
            } else if (found) {
                held[i] = any = true;
                strength = std::max(strength, kStemWeight);
            }
            if (words[i].Whole.empty() || words[i].Whole != word.Folded) continue;
            // The identifier's parts, back to its first.
            size_t length = 0;
            for (size_t part = i + 1; part-- > 0 && length < words[i].Whole.size();) {
                length += words[part].Word.size();
                held[part] = true;
            }
            any = true;
            strength = 1;
        }
        if (!any && source == NameSource::Title) any = NamesJoinedWords(word.Folded, words, held);
        if (!any) any = NamesInitials(word.Folded, words, held);
        for (size_t i = 0; i < words.size() && !any; ++i) {
            if (NamesDoer(word.Folded, words[i])) held[i] = any = true;
        }
        // A name of one word that starts a longer word of the query is a
        // short form of it (`butter`: butterworth, `norm`: normal).
        for (size_t i = 0; i < words.size() && !any && nameWords == 1; ++i) {
            if (word.Folded.size() >= kMinShortName && words[i].Word.size() > word.Folded.size() &&
                words[i].Word.starts_with(word.Folded)) {
                held[i] = any = true;
            }
        }
        named += strength > 0 ? strength : any ? 1.0 : 0.0;
        return true;
    };
    splitter.Split(name, [&](const WordSplitter::Word& word) {
        // A name written in CamelCase names each of its parts (`ConvexHull`),
        // unless it is asked for whole (`hashmap`).
        const std::vector<std::string> parts = CamelParts(word.Original);
        if (parts.empty() || asks(word)) return count(word);
        for (const std::string& part : parts) splitter.Split(part, count);
        return true;
    });
    if (all == 0 || words.empty()) return 0.0;
    // The parts of one identifier (`utf-8`) are one thing asked for: held
    // by the share of its parts held. The small words of a query ("how do
    // I", "a copy or a view") ask nothing of a name that lacks them.
    double heldThings = 0;
    size_t things = 0;
    for (size_t i = 0; i < words.size();) {
        size_t parts = 1;
        while (i + parts < words.size() && !words[i + parts].Whole.empty()) ++parts;
        const auto heldParts = std::count(held.begin() + static_cast<ptrdiff_t>(i),
                                          held.begin() + static_cast<ptrdiff_t>(i + parts), true);
        if (heldParts == 0 && parts == 1 && words[i].Optional) {
            ++i;
            continue;
        }
        heldThings += static_cast<double>(heldParts) / static_cast<double>(parts);
        ++things;
        i += parts;
    }
    if (things == 0) return 0.0;
    // Of names alike, the one in fewer modules is the more general
    // (`pandas.pivot_table` before `pandas.DataFrame.pivot_table`).
    return named / static_cast<double>(all) * heldThings / static_cast<double>(things) /
           (1.0 + kModuleWeight * static_cast<double>(modules));
}

// A page titled with the site's name alone (a title end many pages share)
// names nothing of its own: the site's cover, or all its pages in one. Its
// rank is multiplied by this.
constexpr double kSiteTitledWeight = 0.75;

// A page that links to more pages than this, and to this share of the
// site's files or more, is a list of them: an index, a table of contents,
// every constant or every serialized form in one. It holds every word
// somewhere, in the names and headings of what it lists, and is not the page
// a reader means by them. A large site's central pages link to a few hundred
// of its thousands (Rust's `Iterator`: 269 of 44,905); its lists to
// thousands, or to most of a small site.
constexpr int64_t kListingLinks = 256;
constexpr double kListingShare = 0.02;
// Such a page's rank is divided by 1 + this x log2 of how many times
// kListingLinks it links to.
constexpr double kListingWeight = 1.0;
double ListingFactor(int64_t links, size_t files) {
    if (links <= kListingLinks ||
        static_cast<double>(links) < kListingShare * static_cast<double>(files)) {
        return 1.0;
    }
    return 1.0 / (1.0 + kListingWeight * std::log2(static_cast<double>(links) /
                                                   static_cast<double>(kListingLinks)));
}

// The page of the best that most pages link to ranks this share higher; one
// with fewer links, less (by the logarithms of the counts).
constexpr double kLinkedWeight = 0.5;
// Counted as linked from at least this many pages, the most linked: a link
// or two says little of a page (a small site's one link between its manuals).
constexpr int64_t kMinMostLinked = 16;

// Of a query that asks for a version (AskedVersion), a page whose title or
// file name gives only other versions (VersionNamedIn) ranks at this much.
// Of one that asks about a release of it ("what's new in 3.7", kReleaseWords),
// the pages that give it rank before all others: each release's notes hold
// the same words, and the site's name on every page gives the version too,
// so that the words say nothing of which release is meant.
constexpr double kOtherVersionWeight = 0.5;

// A page ranks 1 / (1 + this x the folders it stands in): of pages alike, the
// one nearer the top of the site, where the overviews and the chapters of the
// main guide stand.
constexpr double kDepthWeight = 0.1;

// What each phrase of the match expression stands for.
// Repeat: a required word's phrase written again beside the optional words,
// so that they are looked for without being required; it weighs nothing.
enum class PhraseRole { Word, Form, Whole, Pair, Heading, Defined, Repeat };
struct Phrase {
    size_t Word;  // index into the query's words
    PhraseRole Role;
};
struct QueryPlan {
    std::vector<Phrase> Phrases;
    size_t Words = 0;
    std::vector<bool> Optional;  // by word: QueryWord::Optional
    // Words of the query asked for as the reader wrote them: an identifier's
    // parts are one (`sqlite3_prepare_v2`).
    size_t Asked = 0;
    const std::vector<LengthWeights>* Lengths = nullptr;  // RankingAids'
    const QueryWordCounts* Shared = nullptr;              // FindPages'
    QueryWordCounts* Counted = nullptr;                   // CountWords' answer
};

// What a word weighs in each field of the current row.
std::array<double, kFieldCount> FieldWeightsOf(const Fts5ExtensionApi* api, Fts5Context* fts,
                                               const QueryPlan& plan) {
    std::array<double, kFieldCount> weights = kFieldWeights;
    const auto entry = static_cast<uint64_t>(api->xRowid(fts));
    if (plan.Lengths == nullptr || entry >= plan.Lengths->size()) return weights;
    const LengthWeights& lengths = (*plan.Lengths)[entry];
    for (size_t i = 0; i < kLengthFields.size(); ++i) {
        weights[static_cast<size_t>(kLengthFields[i])] *= lengths[i];
    }
    return weights;
}
constexpr const char* kPlanPointerType = "pelorine_query_plan";

// How rare each word of the query is among the pages (BM25's inverse document
// frequency), worked out once per query: of a word over all its forms, for a
// page that holds it by its stem only, so that a rare stem never outweighs
// the word as it stands; and of the word as it stands (in either number),
// for a page that holds it so: "settings" is rare where "set" is not.
struct Rarities {
    std::vector<double> ofWord;
    std::vector<double> asItStands;
};

int CountRow(const Fts5ExtensionApi* /*api*/, Fts5Context* /*fts*/, void* count) {
    ++*static_cast<int64_t*>(count);
    return SQLITE_OK;
}

double Rarity(int64_t rows, int64_t holding) {
    holding = std::min(holding, rows);
    // Lucene's form: a word on more than half the pages still weighs
    // something, so "file" in `copy a file` tells pages with both words
    // from pages with only one, on a small site too.
    return std::log(1.0 + (static_cast<double>(rows - holding) + 0.5) /
                              (static_cast<double>(holding) + 0.5));
}

// The pages that hold each word of the plan, of the index's.
bool CountHolding(const Fts5ExtensionApi* api, Fts5Context* fts, const QueryPlan& plan,
                  QueryWordCounts& counts) {
    sqlite3_int64 rows = 0;
    if (api->xRowCount(fts, &rows) != SQLITE_OK) return false;
    counts.Pages = rows;
    counts.HoldingWord.assign(plan.Words, 0);
    counts.HoldingAsItStands.assign(plan.Words, 0);
    const int phrases =
        std::min<int>(api->xPhraseCount(fts), static_cast<int>(plan.Phrases.size()));
    // A whole identifier or a pair is counted as rare as its word: counting
    // each would read its pages once more, for a bonus.
    // A page may hold several forms of a word ("http" and "https"): the pages
    // that hold any are estimated as if the forms fell on pages apart by
    // chance, as the share that lacks every one of them, since adding their
    // counts would take a word on half the pages for one on all.
    std::vector<double> lackingWord(plan.Words, 1.0);
    std::vector<double> lackingAsItStands(plan.Words, 1.0);
    for (int phrase = 0; phrase < phrases; ++phrase) {
        const Phrase& role = plan.Phrases[static_cast<size_t>(phrase)];
        if (role.Role != PhraseRole::Word && role.Role != PhraseRole::Form) continue;
        int64_t holding = 0;
        if (api->xQueryPhrase(fts, phrase, &holding, CountRow) != SQLITE_OK) holding = rows;
        const double lacking = rows > 0
                                   ? 1.0 - static_cast<double>(std::min<int64_t>(holding, rows)) /
                                               static_cast<double>(rows)
                                   : 1.0;
        lackingWord[role.Word] *= lacking;
        if (role.Role == PhraseRole::Word) lackingAsItStands[role.Word] *= lacking;
    }
    for (size_t word = 0; word < plan.Words; ++word) {
        const auto holdingAny = [&](double lacking) {
            return static_cast<int64_t>(std::llround(static_cast<double>(rows) * (1.0 - lacking)));
        };
        counts.HoldingWord[word] = holdingAny(lackingWord[word]);
        counts.HoldingAsItStands[word] = holdingAny(lackingAsItStands[word]);
    }
    return true;
}

Rarities* RaritiesOf(const Fts5ExtensionApi* api, Fts5Context* fts, const QueryPlan& plan) {
    if (auto* known = static_cast<Rarities*>(api->xGetAuxdata(fts, 0))) return known;
    // A library's counts stand in for the index's own, which are then not read.
    const bool shared = plan.Shared != nullptr && plan.Shared->HoldingWord.size() == plan.Words &&
                        plan.Shared->HoldingAsItStands.size() == plan.Words;
    QueryWordCounts own;
    if (!shared && !CountHolding(api, fts, plan, own)) return nullptr;
    const QueryWordCounts& counts = shared ? *plan.Shared : own;
    auto* rarities = new Rarities;
    for (const int64_t holding : counts.HoldingWord) {
        rarities->ofWord.push_back(Rarity(counts.Pages, holding));
    }
    for (const int64_t holding : counts.HoldingAsItStands) {
        rarities->asItStands.push_back(Rarity(counts.Pages, holding));
    }
    if (api->xSetAuxdata(fts, rarities, [](void* data) { delete static_cast<Rarities*>(data); }) !=
        SQLITE_OK) {
        return nullptr;  // SQLite has freed it
    }
    return rarities;
}

// The plan a query binds to its function's one argument.
const QueryPlan* PlanOf(int count, sqlite3_value** values) {
    return count == 1
               ? static_cast<const QueryPlan*>(sqlite3_value_pointer(values[0], kPlanPointerType))
               : nullptr;
}

// CountWords' function: the counts of the index, into the plan, once.
void Count(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
           sqlite3_value** values) {
    const QueryPlan* plan = PlanOf(count, values);
    if (plan == nullptr || plan->Counted == nullptr ||
        !CountHolding(api, fts, *plan, *plan->Counted)) {
        sqlite3_result_error(context, "cannot count", -1);
        return;
    }
    sqlite3_result_int(context, 0);
}

// The fields (a bit each) that hold `phrase` in the current row.
unsigned FieldsOf(const Fts5ExtensionApi* api, Fts5Context* fts, int phrase) {
    unsigned fields = 0;
    Fts5PhraseIter columns{};
    int column = -1;
    if (api->xPhraseFirstColumn(fts, phrase, &columns, &column) != SQLITE_OK) return 0;
    for (; column >= 0; api->xPhraseNextColumn(fts, &columns, &column)) {
        if (column < static_cast<int>(kFieldCount)) fields |= 1u << column;
    }
    return fields;
}

// The rank of the current row, higher first: the rarity of each query word
// the page holds, weighed by the fields it stands in and whether it stands
// as asked or only by its stem. The index keeps which fields hold a term, not
// how often: long pages are not favoured for their length, and no page size
// has to be read per row.
void Rank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
          sqlite3_value** values) {
    const QueryPlan* plan = PlanOf(count, values);
    const Rarities* rarities = plan == nullptr ? nullptr : RaritiesOf(api, fts, *plan);
    if (rarities == nullptr) {
        sqlite3_result_error(context, "cannot rank", -1);
        return;
    }
    std::vector<unsigned> exact(plan->Words, 0);
    std::vector<unsigned> stemmed(plan->Words, 0);
    const std::array<double, kFieldCount> fieldWeights = FieldWeightsOf(api, fts, *plan);
    double score = 0;
    const size_t phrases = std::min<size_t>(
        static_cast<size_t>(std::max(api->xPhraseCount(fts), 0)), plan->Phrases.size());
    for (size_t phrase = 0; phrase < phrases; ++phrase) {
        const Phrase& role = plan->Phrases[phrase];
        const unsigned fields = FieldsOf(api, fts, static_cast<int>(phrase));
        if (role.Role == PhraseRole::Word) exact[role.Word] |= fields;
        if (role.Role == PhraseRole::Form) stemmed[role.Word] |= fields;
        if (role.Role == PhraseRole::Whole || role.Role == PhraseRole::Pair ||
            role.Role == PhraseRole::Heading || role.Role == PhraseRole::Defined) {
            // A whole identifier says as much in a long field as in a short
            // one: a reference page of a thousand definitions defines the one
            // asked for no less (`url_for` on a site's one API page).
            const std::array<double, kFieldCount>& weights =
                role.Role == PhraseRole::Whole || role.Role == PhraseRole::Defined ? kFieldWeights
                                                                                   : fieldWeights;
            double weight = 0;
            for (size_t field = 0; field < kFieldCount; ++field) {
                if ((fields >> field) & 1u) weight += weights[field];
            }
            // A whole heading or name weighs as all the query's words.
            double rarity = rarities->ofWord[role.Word];
            if (role.Role == PhraseRole::Heading || role.Role == PhraseRole::Defined) {
                rarity = 0;
                for (const double word : rarities->ofWord) rarity += word;
            }
            score += (role.Role == PhraseRole::Whole     ? kWholeWeight
                      : role.Role == PhraseRole::Pair    ? kPairWeight
                      : role.Role == PhraseRole::Defined ? kDefinedWeight
                                                         : kHeadingWeight) *
                     rarity * Saturated(weight);
        }
    }
    for (size_t word = 0; word < plan->Words; ++word) {
        double weight = 0;
        for (size_t field = 0; field < kFieldCount; ++field) {
            if ((exact[word] >> field) & 1u) {
                weight += fieldWeights[field];
            } else if ((stemmed[word] >> field) & 1u) {
                weight += kStemWeight * fieldWeights[field];
            }
        }
        const double rarity =
            exact[word] != 0 ? rarities->asItStands[word] : rarities->ofWord[word];
        score += (plan->Optional[word] ? kOptionalWeight : 1.0) * rarity * Saturated(weight);
    }
    constexpr unsigned kSummary = 1u << static_cast<unsigned>(Field::Summary);
    bool summarized = plan->Asked > 1;
    for (size_t word = 0; word < plan->Words && summarized; ++word) {
        summarized = plan->Optional[word] || ((exact[word] | stemmed[word]) & kSummary) != 0;
    }
    if (summarized) score *= 1.0 + kSummaryWeight;
    sqlite3_result_double(context, score);
}

// The index's tokenizer: the terms arrive made (AppendIndexTerms), one space
// after each, so the single writer thread only cuts them apart.
int CreateTermTokenizer(void* /*context*/, const char** /*arguments*/, int /*count*/,
                        Fts5Tokenizer** tokenizer) {
    static int instance = 0;  // it keeps no state: every one is the same
    *tokenizer = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void DeleteTermTokenizer(Fts5Tokenizer* /*tokenizer*/) {}

int CutTerms(Fts5Tokenizer* /*tokenizer*/, void* context, int /*flags*/, const char* text,
             int length, int (*token)(void*, int, const char*, int, int, int)) {
    int start = 0;
    for (int at = 0; at <= length; ++at) {
        if (at < length && text[at] != ' ') continue;
        if (at > start) {
            const int result = token(context, 0, text + start, at - start, start, at);
            if (result != SQLITE_OK) return result == SQLITE_DONE ? SQLITE_OK : result;
        }
        start = at + 1;
    }
    return SQLITE_OK;
}

// The headings that answer a question put as "how do I X" (its Heading
// term): "How to X", and "X" itself ("How To Compile SQLite", "Open a
// database connection"). None for any other query.
std::vector<std::string> AnsweringHeadings(std::string_view heading) {
    std::vector<std::string> answers;
    const auto term = [](std::initializer_list<std::string_view> stems) {
        std::string joined(1, kHeadingMark);
        for (const std::string_view stem : stems) joined.append(stem).push_back(kPairMark);
        return joined;
    };
    const std::string howTo = term({"how", "to"});
    for (const std::string& opening :
         {term({"how", "do", "i"}), term({"how", "can", "i"}), howTo}) {
        if (!heading.starts_with(opening)) continue;
        const std::string_view rest = heading.substr(opening.size());
        answers.push_back(howTo + std::string(rest));
        // A heading of one word is no heading's term (HeadingWords).
        if (rest.find(kPairMark) != std::string_view::npos) {
            answers.push_back(kHeadingMark + std::string(rest));
        }
        if (answers.front() == heading) answers.erase(answers.begin());
        break;
    }
    return answers;
}

void AppendQuoted(std::string& expression, std::string_view term) {
    expression += '"';
    for (const char c : term) {
        if (c == '"') expression += '"';
        expression += c;
    }
    expression += '"';
}

// An FTS5 string: every term quoted, so no byte of it is query syntax. Each
// word is found in any of its forms; its whole identifier is one of them, as
// it holds the word. Every word is required but the optional ones, which are
// looked for beside the required words: a page holds them or not.
enum class Matching {
    AllWords,
    AnyWord,  // a page that holds any one of the required words is found
    // A page whose title holds one of the required words but that lacks one
    // of them: named after what is asked, in other words ("Write ... to a
    // csv file" for "save ... csv").
    NamedWithoutAll,
    AllButOne,  // a page that lacks one of the required words, and only one
};
// `naming`, for NamedWithoutAll: which words a title may hold (NamingWords).
std::string MatchExpression(const std::vector<QueryWord>& words, QueryPlan& plan,
                            Matching matching = Matching::AllWords,
                            const std::vector<bool>& naming = {}) {
    const bool anyWord = matching != Matching::AllWords;
    plan.Words = words.size();
    plan.Optional.clear();
    for (const QueryWord& word : words) plan.Optional.push_back(word.Optional);
    plan.Asked =
        static_cast<size_t>(std::count_if(words.begin(), words.end(), [](const QueryWord& word) {
            return !word.Optional && word.Whole.empty();
        }));
    // One word's group of phrases, each noted in the plan with its role (or
    // as a Repeat). Phrases after the last noted one only select pages: the
    // rank reads none beyond the plan's.
    const auto group = [&](size_t word, bool repeat, bool noted = true) {
        std::string text = "(";
        const auto add = [&](std::string_view term, PhraseRole role) {
            if (text.size() > 1) text += " OR ";
            AppendQuoted(text, term);
            if (noted) plan.Phrases.push_back({word, repeat ? PhraseRole::Repeat : role});
        };
        add(words[word].Number.empty() ? words[word].Word : words[word].Number, PhraseRole::Word);
        for (const std::string& number : words[word].Numbers) add(number, PhraseRole::Word);
        for (const std::string& form : words[word].Forms) add(form, PhraseRole::Form);
        for (const std::string& split : words[word].Splits) add(split, PhraseRole::Word);
        for (const std::string& other : words[word].OtherWords) add(other, PhraseRole::Word);
        if (!words[word].Whole.empty()) add(words[word].Whole, PhraseRole::Whole);
        if (!words[word].Pair.empty()) add(words[word].Pair, PhraseRole::Pair);
        if (!words[word].Heading.empty()) add(words[word].Heading, PhraseRole::Heading);
        for (const std::string& answer : AnsweringHeadings(words[word].Heading)) {
            add(answer, PhraseRole::Heading);
        }
        if (!words[word].Defined.empty()) add(words[word].Defined, PhraseRole::Defined);
        return text + ")";
    };
    std::string expression;
    size_t firstAsked = words.size();
    for (size_t word = 0; word < words.size(); ++word) {
        if (words[word].Optional) continue;
        if (firstAsked == words.size()) firstAsked = word;
        if (!expression.empty()) expression += anyWord ? " OR " : " AND ";
        expression += group(word, false);
    }
    std::string optional;
    for (size_t word = 0; word < words.size() && firstAsked < words.size(); ++word) {
        if (!words[word].Optional) continue;
        if (optional.empty()) {
            for (size_t asked = firstAsked; asked < words.size() && (anyWord || optional.empty());
                 ++asked) {
                if (words[asked].Optional) continue;
                if (!optional.empty()) optional += " OR ";
                optional += group(asked, true);
            }
        }
        optional += " OR " + group(word, false);
    }
    if (anyWord && !optional.empty()) expression = "(" + expression + ")";
    if (!optional.empty()) expression += " AND (" + optional + ")";
    // The required words but `left` (none for words.size()), all of them,
    // as selecting phrases only.
    const auto allBut = [&](size_t left) {
        std::string all;
        for (size_t word = 0; word < words.size(); ++word) {
            if (words[word].Optional || word == left) continue;
            if (!all.empty()) all += " AND ";
            all += group(word, false, false);
        }
        return all;
    };
    if (matching == Matching::NamedWithoutAll) {
        std::string inTitle;
        for (size_t word = 0; word < words.size(); ++word) {
            if (words[word].Optional || word >= naming.size() || !naming[word]) continue;
            if (!inTitle.empty()) inTitle += " OR ";
            inTitle += group(word, false, false);
        }
        expression = "(" + expression + ") AND (({title} : (" + inTitle + ")) NOT (" +
                     allBut(words.size()) + "))";
    }
    if (matching == Matching::AllButOne) {
        std::string allButOne;
        for (size_t left = 0; left < words.size(); ++left) {
            if (words[left].Optional) continue;
            if (!allButOne.empty()) allButOne += " OR ";
            allButOne += "(" + allBut(left) + ")";
        }
        expression =
            "(" + expression + ") AND ((" + allButOne + ") NOT (" + allBut(words.size()) + "))";
    }
    return expression;
}

// Titles that hold a word, at most, for it to name a page among few: a word
// in thousands of titles ("Struct", "DataFrame") names none apart, and the
// pages that hold it would be a good share of the site to weigh.
constexpr int kMaxNamingTitles = 300;

// Which of the words asked a few titles hold (kMaxNamingTitles).
std::vector<bool> NamingWords(sqlite3* database, const std::vector<QueryWord>& words) {
    std::vector<bool> naming(words.size(), false);
    Statement count = Prepare(
        database, "SELECT count(*) FROM (SELECT rowid FROM words WHERE words MATCH ? LIMIT ?)");
    for (size_t word = 0; word < words.size() && count; ++word) {
        if (words[word].Optional) continue;
        QueryPlan unused;
        // Bound as it stands: it must outlive the step.
        const std::string inTitle = "{title} : " + MatchExpression({words[word]}, unused);
        BindText(count.get(), 1, inTitle);
        sqlite3_bind_int(count.get(), 2, kMaxNamingTitles + 1);
        if (sqlite3_step(count.get()) == SQLITE_ROW) {
            const int titles = sqlite3_column_int(count.get(), 0);
            naming[word] = titles > 0 && titles <= kMaxNamingTitles;
        }
        sqlite3_reset(count.get());
    }
    return naming;
}

// The query's words with only the splits (QueryWord::Splits) and joins
// (QueryWord::OtherWords) that a page of the site holds: each of the others would
// be weighed on every page the query finds, for nothing.
std::vector<QueryWord> WithHeldForms(sqlite3* database, std::vector<QueryWord> words) {
    Statement probe = Prepare(database, "SELECT rowid FROM words WHERE words MATCH ? LIMIT 1");
    const auto unheld = [&](const std::string& term) {
        if (!probe) return true;
        std::string expression;
        AppendQuoted(expression, term);
        sqlite3_reset(probe.get());
        BindText(probe.get(), 1, expression);
        return sqlite3_step(probe.get()) != SQLITE_ROW;
    };
    for (QueryWord& word : words) {
        std::erase_if(word.Splits, unheld);
        std::erase_if(word.OtherWords, unheld);
    }
    return words;
}

// Whether a word of a query names a version: a part of a dotted number
// ("1.1"), a number of one or two digits ("django 3"), or one after a "v"
// ("v2"); not a number that is part of a name or a code ("404", `sha256`,
// `utf8`, `python3`).
bool NamesVersion(const QueryWord& word) {
    const std::string_view folded = word.Word;
    const std::string_view number = folded.starts_with('v') ? folded.substr(1) : folded;
    return !word.Number.empty() ||
           (!number.empty() && number.size() <= 2 && AllDigits(number) && word.Whole.empty());
}

bool IsReleaseWord(std::string_view word) {
    return std::find(std::begin(kReleaseWords), std::end(kReleaseWords), word) !=
           std::end(kReleaseWords);
}

// Whether a query asks about releases: by a version's digits, or by a word
// of releases (kReleaseWords) other than an everyday one.
bool AsksAboutReleases(const std::vector<QueryWord>& words) {
    bool afterWhat = false;
    for (const QueryWord& word : words) {
        if (NamesVersion(word)) return true;
        const bool everyday =
            std::find(std::begin(kEverydayReleaseWords), std::end(kEverydayReleaseWords),
                      word.Word) != std::end(kEverydayReleaseWords);
        if (IsReleaseWord(word.Word) && (!everyday || (word.Word == "new" && afterWhat))) {
            return true;
        }
        afterWhat = afterWhat || word.Word == "what" || word.Word == "whats";
    }
    return false;
}

}  // namespace

size_t IndexedPage::Bytes() const {
    size_t bytes = Title.size();
    for (const std::string& terms : Terms) bytes += terms.size();
    return bytes + LinksTo.size() * sizeof(uint32_t);
}

IndexedPage IndexedPageOf(const WordSplitter& splitter, const PageText& page) {
    IndexedPage indexed;
    indexed.Title = page.Title;
    indexed.Secondary = page.Secondary;
    if (!page.Text.empty()) {
        // FNV-1a: a page's copies give the same; nothing depends on two
        // different pages never doing so but which of them a search shows.
        uint64_t digest = 14695981039346656037ULL;
        for (const std::string* part : {&page.Title, &page.Text}) {
            for (const char c : *part) {
                digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
            }
            digest = (digest ^ 0xFFU) * 1099511628211ULL;
        }
        indexed.Digest = digest;
    }
    const auto terms = [&](Field field) -> std::string& {
        // A page that stands in for another is found, but by its text only.
        return indexed.Terms[static_cast<size_t>(page.Secondary ? Field::Text : field)];
    };
    AppendIndexTerms(splitter, page.Title, terms(Field::Title), !page.Secondary);
    AppendIndexTerms(splitter, page.Headings, terms(Field::Headings), !page.Secondary);
    AppendIndexTerms(splitter, page.Names, terms(Field::Names));
    // A page that defines one name is named after it (NameMatch); one that
    // defines several is found by each of them here.
    if (!page.Secondary && page.Defined.size() >= 2) {
        for (const std::string& name : page.Defined) {
            AppendDefinedTerms(splitter, name, terms(Field::Names));
        }
    }
    AppendIndexTerms(splitter, page.Code, terms(Field::Code));
    const std::string_view lead = page.Lead;
    const size_t sentenceEnd = std::min(lead.find(". "), lead.find(kHeadingEnd));
    const std::string_view summary = lead.substr(0, sentenceEnd);
    AppendIndexTerms(splitter, summary, terms(Field::Summary));
    if (sentenceEnd < lead.size()) {
        AppendIndexTerms(splitter, lead.substr(sentenceEnd + 1), terms(Field::Lead));
    }
    if (!page.Secondary) {
        // A short summary ("Singular Value Decomposition.") is a heading of
        // it too, whole.
        std::string sentence;
        AppendIndexTerms(splitter, summary, sentence, true);
        for (size_t at = 0; at < sentence.size();) {
            const size_t end = std::min(sentence.find(' ', at), sentence.size());
            if (sentence[at] == kHeadingMark) {
                terms(Field::Summary).append(sentence, at, end - at).push_back(' ');
            }
            at = end + 1;
        }
    }
    WordCounts counts;
    AppendIndexTerms(splitter, page.Text, terms(Field::Text), false,
                     page.Secondary ? nullptr : &counts);
    // On a long page, a word's five times say little: it is there often
    // when it is at least one word in kOftenShare of the page's.
    uint64_t words = 0;
    for (const auto& [word, count] : counts) words += count;
    const uint64_t oftenCount = std::max<uint64_t>(kOftenCount, words / kOftenShare);
    std::string& often = terms(Field::Often);
    for (const auto& [word, count] : counts) {
        if (count < oftenCount) continue;
        often += word;
        often += ' ';
    }
    return indexed;
}

bool PrepareConnection(sqlite3* database) {
    fts5_api* fts5 = Fts5Of(database);
    static fts5_tokenizer terms = {CreateTermTokenizer, DeleteTermTokenizer, CutTerms};
    return fts5 != nullptr &&
           fts5->xCreateTokenizer(fts5, "pelorine_terms", nullptr, &terms, nullptr) == SQLITE_OK &&
           fts5->xCreateFunction(fts5, "pelorine_rank", nullptr, Rank, nullptr) == SQLITE_OK &&
           fts5->xCreateFunction(fts5, "pelorine_count", nullptr, Count, nullptr) == SQLITE_OK;
}

bool CreateIndex(sqlite3* database) {
    return Execute(
        database,
        "PRAGMA journal_mode=OFF;"
        "PRAGMA synchronous=OFF;"
        "PRAGMA locking_mode=EXCLUSIVE;"
        "PRAGMA cache_size=-16384;"
        "CREATE TABLE about(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
        "CREATE TABLE pages(id INTEGER PRIMARY KEY, entry INTEGER NOT NULL,"
        " title TEXT NOT NULL, secondary INTEGER NOT NULL, linked INTEGER NOT NULL DEFAULT 0,"
        " links INTEGER NOT NULL, heading_terms INTEGER NOT NULL, name_terms INTEGER NOT NULL,"
        " code_terms INTEGER NOT NULL, text_terms INTEGER NOT NULL, digest INTEGER NOT NULL);"
        "CREATE VIRTUAL TABLE words USING fts5(title, headings, names, code, often, lead,"
        " summary, text, content='', detail=column, tokenize='pelorine_terms');");
}

PageInserter::PageInserter(sqlite3* database)
    : pages_(
          Prepare(database,
                  "INSERT INTO pages(id, entry, title, secondary, links, heading_terms, name_terms,"
                  " code_terms, text_terms, digest) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")),
      words_(Prepare(database,
                     "INSERT INTO words(rowid, title, headings, names, code, often, lead,"
                     " summary, text) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)")) {}

bool PageInserter::Add(uint32_t entry, const IndexedPage& page) {
    // The entry's number is the row's: one row per entry at most.
    sqlite3_stmt* pages = pages_.get();
    sqlite3_reset(pages);
    sqlite3_bind_int64(pages, 1, entry);
    sqlite3_bind_int64(pages, 2, entry);
    BindText(pages, 3, page.Title);
    sqlite3_bind_int(pages, 4, page.Secondary ? 1 : 0);
    sqlite3_bind_int64(pages, 5, static_cast<int64_t>(page.LinksTo.size()));
    for (size_t i = 0; i < kLengthFields.size(); ++i) {
        const std::string& terms = page.Terms[static_cast<size_t>(kLengthFields[i])];
        sqlite3_bind_int64(pages, static_cast<int>(6 + i),
                           static_cast<int64_t>(std::count(terms.begin(), terms.end(), ' ')));
    }
    sqlite3_bind_int64(pages, static_cast<int>(6 + kLengthFields.size()),
                       static_cast<int64_t>(page.Digest));
    if (sqlite3_step(pages) != SQLITE_DONE) return false;
    sqlite3_stmt* words = words_.get();
    sqlite3_reset(words);
    sqlite3_bind_int64(words, 1, entry);
    for (size_t field = 0; field < kFieldCount; ++field) {
        BindText(words, static_cast<int>(field) + 2, page.Terms[field]);
    }
    const bool added = sqlite3_step(words) == SQLITE_DONE;
    sqlite3_clear_bindings(words);
    sqlite3_clear_bindings(pages);
    return added;
}

bool CompleteIndex(sqlite3* database, std::string_view identity, uint32_t pageCount,
                   const std::vector<uint32_t>& linkedFrom) {
    if (!Execute(database, "INSERT INTO words(words) VALUES('optimize')")) return false;
    Statement linked = Prepare(database, "UPDATE pages SET linked = ? WHERE id = ?");
    if (!linked || !Execute(database, "BEGIN")) return false;
    for (uint32_t entry = 0; entry < linkedFrom.size(); ++entry) {
        if (linkedFrom[entry] == 0) continue;
        sqlite3_reset(linked.get());
        sqlite3_bind_int64(linked.get(), 1, linkedFrom[entry]);
        sqlite3_bind_int64(linked.get(), 2, entry);
        if (sqlite3_step(linked.get()) != SQLITE_DONE) return false;
    }
    if (!Execute(database, "COMMIT")) return false;
    std::vector<std::string> titles;
    Statement read = Prepare(database, "SELECT title FROM pages");
    if (!read) return false;
    while (sqlite3_step(read.get()) == SQLITE_ROW) titles.emplace_back(ColumnText(read.get(), 0));
    std::string ends;
    for (const std::string& end : CommonTitleEnds(titles)) ends += end + '\n';
    Statement about = Prepare(database,
                              "INSERT INTO about(key, value) VALUES('format', ?), "
                              "('identity', ?), ('pages', ?), ('title ends', ?)");
    if (!about) return false;
    sqlite3_bind_int(about.get(), 1, kIndexFormat);
    BindText(about.get(), 2, identity);
    sqlite3_bind_int64(about.get(), 3, pageCount);
    BindText(about.get(), 4, ends);
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

void QueryWordCounts::Add(const QueryWordCounts& other) {
    Pages += other.Pages;
    HoldingWord.resize(std::max(HoldingWord.size(), other.HoldingWord.size()), 0);
    HoldingAsItStands.resize(std::max(HoldingAsItStands.size(), other.HoldingAsItStands.size()), 0);
    for (size_t i = 0; i < other.HoldingWord.size(); ++i) HoldingWord[i] += other.HoldingWord[i];
    for (size_t i = 0; i < other.HoldingAsItStands.size(); ++i) {
        HoldingAsItStands[i] += other.HoldingAsItStands[i];
    }
}

QueryWordCounts CountWords(sqlite3* database, const std::vector<QueryWord>& queryWords) {
    QueryWordCounts counts;
    counts.HoldingWord.assign(queryWords.size(), 0);
    counts.HoldingAsItStands.assign(queryWords.size(), 0);
    Statement pages = Prepare(database, "SELECT count(*) FROM pages");
    if (pages && sqlite3_step(pages.get()) == SQLITE_ROW) {
        counts.Pages = sqlite3_column_int64(pages.get(), 0);
    }
    if (queryWords.empty()) return counts;
    // The first page that holds any of the words counts them all; where none
    // does, none holds any.
    std::vector<QueryWord> words = WithHeldForms(database, queryWords);
    for (QueryWord& word : words) word.Optional = false;
    QueryPlan plan;
    plan.Counted = &counts;
    // Bound as it stands: it must outlive the step.
    const std::string expression = MatchExpression(words, plan, Matching::AnyWord);
    Statement count = Prepare(
        database, "SELECT pelorine_count(words, ?2) FROM words WHERE words MATCH ?1 LIMIT 1");
    if (!count) return counts;
    BindText(count.get(), 1, expression);
    sqlite3_bind_pointer(count.get(), 2, &plan, kPlanPointerType, nullptr);
    sqlite3_step(count.get());
    return counts;
}

bool PageDefines(sqlite3* database, uint32_t entry, std::string_view definedTerm) {
    if (definedTerm.empty()) return false;
    Statement probe =
        Prepare(database, "SELECT 1 FROM words WHERE words MATCH ?1 AND rowid = ?2 LIMIT 1");
    if (!probe) return false;
    std::string expression = "names : ";
    AppendQuoted(expression, definedTerm);
    BindText(probe.get(), 1, expression);
    sqlite3_bind_int64(probe.get(), 2, entry);
    return sqlite3_step(probe.get()) == SQLITE_ROW;
}

IndexHits FindPages(sqlite3* database, const std::vector<QueryWord>& queryWords,
                    const RankingAids& aids, uint64_t offset, uint32_t count,
                    const QueryWordCounts* shared) {
    IndexHits hits;
    if (queryWords.empty()) return hits;
    const std::vector<QueryWord> words = WithHeldForms(database, queryWords);
    Statement rank = Prepare(database, kRankSql);
    Statement title =
        Prepare(database, "SELECT title, secondary, linked, links, digest FROM pages WHERE id = ?");
    if (!rank || !title) {
        hits.Failed = true;
        return hits;
    }
    // Every match is ranked and counted in one pass; only the best are kept,
    // so memory stays bounded by the page asked for.
    struct Scored {
        double Score;  // higher is better
        uint32_t Entry;
        std::string Title;
        bool Partial = false;  // holds some of the words asked for, not all
        int64_t Digest = 0;    // IndexedPage's
    };
    // Of pages that rank alike, the one with the shorter name: nearer the
    // site's top, and more likely the overview.
    const std::vector<uint32_t>& nameLengths = aids.NameLengths;
    const auto shorter = [&](uint32_t a, uint32_t b) {
        const size_t aLength = a < nameLengths.size() ? nameLengths[a] : SIZE_MAX;
        const size_t bLength = b < nameLengths.size() ? nameLengths[b] : SIZE_MAX;
        return aLength < bLength || (aLength == bLength && a < b);
    };
    const auto better = [&](const Scored& a, const Scored& b) {
        if (a.Partial != b.Partial) return b.Partial;
        return a.Score > b.Score || (a.Score == b.Score && shorter(a.Entry, b.Entry));
    };
    const uint64_t keep = std::max<uint64_t>(offset + count, kTitleRankDepth);
    std::vector<Scored> best;  // a max-heap on `better`: the worst kept on top
    // Ranks the pages `statement` finds, matched as `matching` says;
    // those already kept (of the first pass) are not counted again.
    const auto rankAll = [&](sqlite3_stmt* statement, Matching matching,
                             const std::vector<bool>& naming = {}) {
        QueryPlan plan;
        plan.Lengths = &aids.Weights.Lengths;
        plan.Shared = shared;
        const std::string expression = MatchExpression(words, plan, matching, naming);
        BindText(statement, 1, expression);
        sqlite3_bind_pointer(statement, 2, &plan, kPlanPointerType, nullptr);
        std::vector<uint32_t> found;
        for (const Scored& scored : best) found.push_back(scored.Entry);
        const double weight = matching == Matching::NamedWithoutAll ? kNamedWithoutAllWeight : 1.0;
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            Scored scored{sqlite3_column_double(statement, 1) * weight,
                          static_cast<uint32_t>(sqlite3_column_int64(statement, 0)),
                          {},
                          matching == Matching::AnyWord || matching == Matching::AllButOne};
            if (std::find(found.begin(), found.end(), scored.Entry) != found.end()) continue;
            ++hits.Total;
            if (best.size() < keep) {
                best.push_back(std::move(scored));
                std::push_heap(best.begin(), best.end(), better);
            } else if (better(scored, best.front())) {
                std::pop_heap(best.begin(), best.end(), better);
                best.back() = std::move(scored);
                std::push_heap(best.begin(), best.end(), better);
            }
        }
        return step == SQLITE_DONE;
    };
    bool ranked = rankAll(rank.get(), Matching::AllWords);
    // A query may use a word the page meant does not ("embed", "background",
    // "save", "convert"). One that finds few pages holding every word it asks
    // for finds those that hold some of them too, among them
    // (kPartialWeight); one that finds many, the pages whose titles name some
    // of them, and, of a query of a few words, those that lack only one.
    const auto asked = std::count_if(words.begin(), words.end(),
                                     [](const QueryWord& word) { return !word.Optional; });
    if (ranked && asked >= 2 && hits.Total < kFewPages) {
        Statement partial = Prepare(database, kRankSql);
        ranked = partial && rankAll(partial.get(), Matching::AnyWord);
    } else if (ranked && asked >= 2) {
        const std::vector<bool> naming = NamingWords(database, words);
        if (std::find(naming.begin(), naming.end(), true) != naming.end()) {
            Statement named = Prepare(database, kRankSql);
            ranked = named && rankAll(named.get(), Matching::NamedWithoutAll, naming);
        }
        // Not of a name: a page that lacks a part of it is about another.
        const bool inWords = std::all_of(words.begin(), words.end(),
                                         [](const QueryWord& word) { return word.Whole.empty(); });
        if (ranked && inWords && asked >= kMinAllButOne && asked <= kMaxAllButOne &&
            hits.Total <= kAllButOneMostFound) {
            Statement partial = Prepare(database, kRankSql);
            ranked = partial && rankAll(partial.get(), Matching::AllButOne);
        }
    }
    if (!ranked) {
        hits = {};
        hits.Failed = true;
        return hits;
    }
    // The best are weighed again by how much of their own title the query
    // names: of two pages that hold the words alike, the one that is about
    // them alone ("from_utf8" rather than "from_utf8_unchecked").
    std::vector<int64_t> linked(best.size(), 0);
    int64_t mostLinked = 0;
    // A query about releases or versions looks for release notes.
    const bool asksReleases = AsksAboutReleases(words);
    const bool asksReleaseNotes = AsksForReleaseNotes(words);
    const std::vector<std::string> version = AskedVersion(words);
    const bool asksReleaseOfVersion =
        !version.empty() && std::any_of(words.begin(), words.end(), [](const QueryWord& word) {
            return IsReleaseWord(word.Word);
        });
    std::vector<bool> namesVersion(best.size(), false);
    const bool asksAside = std::any_of(words.begin(), words.end(), [](const QueryWord& word) {
        return std::find(std::begin(kAsideWords), std::end(kAsideWords), word.Word) !=
               std::end(kAsideWords);
    });
    for (size_t i = 0; i < best.size(); ++i) {
        Scored& scored = best[i];
        sqlite3_reset(title.get());
        sqlite3_bind_int64(title.get(), 1, scored.Entry);
        if (sqlite3_step(title.get()) != SQLITE_ROW) continue;
        scored.Title = ColumnText(title.get(), 0);
        scored.Digest = sqlite3_column_int64(title.get(), 4);
        linked[i] = sqlite3_column_int64(title.get(), 2);
        mostLinked = std::max(mostLinked, linked[i]);
        const int64_t pagesLinked = sqlite3_column_int64(title.get(), 3);
        scored.Score *= ListingFactor(pagesLinked, aids.FileNames.size());
        double match = 0;
        // A page that stands in for another has no name of its own.
        // It, or a page of code (a module's source beside its reference), is
        // seldom what a reader asks for in words it holds: an aside too.
        const bool secondary = sqlite3_column_int(title.get(), 1) != 0;
        if (secondary) scored.Score *= kAsidePageWeight;
        if (aids.Splitter != nullptr && !secondary) {
            const std::string_view own = OwnTitle(scored.Title, aids.TitleEnds);
            const std::string_view name = PageName(own);
            match = NameMatch(*aids.Splitter, name, NameSource::Title, words, aids.CommonNameWords);
            if (scored.Entry < aids.FileNames.size()) {
                match = std::max(match, NameMatch(*aids.Splitter, aids.FileNames[scored.Entry],
                                                  NameSource::File, words, aids.CommonNameWords));
            }
            scored.Score *= 1.0 + kNameWeight * match;
            if (!version.empty()) {
                VersionNamed named = VersionNamedIn(own, version);
                if (named != VersionNamed::Asked && scored.Entry < aids.FileNames.size()) {
                    const VersionNamed inFile =
                        VersionNamedIn(aids.FileNames[scored.Entry], version);
                    if (inFile != VersionNamed::None) named = inFile;
                }
                namesVersion[i] = named == VersionNamed::Asked;
                if (named == VersionNamed::Other) scored.Score *= kOtherVersionWeight;
            }
            if ((!asksReleases && IsReleaseNotes(own)) ||
                (!asksAside && IsIndexOrLicence(own, pagesLinked))) {
                scored.Score *= kAsidePageWeight;
            }
            if (asksReleaseNotes && IsReleaseNotes(own)) scored.Score *= kReleaseNotesAskedWeight;
            if (std::find(aids.TitleEnds.begin(), aids.TitleEnds.end(), scored.Title) !=
                aids.TitleEnds.end()) {
                scored.Score *= kSiteTitledWeight;
            }
        }
        // A page that lacks a word asked for ranks among those that hold
        // them all; more nearly so when its name holds some of them: it may
        // say the rest in other words ("deploy" of `deploy with gunicorn`,
        // where the page named Gunicorn is under the deployment pages), as
        // one named without all the words does when they are many.
        if (scored.Partial) {
            scored.Partial = false;
            scored.Score *= match > 0 ? kNamedWithoutAllWeight : kPartialWeight;
        }
    }
    // A query of several words, none of them written as a name.
    const bool inWords =
        asked >= 2 && std::none_of(words.begin(), words.end(), [](const QueryWord& word) {
            return !word.Whole.empty() || !word.Defined.empty();
        });
    if (inWords) {
        for (Scored& scored : best) {
            if (scored.Entry < aids.Weights.ReferenceShares.size()) {
                scored.Score /= 1.0 + kReferenceWeight * aids.Weights.ReferenceShares[scored.Entry];
            }
        }
    }
    // And by how deep they stand, and how many pages of the site link to
    // them against the most linked of them: of pages alike, the one the site
    // points to.
    for (Scored& scored : best) {
        if (scored.Entry < aids.NameDepths.size()) {
            scored.Score /= 1.0 + kDepthWeight * aids.NameDepths[scored.Entry];
        }
    }
    if (mostLinked > 0) {
        const double most = std::log1p(static_cast<double>(std::max(mostLinked, kMinMostLinked)));
        for (size_t i = 0; i < best.size(); ++i) {
            best[i].Score *=
                1.0 + kLinkedWeight * std::log1p(static_cast<double>(linked[i])) / most;
        }
    }
    if (asksReleaseOfVersion) {
        double others = 0;
        for (size_t i = 0; i < best.size(); ++i) {
            if (!namesVersion[i]) others = std::max(others, best[i].Score);
        }
        for (size_t i = 0; i < best.size(); ++i) {
            if (namesVersion[i]) best[i].Score += others;
        }
    }
    std::sort(best.begin(), best.end(), better);
    // A page found again under another name (a copy in another folder)
    // stands where it ranks best; its other copies follow every other page,
    // so that they crowd no one out, and a reader who looks for one of them
    // by its path still finds it.
    std::unordered_set<int64_t> shown;
    std::vector<Scored> copies;
    size_t kept = 0;
    for (size_t i = 0; i < best.size(); ++i) {
        const int64_t digest = best[i].Digest;
        if (digest != 0 && !shown.insert(digest).second) {
            copies.push_back(std::move(best[i]));
            continue;
        }
        if (kept != i) best[kept] = std::move(best[i]);
        ++kept;
    }
    best.resize(kept);
    std::move(copies.begin(), copies.end(), std::back_inserter(best));
    for (size_t i = offset; i < best.size() && i < offset + count; ++i) {
        hits.Pages.push_back({best[i].Entry, std::move(best[i].Title), best[i].Score, i >= kept});
    }
    return hits;
}

// A word in a field longer than the site's average for it weighs less, by
// the logarithm of how many times longer the field is: a page of a thousand
// option headings holds most words as a heading, a long reference page most
// words of its site (BM25's length normalization, made gentle, as the index
// keeps whether a field holds a word, not how often). Title, summary and lead
// are short by nature and left alone.
constexpr double kLengthWeight = 0.7;
// The text's, more: a page many times the site's average length (a manual's
// every chapter in one, a book's long introduction) holds the words of most
// questions somewhere in it.
constexpr double kTextLengthWeight = 1.2;

// Where the names and the text stand in kLengthFields.
constexpr size_t kNamesLength = 1;
constexpr size_t kTextLength = 3;
static_assert(kLengthFields[kNamesLength] == Field::Names &&
              kLengthFields[kTextLength] == Field::Text);

PageWeights PageWeightsOf(sqlite3* database, size_t entries) {
    std::vector<std::array<int64_t, kLengthFields.size()>> lengths(entries);
    Statement read = Prepare(
        database, "SELECT id, heading_terms, name_terms, code_terms, text_terms FROM pages");
    std::array<double, kLengthFields.size()> total{};
    size_t pages = 0;
    while (read && sqlite3_step(read.get()) == SQLITE_ROW) {
        const auto entry = static_cast<uint64_t>(sqlite3_column_int64(read.get(), 0));
        if (entry >= entries) continue;
        ++pages;
        for (size_t i = 0; i < kLengthFields.size(); ++i) {
            lengths[entry][i] =
                std::max<int64_t>(sqlite3_column_int64(read.get(), static_cast<int>(i + 1)), 0);
            total[i] += static_cast<double>(lengths[entry][i]);
        }
    }
    PageWeights weights;
    weights.Lengths.resize(entries);
    weights.ReferenceShares.resize(entries, 0.0F);
    for (size_t entry = 0; entry < entries; ++entry) {
        for (size_t i = 0; i < kLengthFields.size(); ++i) {
            const double average = pages == 0 ? 0 : total[i] / static_cast<double>(pages);
            const auto length = static_cast<double>(lengths[entry][i]);
            const double weight = i == kTextLength ? kTextLengthWeight : kLengthWeight;
            weights.Lengths[entry][i] =
                average <= 0 || length <= average
                    ? 1.0F
                    : static_cast<float>((1 + weight) /
                                         (1 + weight * std::log2(1 + length / average)));
        }
        const auto names = static_cast<double>(lengths[entry][kNamesLength]);
        const auto text = static_cast<double>(lengths[entry][kTextLength]);
        if (names + text > 0) {
            weights.ReferenceShares[entry] = static_cast<float>(names / (names + text));
        }
    }
    return weights;
}

std::vector<std::string> TitleEndsOf(sqlite3* database) {
    Statement about = Prepare(database, "SELECT value FROM about WHERE key = 'title ends'");
    std::vector<std::string> ends;
    if (!about || sqlite3_step(about.get()) != SQLITE_ROW) return ends;
    const std::string_view all = ColumnText(about.get(), 0);
    for (size_t at = 0; at < all.size();) {
        const size_t end = std::min(all.find('\n', at), all.size());
        if (end > at) ends.emplace_back(all.substr(at, end - at));
        at = end + 1;
    }
    return ends;
}
