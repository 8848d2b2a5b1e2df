#include "Search/IndexTerms.h"

#include <algorithm>
#include <array>

#include "Search/PageText.h"
#include "Search/TextEncoding.h"

namespace {

// Longest run of an identifier's parts joined into one term: enough for
// `std::fs::read_to_string`'s tail, while a long dotted name adds only a few
// terms per part.
constexpr size_t kMaxJoinedParts = 4;

// Parts of a defined name read, at most (`a.b.c` has three).
constexpr size_t kMaxDefinedParts = 16;

bool IsJoiner(std::string_view between) {
    return between == "_" || between == "-" || between == "." || between == "::";
}

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLower(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether a folded word is letters alone: no digit, mark or identifier.
bool AllLetters(std::string_view folded) {
    return std::all_of(folded.begin(), folded.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

bool AllDigits(std::string_view folded) {
    return std::all_of(folded.begin(), folded.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> CamelParts(std::string_view original) {
    std::vector<std::string> parts;
    // Most words have no capital after their first letter: quickly done.
    if (original.size() < 2 || std::none_of(original.begin() + 1, original.end(), IsUpper) ||
        !std::all_of(original.begin(), original.end(),
                     [](char c) { return IsUpper(c) || IsLower(c); })) {
        return parts;
    }
    size_t begin = 0;
    for (size_t at = 1; at <= original.size(); ++at) {
        const bool end = at == original.size();
        // An initialism's plural ("BIFs", "APIs", "URLs") is one word.
        const bool plural = at + 2 == original.size() && original[at + 1] == 's';
        const bool split =
            !end && IsUpper(original[at]) &&
            (IsLower(original[at - 1]) ||
             (IsUpper(original[at - 1]) && at + 1 < original.size() && IsLower(original[at + 1]) &&
              !(original[at + 1] >= '0' && original[at + 1] <= '9') && !plural));
        if (!end && !split) continue;
        std::string part;
        for (size_t i = begin; i < at; ++i) {
            part += IsUpper(original[i]) ? char(original[i] - 'A' + 'a') : original[i];
        }
        parts.push_back(std::move(part));
        begin = at;
    }
    if (parts.size() < 2) parts.clear();
    return parts;
}

namespace {

// Follows the words of a text: the last few words joined to the current one.
class IdentifierRun {
  public:
    // The run after `word`: it continues when only a joiner stands between
    // the previous word and this one.
    void Add(std::string_view text, const WordSplitter::Word& word) {
        const bool joined = count_ > 0 && word.Start >= previousEnd_ &&
                            IsJoiner(text.substr(previousEnd_, word.Start - previousEnd_));
        if (!joined) count_ = 0;
        std::rotate(last_.begin(), last_.begin() + 1, last_.end());
        last_.back() = word.Folded;
        count_ = std::min(count_ + 1, kMaxJoinedParts);
        previousEnd_ = word.End;
    }
    // Calls `each` with the current word joined to the 1..3 before it.
    template <typename Each>
    void ForEachJoined(Each each) const {
        if (count_ < 2) return;
        std::string joined = last_.back();
        for (size_t parts = 2; parts <= count_; ++parts) {
            joined.insert(0, last_[last_.size() - parts]);
            each(joined);
        }
    }
    size_t Count() const { return count_; }

  private:
    std::array<std::string, kMaxJoinedParts> last_;
    size_t count_ = 0;
    size_t previousEnd_ = 0;
};

// Whether `word` is `stem` with an English ending ("indexes", "sorting",
// "running"): then a page with the stem as a word of its own holds another
// form of the word. A stem that is only the start of a word ("iter" of
// "iterator") is a word of its own, and no form of it.
bool IsInflectionOf(std::string_view word, std::string_view stem) {
    if (!word.starts_with(stem) || stem.empty()) return false;
    std::string_view ending = word.substr(stem.size());
    // A doubled last letter: "running", "stopped".
    if (ending.size() > 2 && ending[0] == stem.back()) ending.remove_prefix(1);
    for (const std::string_view known : {"s", "es", "ed", "d", "ing", "ings", "ly"}) {
        if (ending == known) return true;
    }
    return false;
}

// Whether a word ends in a doubled consonant that the stemmer undoubles
// before an ending it takes off ("add": "adding", "added" stem to "ad"), as
// it does all but l, s and z.
bool EndsInDoubledConsonant(std::string_view word) {
    if (word.size() < 3) return false;
    const char last = word.back();
    return last == word[word.size() - 2] && last >= 'a' && last <= 'z' &&
           std::string_view("aeiouylsz").find(last) == std::string_view::npos;
}

// The stems of one heading, for its term as a whole (kHeadingMark).
class HeadingWords {
  public:
    void Add(std::string_view stem) {
        // Section numbers ("8.3. Handling Exceptions") are no part of its name.
        if (AllDigits(stem)) return;
        if (++count_ > kMaxHeadingWords) return;
        term_ += term_.empty() ? kHeadingMark : kPairMark;
        term_ += stem;
    }
    // The term, when the heading is short enough, and a start for the next.
    std::string Take() {
        // One word alone is the page's name's matter (NameMatch), not a heading's.
        std::string term =
            count_ >= 2 && count_ <= kMaxHeadingWords ? std::move(term_) : std::string();
        term_.clear();
        count_ = 0;
        return term;
    }

  private:
    std::string term_;
    size_t count_ = 0;
};

// Each run of two or three parts in a row of an identifier written in
// CamelCase, short of the whole (`setStyleSheet`: "setstyle", "stylesheet";
// `installEventFilter`: "eventfilter"), as runs of a snake_case identifier
// are joined: the thing a method sets or adds is named by its last parts,
// and a reader writes it as one word. Up to kMaxCamelRunParts parts: a
// longer name adds no more.
constexpr size_t kMaxCamelRunParts = 6;
template <typename Add>
void AddCamelRuns(const std::vector<std::string>& parts, Add add) {
    if (parts.size() < 3 || parts.size() > kMaxCamelRunParts) return;
    for (size_t length = 2; length <= 3 && length < parts.size(); ++length) {
        for (size_t first = 0; first + length <= parts.size(); ++first) {
            // A one-letter prefix (`QDebugStateSaver`'s Q) with the part
            // after it names another class.
            if (parts[first].size() < 2) continue;
            std::string run;
            for (size_t part = first; part < first + length; ++part) run += parts[part];
            add(run);
        }
    }
}

}  // namespace

void AppendIndexTerms(const WordSplitter& splitter, std::string_view text, std::string& terms,
                      bool pairs, WordCounts* counts) {
    IdentifierRun run;
    std::string previousStem;
    size_t previousEnd = 0;
    HeadingWords heading;
    const auto add = [&](std::string_view term) {
        terms += term;
        terms += ' ';
    };
    const auto endHeading = [&] {
        const std::string whole = heading.Take();
        if (!whole.empty()) add(whole);
    };
    splitter.Split(text, [&](const WordSplitter::Word& word) {
        add(word.Folded);
        if (counts != nullptr) ++(*counts)[std::string(word.Folded)];
        if (word.Stem != word.Folded) {
            terms += kStemMark;
            add(word.Stem);
        }
        const std::vector<std::string> parts = CamelParts(word.Original);
        for (const std::string& part : parts) add(part);
        AddCamelRuns(parts, add);
        if (pairs) {
            // A heading's end between two words parts them; a word of one
            // letter ("a thread") makes no pair.
            if (text.substr(previousEnd, word.Start - previousEnd).find(kHeadingEnd[0]) !=
                std::string_view::npos) {
                previousStem.clear();
                endHeading();
            }
            if (word.Stem.size() < 2) previousStem.clear();
            heading.Add(word.Stem);
            if (!previousStem.empty()) {
                terms += previousStem;
                terms += kPairMark;
                add(word.Stem);
            }
            previousStem = word.Stem.size() < 2 ? std::string() : std::string(word.Stem);
            previousEnd = word.End;
        }
        run.Add(text, word);
        run.ForEachJoined(add);
        return true;
    });
    if (pairs) endHeading();
}

void AppendDefinedTerms(const WordSplitter& splitter, std::string_view name, std::string& terms) {
    // Its parts, each its words folded and joined.
    std::vector<std::string> parts;
    for (size_t at = 0; at <= name.size() && parts.size() < kMaxDefinedParts;) {
        const size_t end = std::min(name.find_first_of(".:", at), name.size());
        std::string joined;
        splitter.Split(name.substr(at, end - at), [&](const WordSplitter::Word& word) {
            joined += word.Folded;
            return true;
        });
        if (!joined.empty()) parts.push_back(std::move(joined));
        at = end + 1;
    }
    std::string whole;
    for (size_t count = 1; count <= parts.size(); ++count) {
        whole = parts[parts.size() - count] + whole;
        if (count <= 2 || count == parts.size()) {
            terms += kDefinedMark;
            terms += whole;
            terms += ' ';
        }
    }
}

namespace {

// Words a question is put in rather than what it asks about ("how do I read
// a file", "an option the user can set"): a page that answers it need not
// hold them. Programming words among them (`with`, `for`, `if`) still rank
// the pages that hold them higher, and by their pairs and headings; "and",
// "or" and "not" are not among them, as a query that writes them means them.
constexpr std::string_view kSmallWords[] = {
    "a",     "an",    "the",   "of",    "to",    "in",   "on",   "at",     "by",   "for",
    "with",  "from",  "into",  "is",    "are",   "be",   "can",  "do",     "does", "how",
    "i",     "my",    "me",    "what",  "which", "who",  "this", "that",   "it",   "its",
    "as",    "when",  "where", "why",   "you",   "your", "we",   "should", "will", "would",
    "there", "about", "use",   "using", "if",    "so",   "some", "another"};

// What readers call a site's release notes (AsksForReleaseNotes), and what
// sites title them, each found for the others.
constexpr std::string_view kReleaseNotesWords[] = {"changelog", "changelogs", "changes",  "history",
                                                   "news",      "release",    "releases", "notes",
                                                   "new",       "whatsnew"};
constexpr std::string_view kReleaseNotesNames[] = {"changelog", "changes", "history", "news",
                                                   "releases"};

// Short forms readers write for words documentation spells out ("my command
// line app": "Testing Click Applications"), each found as its long forms too
// (QueryWord::OtherWords).
struct ShortForm {
    std::string_view Word;
    std::string_view Long[2];
};
constexpr ShortForm kShortForms[] = {
    {"app", {"application", "applications"}},
    {"apps", {"applications", "application"}},
    {"config", {"configuration", "configure"}},
    {"db", {"database", "databases"}},
    {"env", {"environment", "environments"}},
    {"auth", {"authentication", "authorization"}},
    {"args", {"arguments", "argument"}},
    {"arg", {"argument", "arguments"}},
    {"params", {"parameters", "parameter"}},
    {"param", {"parameter", "parameters"}},
    {"dir", {"directory", "directories"}},
    {"dirs", {"directories", "directory"}},
    {"repo", {"repository", "repositories"}},
    {"docs", {"documentation", ""}},
    {"pkg", {"package", "packages"}},
    {"msg", {"message", "messages"}},
    {"img", {"image", "images"}},
    {"admin", {"administration", "administrator"}},
    {"stats", {"statistics", "statistic"}},
    {"tmp", {"temporary", "temp"}},
    {"perf", {"performance", ""}},
    {"cert", {"certificate", "certificates"}},
    {"certs", {"certificates", "certificate"}},
    {"conn", {"connection", "connections"}},
};

// Everyday words readers ask with where documentation writes others ("save
// as parquet": "Writing Parquet", "upgrade": "Migration Guide"): a page
// that holds the other word is found as by a stem of the reader's, below
// one that holds the reader's own.
struct ReadersWord {
    std::string_view Word;
    std::string_view Written[3];
};
constexpr ReadersWord kReadersWords[] = {
    {"save", {"write", "store", ""}},
    {"draw", {"plot", "visualize", "render"}},
    {"big", {"large", "", ""}},
    {"mistake", {"pitfall", "", ""}},
    {"mistakes", {"pitfalls", "", ""}},
    {"send", {"publish", "", ""}},
    {"upgrade", {"migrate", "migration", ""}},
    {"upgrading", {"migrating", "migration", ""}},
    {"delete", {"remove", "", ""}},
    {"remove", {"delete", "", ""}},
    {"folder", {"directory", "", ""}},
    {"folders", {"directories", "", ""}},
    {"chart", {"plot", "graph", ""}},
    {"password", {"credentials", "authentication", ""}},
    {"passwords", {"credentials", "authentication", ""}},
};

// A language's name as identifiers and file names write it (`CXX_STANDARD`,
// `CMAKE_CXX_FLAGS`, `main.cpp`): found as other forms of the word.
struct OtherSpelling {
    std::string_view Word;
    std::string_view Spellings[2];
};
constexpr OtherSpelling kOtherSpellings[] = {{"c++", {"cxx", "cpp"}}, {"c#", {"csharp", "cs"}}};

bool IsSmallWord(std::string_view folded) {
    return std::find(std::begin(kSmallWords), std::end(kSmallWords), folded) !=
           std::end(kSmallWords);
}

// The pair terms of a word cut in two, each part a word of three letters or
// more, for each place it can be cut: a heading writes "Style Sheets" where
// a reader asks for `stylesheet`. Words too short or too long, and
// identifiers, have none.
constexpr size_t kMinSplitPart = 3;
// The second part may be a particle of two letters (`groupby`: "Group by",
// `setup`: "set up").
constexpr size_t kMinSplitEnd = 2;
constexpr size_t kMaxSplitWord = 24;
std::vector<std::string> SplitPairs(const WordSplitter& splitter, std::string_view folded) {
    std::vector<std::string> pairs;
    if (folded.size() < kMinSplitPart + kMinSplitEnd || folded.size() > kMaxSplitWord ||
        !AllLetters(folded)) {
        return pairs;
    }
    const auto stemOf = [&](std::string_view part) {
        std::string stem;
        splitter.Split(part, [&](const WordSplitter::Word& word) {
            stem = word.Stem;
            return false;
        });
        return stem;
    };
    for (size_t cut = kMinSplitPart; cut + kMinSplitEnd <= folded.size(); ++cut) {
        pairs.push_back(stemOf(folded.substr(0, cut)) + kPairMark + stemOf(folded.substr(cut)));
    }
    return pairs;
}

// Two words of a query in a row joined, when a page may write them as one:
// each of two letters or more and all letters, not both small words ("of
// ten"), and no part of an identifier (which has its whole). Else empty.
constexpr size_t kMinJoinedWords = 5;
std::string JoinedWords(std::string_view before, const QueryWord& word) {
    const auto letters = [](std::string_view part) { return part.size() >= 2 && AllLetters(part); };
    const size_t length = before.size() + word.Word.size();
    if (!letters(before) || !letters(word.Word) || !word.Whole.empty() ||
        length < kMinJoinedWords || length > kMaxSplitWord ||
        (IsSmallWord(before) && IsSmallWord(word.Word))) {
        return {};
    }
    return std::string(before) + word.Word;
}

}  // namespace

std::vector<QueryWord> QueryWords(const WordSplitter& splitter, std::string_view query) {
    // The tokenizer reads UTF-8; stray bytes of a query are no part of a word.
    const std::string text = DropInvalidUtf8(query);
    std::vector<QueryWord> words;
    IdentifierRun run;
    std::string previousStem;
    HeadingWords heading;
    // The word before, and where it stands in `words`, for a join (OtherWords).
    std::string previousWord;
    size_t previousAt = SIZE_MAX;
    splitter.Split(text, [&](const WordSplitter::Word& word) {
        run.Add(text, word);
        heading.Add(word.Stem);
        QueryWord found;
        found.Word = word.Folded;
        if (!previousStem.empty() && word.Stem.size() >= 2) {
            found.Pair = previousStem + kPairMark + std::string(word.Stem);
        }
        previousStem = word.Stem.size() < 2 ? std::string() : std::string(word.Stem);
        run.ForEachJoined([&](const std::string& joined) { found.Whole = joined; });
        const std::string joined = JoinedWords(previousWord, found);
        const auto known = std::find_if(words.begin(), words.end(), [&](const QueryWord& other) {
            return other.Word == found.Word && other.Whole == found.Whole;
        });
        const size_t at = static_cast<size_t>(known - words.begin());
        if (!joined.empty()) {
            if (previousAt < words.size()) words[previousAt].OtherWords.push_back(joined);
            if (known != words.end()) known->OtherWords.push_back(joined);
            found.OtherWords.push_back(joined);
        }
        previousWord = found.Whole.empty() ? found.Word : std::string();
        previousAt = at;
        if (known != words.end()) return true;
        const auto* spelling =
            std::find_if(std::begin(kOtherSpellings), std::end(kOtherSpellings),
                         [&](const OtherSpelling& other) { return other.Word == word.Folded; });
        // Porter leaves words shorter than three letters alone.
        if (spelling != std::end(kOtherSpellings)) {
            found.Forms.assign(std::begin(spelling->Spellings), std::end(spelling->Spellings));
        } else if (word.Stem != word.Folded) {
            found.Forms = {kStemMark + std::string(word.Stem)};
            if (IsInflectionOf(word.Folded, word.Stem)) found.Forms.emplace_back(word.Stem);
            // "adding" and "added" stem to "ad", "add" to itself.
            const std::string doubled = std::string(word.Stem) + word.Stem.back();
            if (EndsInDoubledConsonant(doubled) && word.Folded.starts_with(doubled)) {
                found.Forms.push_back(kStemMark + doubled);
            }
        } else if (word.Folded.size() >= 3) {
            found.Forms = {kStemMark + std::string(word.Folded)};
            if (EndsInDoubledConsonant(word.Folded)) {
                found.Forms.push_back(kStemMark +
                                      std::string(word.Folded.substr(0, word.Folded.size() - 1)));
            }
        }
        const auto* readers =
            std::find_if(std::begin(kReadersWords), std::end(kReadersWords),
                         [&](const ReadersWord& other) { return other.Word == word.Folded; });
        if (readers != std::end(kReadersWords)) {
            for (const std::string_view written : readers->Written) {
                splitter.Split(written, [&](const WordSplitter::Word& form) {
                    found.Forms.emplace_back(form.Folded);
                    found.Forms.push_back(kStemMark + std::string(form.Stem));
                    return false;
                });
            }
        }
        found.Numbers = OtherNumbers(word.Folded);
        found.Splits = SplitPairs(splitter, word.Folded);
        words.push_back(std::move(found));
        return words.size() < kMaxQueryTerms;
    });
    if (!words.empty()) words.back().Heading = heading.Take();
    const size_t space = text.find_first_of(" \t\r\n", text.find_first_not_of(" \t\r\n"));
    if (!words.empty() && (space == std::string::npos ||
                           text.find_first_not_of(" \t\r\n", space) == std::string::npos)) {
        words.back().Defined = kDefinedMark;
        for (const QueryWord& word : words) words.back().Defined += word.Word;
    }
    // A version asked for (`1.1`) is found where it stands whole, not where
    // its parts stand apart ("1.4", "1 of 2").
    for (size_t first = 0; first + 1 < words.size(); ++first) {
        if (!AllDigits(words[first].Word) || !words[first].Whole.empty()) continue;
        const auto numberPart = [&](size_t part) {
            return part < words.size() && AllDigits(words[part].Word) && !words[part].Whole.empty();
        };
        if (numberPart(first + 1)) words[first].Number = words[first + 1].Whole;
        for (size_t part = first + 1; numberPart(part); ++part) {
            words[part].Number = words[part].Whole;
        }
    }
    const bool anyAsked = std::any_of(words.begin(), words.end(), [](const QueryWord& word) {
        return !word.Whole.empty() || !IsSmallWord(word.Word);
    });
    for (QueryWord& word : words)
        word.Optional = anyAsked && word.Whole.empty() && IsSmallWord(word.Word);
    for (QueryWord& word : words) {
        const auto* shortForm =
            std::find_if(std::begin(kShortForms), std::end(kShortForms),
                         [&](const ShortForm& form) { return form.Word == word.Word; });
        if (shortForm == std::end(kShortForms)) continue;
        for (const std::string_view spelled : shortForm->Long) {
            if (!spelled.empty()) word.OtherWords.emplace_back(spelled);
        }
    }
    // A site's release notes asked for by one of their names ("changelog")
    // are found by the others ("Changes"); a query of more words about them
    // ("release history") says more than any one name.
    const auto asked = std::count_if(words.begin(), words.end(), [](const QueryWord& word) {
        return !word.Optional && word.Word.size() > 1;
    });
    if (asked == 1 && AsksForReleaseNotes(words)) {
        for (QueryWord& word : words) {
            if (word.Optional || word.Word.size() < 2) continue;
            for (const std::string_view name : kReleaseNotesNames) {
                if (name != word.Word) word.OtherWords.emplace_back(name);
            }
        }
    }
    return words;
}

bool AsksForReleaseNotes(const std::vector<QueryWord>& words) {
    bool asked = false;
    for (const QueryWord& word : words) {
        if (word.Optional) continue;
        // The "s" of "what's new".
        if (!word.Whole.empty() ||
            (word.Word.size() > 1 &&
             std::find(std::begin(kReleaseNotesWords), std::end(kReleaseNotesWords), word.Word) ==
                 std::end(kReleaseNotesWords))) {
            return false;
        }
        asked = asked || word.Word.size() > 1;
    }
    return asked;
}

bool FindsAsItStands(const QueryWord& query, const WordSplitter::Word& word) {
    const auto in = [&](const std::vector<std::string>& forms) {
        return std::find(forms.begin(), forms.end(), word.Folded) != forms.end();
    };
    return word.Folded == query.Word || in(query.Numbers) || in(query.OtherWords);
}

bool Finds(const QueryWord& query, const WordSplitter::Word& word) {
    if (FindsAsItStands(query, word)) return true;
    return std::any_of(query.Forms.begin(), query.Forms.end(), [&](const std::string& form) {
        return form.starts_with(kStemMark) ? std::string_view(form).substr(1) == word.Stem
                                           : form == word.Folded;
    });
}

std::vector<std::string> OtherNumbers(std::string_view folded) {
    std::vector<std::string> numbers;
    // Short words ("is", "as", "bus") and identifiers keep their one form.
    if (folded.size() < 4 || !AllLetters(folded)) return numbers;
    const std::string word(folded);
    const auto ends = [&](std::string_view end) { return folded.ends_with(end); };
    const auto vowel = [](char c) {
        return std::string_view("aeiou").find(c) != std::string_view::npos;
    };
    if (ends("ices")) {
        // Latin plurals (matrices, indices, vertices); a noun in -ice's own.
        numbers.push_back(word.substr(0, word.size() - 4) + "ix");
        numbers.push_back(word.substr(0, word.size() - 4) + "ex");
        numbers.push_back(word.substr(0, word.size() - 1));  // devices
    } else if (ends("ies")) {
        numbers.push_back(word.substr(0, word.size() - 3) + "y");  // libraries
    } else if (ends("sses") || ends("xes") || ends("ches") || ends("shes") || ends("zes")) {
        numbers.push_back(word.substr(0, word.size() - 2));  // classes, indexes
        numbers.push_back(word.substr(0, word.size() - 1));  // caches
    } else if (ends("s") && !ends("ss") && !ends("us") && !ends("is")) {
        numbers.push_back(word.substr(0, word.size() - 1));  // arrays
    } else if (!ends("s")) {
        if (ends("y") && !vowel(folded[folded.size() - 2])) {
            numbers.push_back(word.substr(0, word.size() - 1) + "ies");
        } else if (ends("x") || ends("ch") || ends("sh") || ends("z")) {
            numbers.push_back(word + "es");
            // and the Latin plural: matrix, index, vertex
            if (ends("ix") || ends("ex"))
                numbers.push_back(word.substr(0, word.size() - 2) + "ices");
        } else {
            numbers.push_back(word + "s");
        }
    } else {
        numbers.push_back(word + "es");  // class, process
    }
    return numbers;
}
