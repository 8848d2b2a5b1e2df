// The terms the index keeps of a text, and the forms in which a query's words
// are looked for: words as they stand, their English stems, and identifiers
// whole and in parts, so that `compiling` finds "compile", `utf8` finds
// "UTF-8" and `hash map` finds "HashMap".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Search/WordSplitter.h"

// Words of a query used at most: more only slow the search down.
inline constexpr size_t kMaxQueryTerms = 16;

// Starts a stem in the index: no word starts with it, so a stem never stands
// for the word of the same letters, and a word found as it stands ranks above
// one found by its stem.
inline constexpr char kStemMark = '~';

// Appends the terms of `text` to `terms`, each followed by a space: every word
// folded; its stem, marked, where it differs; the parts of a word written in
// CamelCase; and for words joined by "_", "-", "." or "::" (an identifier),
// each run of two to four of them joined into one word (`read_to_string`:
// "readtostring", `UTF-8`: "utf8").
// With `pairs`, each two words in a row as one term too, by their stems
// joined with kPairMark, and each short heading whole (kHeadingMark): for
// titles and headings, where words that stand together ("Handling
// Exceptions") say more than the same words apart.
// When `counts` is given, each folded word's count in `text` is added to it.
using WordCounts = std::unordered_map<std::string, uint32_t>;
void AppendIndexTerms(const WordSplitter& splitter, std::string_view text, std::string& terms,
                      bool pairs = false, WordCounts* counts = nullptr);

// The parts of a word written in CamelCase (`HashMap`: hash, map;
// `HTTPServer`: http, server), folded; none for any other word.
std::vector<std::string> CamelParts(std::string_view original);

// Joins the stems of two words in a row into a pair term: no word holds it.
inline constexpr char kPairMark = '+';

// Starts the term of a whole short heading (its stems joined with kPairMark,
// section numbers left out): a page with a section named just as the query
// asks ("Handling Exceptions") is about it. No word holds it either.
inline constexpr char kHeadingMark = '=';
inline constexpr size_t kMaxHeadingWords = 6;

// Starts the term of a name a definition term defines (DefinedName), its
// words joined: the page that defines `before_request` holds
// "^beforerequest", and "^flaskbeforerequest" for "flask.Flask.before_request",
// its last one and two parts and the whole. No word holds it.
inline constexpr char kDefinedMark = '^';
void AppendDefinedTerms(const WordSplitter& splitter, std::string_view name, std::string& terms);

struct QueryWord {
    std::string Word;                // folded: found as it stands
    std::vector<std::string> Forms;  // found by its stem: ranked below Word
    // The word in the other number ("arrays" of "array", "class" of
    // "classes"): found as it stands, as Word is.
    std::vector<std::string> Numbers;
    // The word written as two (`stylesheet`: "style sheet", `namespace`:
    // "name space"): the pair term of each way to cut it, found as the word
    // itself. Pair terms stand for titles and headings only.
    std::vector<std::string> Splits;
    // Other words a page may write for it, found as it stands: the word
    // joined to the one before or after it ("log in": `login`, "set up":
    // `setup`, "web socket": `websocket`); a short form's long ones ("app":
    // application); what else a site may call its release notes, of a query
    // that asks for them (AsksForReleaseNotes).
    std::vector<std::string> OtherWords;
    std::string Whole;  // the identifier the word ends, joined; empty when none
    // Of a part of a dotted number (`1.1`, `3.10.2`): the number to its part,
    // or to the second for the first, joined; found in place of the part,
    // which alone says nothing ("1" of "1.4"). Else empty.
    std::string Number;
    std::string Pair;     // this word and the one before as a pair term; empty for the first
    std::string Heading;  // of the last word: the whole query as a heading's term; else empty
    // Of the last word of a query written as one name (no space:
    // `before_request`, `py:function`): its defined name's term
    // (kDefinedMark); else empty.
    std::string Defined;
    // A small word of the language (`an`, `the`, `can`): a page that holds it
    // ranks higher, one without it is found all the same. Never every word of
    // a query.
    bool Optional = false;
};

// The distinct words of a query, at most kMaxQueryTerms, in order.
std::vector<QueryWord> QueryWords(const WordSplitter& splitter, std::string_view query);

// Whether a query asks for the site's release notes and nothing else: its
// words are all what readers call them ("changelog", "release notes",
// "what's new"), whatever the site does ("Changes", "History").
bool AsksForReleaseNotes(const std::vector<QueryWord>& words);

// Whether a word of a text is one the query asks for, as it stands or by its
// stem; and as it stands (or in the other number) only.
bool Finds(const QueryWord& query, const WordSplitter::Word& word);
bool FindsAsItStands(const QueryWord& query, const WordSplitter::Word& word);

// Whether a folded word is digits alone: a number, or a part of one.
bool AllDigits(std::string_view folded);

// An English word in the other number: plurals of a singular, the singular
// of a plural; some of them no words.
std::vector<std::string> OtherNumbers(std::string_view folded);
