// How text becomes index terms and a query becomes the words looked for:
// word forms, identifiers whole and in parts, pairs and whole short headings.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Search/IndexTerms.h"
#include "Search/NamedVersion.h"
#include "Search/PageText.h"
#include "Search/SearchIndex.h"
#include "Search/Sqlite.h"

namespace {

// A query's words as "word ~forms... =whole +pair heading ^defined", one per
// word.
std::string Shown(const std::vector<QueryWord>& words) {
    std::string shown;
    for (const QueryWord& word : words) {
        if (!shown.empty()) shown += " | ";
        shown += word.Word;
        for (const std::string& form : word.Forms) shown += " " + form;
        if (!word.Whole.empty()) shown += " =" + word.Whole;
        if (!word.Pair.empty()) shown += " +" + word.Pair;
        if (!word.Heading.empty()) shown += " " + word.Heading;
        if (!word.Defined.empty()) shown += " " + word.Defined;
    }
    return shown;
}

class IndexTerms : public testing::Test {
  protected:
    Database database_ =
        OpenDatabase(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
    WordSplitter splitter_{database_.get()};
};

TEST_F(IndexTerms, TextBecomesWordsStemsAndIdentifierForms) {
    ASSERT_TRUE(splitter_.Ready());
    struct Case {
        const char* what;
        std::string text;
        bool pairs;
        std::string terms;
    };
    const Case cases[] = {
        {"words folded, stems marked where they differ", "Compiling the Indexes", false,
         "compiling ~compil the indexes ~index "},
        {"snake_case: parts, then each run joined", "read_to_string", false,
         "read to readto string tostring readtostring "},
        {"CamelCase and a path: parts and whole", "HashMap::new", false,
         "hashmap hash map new hashmapnew "},
        {"CamelCase of three parts: each inner run too, none from a one-letter prefix",
         "setStyleSheet QDebugState", false,
         "setstylesheet set style sheet setstyle stylesheet qdebugstate ~qdebugst q debug state "
         "debugstate "},
        {"an initialism's plural is one word", "BIFs", false, "bifs ~bif "},
        {"a hyphen joins", "UTF-8", false, "utf 8 utf8 "},
        {"spaces and other marks do not", "a b, c/d", false, "a b c d "},
        {"a language's mark stays with its one letter", "C++17, C# and F#; i++ but a+b, c#x", false,
         "c++ 17 c# and f# i++ but a b c x "},
        {"diacritics go", "Caf\xC3\xA9", false, "cafe "},
        {"pairs of stems in a heading, not across its end; a short heading whole, without its "
         "number",
         "8.3. Handling Exceptions\x1FMore", true,
         "8 3 83 handling ~handl exceptions ~except handl+except more =handl+except "},
        {"no pair with a word of one letter", "spawn a thread", true,
         "spawn a thread =spawn+a+thread "},
    };
    for (const Case& c : cases) {
        std::string terms;
        AppendIndexTerms(splitter_, c.text, terms, c.pairs);
        EXPECT_EQ(terms, c.terms) << c.what;
    }
    // A defined name: its last part, its last two and the whole, each joined.
    std::string defined;
    AppendDefinedTerms(splitter_, "flask.Flask.before_request", defined);
    AppendDefinedTerms(splitter_, "py:function", defined);
    EXPECT_EQ(defined,
              "^beforerequest ^flaskbeforerequest ^flaskflaskbeforerequest ^function ^pyfunction ");
    WordCounts counts;
    std::string terms;
    AppendIndexTerms(splitter_, "to be or not to be", terms, false, &counts);
    EXPECT_EQ(counts["be"], 2u);
    EXPECT_EQ(counts["or"], 1u);
}

TEST_F(IndexTerms, QueryWordsAndTheFormsThatFindThem) {
    struct Case {
        const char* what;
        std::string query;
        std::string words;
    };
    const Case cases[] = {
        {"an inflected word: its stem, and the stem as a word", "indexes",
         "indexes ~index index ^indexes"},
        {"a word that is its own stem: other forms of it", "index", "index ~index ^index"},
        {"a stem that only starts the word is no form of it", "iterator",
         "iterator ~iter ^iterator"},
        {"a word of two letters has no forms", "io", "io ^io"},
        {"a doubled consonant the stemmer undoubles: both stems", "add adding",
         "add ~add ~ad | adding ~ad ad ~add +add+ad =add+ad"},
        {"utf8 is one word", "utf8", "utf8 ~utf8 ^utf8"},
        {"UTF-8 in parts and whole", "UTF-8", "utf ~utf | 8 =utf8 ^utf8"},
        {"an identifier's parts, then each whole", "HashMap::new",
         "hashmap ~hashmap | new ~new =hashmapnew +hashmap+new =hashmap+new ^hashmapnew"},
        {"two words: a pair, and the query as a heading", "handling exceptions",
         "handling ~handl handl | exceptions ~except +handl+except =handl+except"},
        {"c++ is a word of its own", "c++ standard",
         "c++ cxx cpp | standard ~standard +c+++standard =c+++standard"},
        {"a word asked twice counts once", "vec Vec", "vec ~vec =vec+vec"},
        {"a query written as one name: its defined name", "py:function",
         "py | function ~function +py+function =py+function ^pyfunction"},
        {"query syntax is no word", "\"light*\" AND (x",
         "light ~light | and ~and +light+and | x =light+and+x"},
    };
    for (const Case& c : cases) EXPECT_EQ(Shown(QueryWords(splitter_, c.query)), c.words) << c.what;
    // A word written as two is found by their pair, each way it can be cut;
    // the second part may be a particle of two letters.
    const std::vector<QueryWord> compound = QueryWords(splitter_, "stylesheet groupby dict");
    ASSERT_EQ(compound.size(), 3u);
    EXPECT_EQ(compound[0].Splits.size(), 6u);
    EXPECT_NE(std::find(compound[0].Splits.begin(), compound[0].Splits.end(), "style+sheet"),
              compound[0].Splits.end());
    EXPECT_NE(std::find(compound[1].Splits.begin(), compound[1].Splits.end(), "group+by"),
              compound[1].Splits.end());
    EXPECT_TRUE(compound[2].Splits.empty());
    // The words a question is put in, its verb "use" too, are optional.
    std::vector<bool> optional;
    for (const QueryWord& word : QueryWords(splitter_, "how do I use channels")) {
        optional.push_back(word.Optional);
    }
    EXPECT_EQ(optional, (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(
        QueryWords(splitter_, std::string(100, 'a') + std::string(40, ' ') + "x x x x").size(), 2u);
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += 'w';
        many += std::to_string(i);
        many += ' ';
    }
    EXPECT_EQ(QueryWords(splitter_, many).size(), kMaxQueryTerms);
}

// A word is often on a page when it is there five times, and on a long page
// when it is at least one word in a thousand: a changelog holds every word
// five times.
TEST_F(IndexTerms, AWordIsOftenOnAPageByItsShareOfThePage) {
    const auto often = [&](size_t otherWords) {
        PageText page;
        for (int i = 0; i < 5; ++i) page.Text += "frob ";
        for (size_t i = 0; i < otherWords; ++i) page.Text += "word ";
        const std::string terms =
            " " + IndexedPageOf(splitter_, page).Terms[static_cast<size_t>(Field::Often)];
        return terms.find(" frob ") != std::string::npos;
    };
    EXPECT_TRUE(often(3));
    EXPECT_TRUE(often(4995));
    EXPECT_FALSE(often(6000));
}

// A title names the version asked only where it stands whole: not as the
// end of another number, nor as the start of a longer one.
TEST_F(IndexTerms, ATitleNamesTheVersionAskedOnlyWhole) {
    const std::vector<std::string> asked = AskedVersion(QueryWords(splitter_, "what's new in 3.4"));
    ASSERT_EQ(asked, (std::vector<std::string>{"3", "4"}));
    EXPECT_TRUE(AskedVersion(QueryWords(splitter_, "python 3 and sha256")).empty());
    struct Case {
        const char* name;
        VersionNamed named;
    };
    const Case cases[] = {
        {"Release Notes for v.3.4", VersionNamed::Asked},
        {"RELEASE_NOTES_v3.4.x", VersionNamed::Asked},
        {"What's new in 2.7 and 3.4", VersionNamed::Asked},
        {"What's new in 13.4", VersionNamed::Other},
        {"Changes in 1.3.4", VersionNamed::Other},
        {"Version 3.40", VersionNamed::Other},
        {"Version 3.4.1", VersionNamed::None},
        {"Version 3", VersionNamed::None},
        {"Tutorial", VersionNamed::None},
    };
    for (const Case& c : cases) EXPECT_EQ(VersionNamedIn(c.name, asked), c.named) << c.name;
}

TEST(OtherNumbers, TheSingularOfAPluralAndThePluralsOfASingular) {
    struct Case {
        const char* word;
        std::vector<std::string> numbers;
    };
    const Case cases[] = {
        {"array", {"arrays"}},
        {"arrays", {"array"}},
        {"keys", {"key"}},
        {"library", {"libraries"}},
        {"libraries", {"library"}},
        {"index", {"indexes", "indices"}},
        {"matrices", {"matrix", "matrex", "matrice"}},
        {"devices", {"devix", "devex", "device"}},
        {"classes", {"class", "classe"}},
        {"status", {"statuses"}},
        {"is", {}},
        {"utf8", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(OtherNumbers(c.word), c.numbers) << c.word;
}

}  // namespace
