// Queries from a browser's search box, hostile ones included, against a small
// site: always a page (possibly without results), never an error, crash or
// hang. And the index kept in the cache folder for the next run.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Search/IndexBuilder.h"
#include "Search/IndexCache.h"
#include "Search/IndexTerms.h"
#include "Search/SearchIndex.h"
#include "Search/SearchPages.h"
#include "Search/SiteSearch.h"
#include "Search/Sqlite.h"
#include "Search/WordSplitter.h"
#include "tests/support/TestFiles.h"

using testing_support::TempDir;

namespace {

// A site of these pages (name, content), read from memory.
SearchSource SourceOf(const std::vector<std::pair<std::string, std::string>>& pages) {
    SearchSource source;
    for (const auto& [name, content] : pages) {
        source.Names.push_back(name);
        source.Sizes.push_back(static_cast<uint32_t>(content.size()));
    }
    source.ReadContent = [pages](uint32_t entry, size_t limit, std::string& content) {
        content = pages[entry].second.substr(0, limit);
        return true;
    };
    return source;
}

SearchSource SmallSite() {
    const std::vector<std::pair<std::string, std::string>> pages = {
        {"index.html", "<title>Harbour guide</title><p>Lighthouses and tides of the coast.</p>"},
        {"guide/lighthouses.html",
         "<title>The lighthouse</title><p>Every lighthouse has its own light AND near it the "
         "beacon.</p>"},
        {"guide/tides.htm", "<h1>Tides</h1><p>High and low water, twice a day.</p>"},
        {"notes.txt", "Tides near the lighthouse: see the table."},
        {"style.css", "lighthouse { color: red }"},
    };
    return SourceOf(pages);
}

std::vector<std::string> PathsOf(const SearchAnswer& answer) {
    std::vector<std::string> paths;
    for (const SearchHit& hit : answer.Hits) paths.push_back(hit.Path);
    return paths;
}

SearchAnswer AskRaw(const SiteSearch& search, const std::string& queryString) {
    const SearchRequest request = ParseSearchQuery(queryString);
    return search.Ask(request.Query, request.Page);
}

TEST(SearchQuery, EveryQueryGivesAPageAndOperatorsAreWords) {
    SiteSearch search(SmallSite(), {}, [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();

    struct Case {
        const char* what;
        std::string queryString;
        std::vector<std::string> paths;  // in rank order
    };
    const std::string longQuery = "q=" + std::string(100 * 1024, 'a');
    const std::string manySpaces = "q=tides" + std::string(100 * 1024, '+') + "lighthouse";
    const Case cases[] = {
        {"a word: the page named after it first, then other forms of it",
         "q=lighthouse",
         {"guide/lighthouses.html", "notes.txt", "index.html"}},
        {"as pages with every word are few, those named after one of them among them, and "
         "then those that only hold some",
         "q=tides+lighthouse",
         {"guide/tides.htm", "guide/lighthouses.html", "notes.txt", "index.html"}},
        {"percent-decoded, any case", "q=%54IDES", {"guide/tides.htm", "notes.txt", "index.html"}},
        {"empty", "q=", {}},
        {"no q at all", "", {}},
        {"100 KB", longQuery, {}},
        {"cut at its limit", manySpaces, {"guide/tides.htm", "notes.txt", "index.html"}},
        {"a lone quote", "q=%22", {}},
        {"unbalanced quotes",
         "q=%22lighthouse",
         {"guide/lighthouses.html", "notes.txt", "index.html"}},
        {"a star", "q=light*", {"guide/lighthouses.html"}},
        {"a lone star", "q=*", {}},
        {"NEAR as a word",
         "q=NEAR(lighthouse+tides)",
         {"guide/lighthouses.html", "notes.txt", "guide/tides.htm", "index.html"}},
        {"AND as a word",
         "q=light+AND+beacon",
         {"guide/lighthouses.html", "guide/tides.htm", "index.html"}},
        {"OR and NOT as words",
         "q=tides+OR+NOT+water",
         {"guide/tides.htm", "notes.txt", "index.html"}},
        {"unbalanced parentheses", "q=((tides", {"guide/tides.htm", "notes.txt", "index.html"}},
        {"column filter syntax",
         "q=title:tides+-text:x",
         {"guide/tides.htm", "notes.txt", "index.html"}},
        {"caret and plus", "q=^tides+%2Bwater", {"guide/tides.htm", "notes.txt", "index.html"}},
        {"bytes that are not UTF-8",
         "q=%FF%FEtides%C3",
         {"guide/tides.htm", "notes.txt", "index.html"}},
        {"a NUL byte", "q=tides%00water", {"guide/tides.htm", "notes.txt", "index.html"}},
        {"a bad escape", "q=%zz%4", {}},
        {"a page past the results", "q=tides&page=7", {}},
        {"a page that is no number",
         "q=tides&page=-1x",
         {"guide/tides.htm", "notes.txt", "index.html"}},
        {"a huge page number",
         "q=tides&page=99999999999999999999",
         {"guide/tides.htm", "notes.txt", "index.html"}},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const SearchAnswer answer = AskRaw(search, c.queryString);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << c.what;
        EXPECT_EQ(answer.State, IndexState::Ready) << c.what;
        EXPECT_EQ(PathsOf(answer), c.paths) << c.what;
        EXPECT_LE(answer.Query.size(), kMaxQueryBytes) << c.what;
        const std::string html = SearchResultsHtml(answer);
        EXPECT_NE(html.find("<input type=\"search\" name=\"q\""), std::string::npos) << c.what;
        EXPECT_EQ(html.find("fts5"), std::string::npos) << c.what;
        EXPECT_TRUE(SearchResultsJson(answer).starts_with("{\"query\": \"")) << c.what;
    }
}

TEST(SearchQuery, ArchiveTextIsEscapedAndWordsAreMarked) {
    SearchSource source;
    source.Names = {"a&b/<x>.html"};
    const std::string page =
        "<title>&lt;script&gt;alert(1)&lt;/script&gt; \"q\"</title>"
        "<p>before the tides &amp; after</p>";
    source.Sizes = {static_cast<uint32_t>(page.size())};
    source.ReadContent = [page](uint32_t, size_t, std::string& content) {
        content = page;
        return true;
    };
    SiteSearch search(std::move(source), {}, [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();
    const SearchAnswer answer = search.Ask("tides \"<&", 1);
    ASSERT_EQ(answer.Hits.size(), 1u);
    const std::string html = SearchResultsHtml(answer);
    EXPECT_NE(html.find("<a href=\"/a%26b/%3Cx%3E.html\">&lt;script&gt;alert(1)&lt;/script&gt; "
                        "&quot;q&quot;</a>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("value=\"tides &quot;&lt;&amp;\""), std::string::npos) << html;
    EXPECT_NE(html.find("before the <mark>tides</mark> &amp; after"), std::string::npos) << html;
    EXPECT_EQ(SearchResultsJson(answer),
              "{\"query\": \"tides \\\"<&\", \"total\": 1, \"ready\": true, \"results\": "
              "[{\"path\": \"a&b/<x>.html\", \"url\": \"/a%26b/%3Cx%3E.html\", "
              "\"title\": \"<script>alert(1)</script> \\\"q\\\"\", \"heading\": \"\", "
              "\"snippet\": \"before the tides & after\"}]}\n");
}

TEST(SearchQuery, TheIndexIsKeptForTheSameArchiveOnly) {
    TempDir cache;
    const std::string folder = (cache.path() / "pelorine").string();
    std::vector<std::string> notes;
    const auto note = [&](const std::string& line) { notes.push_back(line); };
    {
        SiteSearch first(SmallSite(), {"archive-1", folder, 2, ""}, note);
        first.Start();
        first.WaitUntilSettled();
        EXPECT_EQ(PathsOf(first.Ask("beacon", 1)),
                  std::vector<std::string>{"guide/lighthouses.html"});
    }
    std::vector<std::string> files;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        files.push_back(file.path().filename().string());
    }
    EXPECT_EQ(files, std::vector<std::string>{IndexFileName("", "archive-1")});

    // The same archive: ready at once, without reading a page.
    SearchSource unreadable = SmallSite();
    unreadable.ReadContent = [](uint32_t, size_t, std::string&) { return false; };
    SiteSearch again(unreadable, {"archive-1", folder, 2, ""}, note);
    again.Start();
    EXPECT_EQ(again.Ask("beacon", 1).State, IndexState::Ready);
    EXPECT_EQ(again.AskAll("beacon").Total, 1u);

    // A changed archive never sees the old index. An index of an earlier
    // format for the same place goes when the new one is built.
    const std::string current = IndexFileName("", "archive-1");
    const std::string older = "search-" + std::to_string(kIndexFormat - 1) +
                              current.substr(current.find('-', std::string("search-").size()));
    testing_support::WriteBytes((std::filesystem::path(folder) / older).string(), "old");
    SiteSearch changed(unreadable, {"archive-2", folder, 2, ""}, note);
    changed.Start();
    changed.WaitUntilSettled();
    EXPECT_EQ(changed.AskAll("beacon").Total, 0u);
    EXPECT_TRUE(notes.empty());

    // One index is kept per archive: the changed one's replaces the first's;
    // an archive at another place keeps its own.
    SiteSearch elsewhere(SmallSite(), {"archive-1", folder, 2, "other.pel"}, note);
    elsewhere.Start();
    elsewhere.WaitUntilSettled();
    std::set<std::string> kept;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        kept.insert(file.path().filename().string());
    }
    EXPECT_EQ(kept, (std::set<std::string>{IndexFileName("", "archive-2"),
                                           IndexFileName("other.pel", "archive-1")}));

    // A folder that cannot be written: an index in memory, and a line saying so.
    const std::string blocked = (cache.path() / "file").string();
    testing_support::WriteBytes(blocked, "not a folder");
    SiteSearch inMemory(SmallSite(), {"archive-1", blocked + "/pelorine", 2, ""}, note);
    inMemory.Start();
    inMemory.WaitUntilSettled();
    EXPECT_EQ(inMemory.AskAll("beacon").Total, 1u);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_TRUE(notes[0].starts_with("The search index is kept in memory: cannot write " + blocked +
                                     "/pelorine"))
        << notes[0];
}

// A small documentation site in the shapes generators write: an API page
// with methods, a function named like one of them, a guide, a page that only
// moved, a page that mentions everything in passing, two pages of one name
// of which other pages link to one, a page named by its file only, a function
// whose first words say what it is, a function named by its module's path,
// a module's page, linked to, that sums up each of its functions in a row of
// a table under a heading of the same words, a page of all the others' words
// titled with the site's name alone, manual pages named after
// their program, each saying what it is under a heading "NAME",
// functions named in short beside guides that say the words in full, a name
// of what does a thing ("parser"), and a page of functions under headings,
// each after an anchor of its own.
// Twelve pages "PATH0.html" to "PATH11.html", titled "TITLE 0" to "TITLE 11",
// each with the same text: pages that hold a query's words in passing.
void AddNumberedPages(std::vector<std::pair<std::string, std::string>>& pages,
                      const std::string& path, const std::string& title, const std::string& text) {
    for (int number = 0; number < 12; ++number) {
        pages.emplace_back(
            path + std::to_string(number) + ".html",
            "<title>" + title + " " + std::to_string(number) + " - Demo</title>" + text);
    }
}

// Paragraphs "BEFORE0AFTER" to "BEFORE(COUNT-1)AFTER": a long page's text.
std::string NumberedParagraphs(int count, const std::string& before, const std::string& after) {
    std::string text;
    for (int number = 0; number < count; ++number) {
        text += "<p>" + before + std::to_string(number) + after + "</p>";
    }
    return text;
}

SearchSource DocumentationSite() {
    std::vector<std::pair<std::string, std::string>> pages = {
        {"api/struct.Buffer.html",
         "<title>Buffer in demo::io - Demo</title><nav class=\"sidebar\">read_to_string new "
         "compile utf8</nav><h1>Struct Buffer</h1>"
         "<p>A buffer of bytes read from a source, or sent over "
         "<a href=\"../library/channels.html#send\">y</a>.</p>"
         "<section id=\"method.new\"><h4>pub fn <a href=\"#method.new\">new</a>() -&gt; "
         "Buffer</h4><p>An empty buffer; see <code>Buffer::new</code>.</p></section>"
         "<section id=\"method.read_to_string\"><h4>pub fn read_to_string(&amp;mut self)</h4>"
         "<p>Reads the rest as text.</p></section>"},
        {"api/fn.read_to_string.html",
         "<title>read_to_string in demo::fs - Demo</title><h1>Function read_to_string</h1>"
         "<p>Reads a whole file into a string.</p>"},
        {"guide/compiling.html",
         "<title>Compiling your project - Demo</title><h1>Compiling your project</h1>"
         "<p>Run the compiler on the sources, <a href=\"../library/channels.html\">z</a>.</p>"},
        {"guide/encoding.html",
         "<title>Text encodings - Demo</title><h1>Text encodings</h1><p>Pages are text.</p>"
         "<h2 id=\"utf-8\">UTF-8</h2><p>Most pages are written in it.</p>"},
        {"guide/tour.html",
         "<title>A tour - Demo</title><h1>A tour</h1><p>You compile code, fill a buffer with "
         "Buffer::new, call read_to_string, write UTF-8, then join a path with "
         "demo.path.join.</p>"},
        {"old/buffer.html",
         "<meta http-equiv=\"refresh\" content=\"0; URL=../api/struct.Buffer.html\">"
         "<title>Buffer</title><p>Moved to Buffer.</p>"},
        {"guide/channels.html",
         "<title>Channels - Demo</title><h1>Channels</h1><p>Values sent between threads.</p>"},
        {"library/channels.html",
         "<title>Channels - Demo</title><h1>Channels</h1><p>Values sent between threads.</p>"},
        {"library/demo.path.html",
         "<title>demo.path \xE2\x80\x94 Paths</title><section id=\"module-demo.path\">"
         "<h1>demo.path \xE2\x80\x94 Paths</h1><p>Functions on paths.</p><dl>"
         "<dt id=\"demo.path.join\">demo.path.join(a, b)</dt><dd>Joins two paths.</dd></dl>"
         "</section>"},
        {"guide/static-files.html",
         "<title>Serving assets - Demo</title><h1>Serving assets</h1><h2>Where</h2>"
         "<p>Static files go beside the pages.</p>"},
        {"guide/deploy.html",
         "<title>Deploying - Demo</title><h1>Deploying</h1><h2>Steps</h2>"
         "<p>Copy the static files too.</p>"},
        {"api/fn.butter.html",
         "<title>butter in demo::signal - Demo</title><h1>Function butter</h1>"
         "<p>Butterworth filter design.</p>"},
        {"library/demo.stats.ttest.html",
         "<title>demo.stats.ttest - Demo</title><h1>demo.stats.ttest</h1><h2>Notes</h2>"
         "<p>Compares two samples with a t-test.</p>"},
        {"library/stats.html",
         "<title>Statistics - Demo</title><h1>Statistics</h1><h2>T-tests</h2>"
         "<p>A t-test compares two samples, see <a href=\"demo.integrate.html\">x</a>.</p>"},
        {"guide/signals.html",
         "<title>Signals - Demo</title><h1>Signals</h1><p>Signals in time.</p><h2>Filters</h2>"
         "<p>A Butterworth filter is one.</p>"},
        {"library/demo.integrate.html",
         "<title>Integration (demo.integrate) - Demo</title><h1>Integration</h1>"
         "<p>Integrating functions and equations.</p><h2>Solving initial value "
         "problems</h2><table><tr>"
         "<td><a href=\"demo.integrate.solve_ivp.html\">solve_ivp</a></td>"
         "<td>Solve an initial value problem.</td></tr></table>"},
        {"library/demo.integrate.solve_ivp.html",
         "<title>demo.integrate.solve_ivp - Demo</title><h1>demo.integrate.solve_ivp</h1>"
         "<p>Solve an initial value problem for a system of equations.</p>"
         "<p>It steps from the initial values.</p>"},
        {"guide/all.html",
         "<title>Demo</title><h1>Channels</h1><h2>Values between threads</h2>"
         "<p>Values sent between threads.</p><dl><dt>values.threads</dt><dd>Both.</dd></dl>"
         "<p>Values of threads: threads pass values, values wait for threads, threads hold "
         "values, values outlive threads.</p>"},
        {"man/frob-clean.html",
         "<title>frob-clean(1)</title><h1>frob-clean(1) Manual Page</h1><h2>NAME</h2>"
         "<p>frob-clean - Remove untracked files from the tree</p><h2>DESCRIPTION</h2>"
         "<p>Cleans the working tree.</p>"},
        {"man/frob-config.html",
         "<title>frob-config(1)</title><h1>frob-config(1) Manual Page</h1><h2>NAME</h2>"
         "<p>frob-config - Get and set options</p><h2>OPTIONS</h2><dl><dt>clean.untracked</dt>"
         "<dd>Whether to remove untracked files.</dd></dl>"},
        {"man/frobignore.html",
         "<title>frobignore(5)</title><h1>frobignore(5) Manual Page</h1><h2>NAME</h2>"
         "<p>frobignore - Files to ignore</p>"},
        {"man/frob-status.html",
         "<title>frob-status(1)</title><h1>frob-status(1) Manual Page</h1><h2>NAME</h2>"
         "<p>frob-status - Show the state of the tree</p><h2>IGNORED FILES</h2>"
         "<p>Files to ignore are shown too.</p>"},
        {"library/demo.stats.kde.html",
         "<title>demo.stats.kde - Demo</title><h1>demo.stats.kde</h1>"
         "<p>Smooths samples with bumps.</p><h2>Kernel density estimation</h2>"
         "<p>The kernel density estimation of the samples.</p>"},
        {"guide/smoothing.html",
         "<title>Smoothing - Demo</title><h1>Smoothing</h1><h2>Kernel density estimation</h2>"
         "<p>Kernel density estimation smooths samples.</p>"},
        {"library/demo.esm.html",
         "<title>demo.esm - Demo</title><h1>demo.esm</h1><p>Loads code.</p><h2>Modules</h2>"
         "<p>ES modules load code.</p>"},
        {"guide/packages.html",
         "<title>Packages - Demo</title><h1>Packages</h1><p>Packages hold ES modules.</p>"},
        {"guide/howto-docs.html",
         "<title>How to build the docs - Demo</title><h1>How to build the docs</h1>"
         "<p>Run make in the folder.</p>"},
        {"guide/docs.html",
         "<title>Docs - Demo</title><h1>Docs</h1><h2>How do I build</h2><p>I do it: build "
         "the docs with make, and do check how they read.</p>"},
        {"library/demo.optionparser.html",
         "<title>Command line option parser - Demo</title><h1>Command line option parser</h1>"
         "<p>Reads what a program is given. It parses options.</p>"},
        {"library/demo.commandline.html",
         "<title>CommandLine - Demo</title><h1>CommandLine</h1>"
         "<p>Parse the options of the command line.</p>"},
        {"library/streams.html",
         "<title>Streams - Demo</title><h1>Streams</h1><p>Functions on streams.</p><div>"
         "<a name=\"demo-read-to-end\"></a><h3>demo_read_to_end ()</h3><p>Reads it all.</p>"
         "<a name=\"demo-read-end\"></a><h3>demo_read_end ()</h3><p>Reads the last.</p></div>"},
        {"library/demo.stats.norm.html",
         "<title>demo.stats.norm - Demo</title><h1>demo.stats.norm</h1>"
         "<p>A normal random variable: its distribution.</p><h2>Distribution</h2>"
         "<p>Its shape.</p>"},
        {"man/rotatelogs.html",
         "<title>rotatelogs - Demo</title><h1>rotatelogs</h1><p>Piped logging program to rotate "
         "logs.</p>"},
        {"guide/logs.html",
         "<title>Log files - Demo</title><h1>Log files</h1>"
         "<p>Rotate logs often: logs grow, and rotated logs can be read.</p>"},
        {"guide/sampling.html",
         "<title>Sampling - Demo</title><h1>Sampling</h1>"
         "<p>Draw from a normal distribution.</p>"},
        {"guide/submarine.html",
         "<title>Submarine - Demo</title><h1>Submarine</h1><h2>Periscope</h2><p>It rises "
         "above the water.</p><h2>Glass</h2><p>The lens is ground.</p><h2>Tilt</h2><p>The "
         "hull may tilt in a storm.</p>"},
        {"guide/sighting.html",
         "<title>Sighting - Demo</title><h1>Sighting</h1><p>Finding a ship at sea takes "
         "patience: the watch keeps to a slow sweep of the horizon, from the bow round to the "
         "stern, and back, for as long as the boat stays at depth.</p><p>Tilt the periscope "
         "until the lens shows the horizon.</p>"},
        {"guide/resources.html",
         "<title>Resources - Demo</title><h1>Resources</h1>"
         "<p>Pictures kept inside the program itself.</p>"},
        {"api/prepare.html",
         "<title>Compiling a statement - Demo</title><h1>Compiling a statement</h1>"
         "<pre>int demo_prepare_v2(const char *sql);</pre><p>Turns text into a program.</p>"
         "<p>Call demo_prepare_v2() first. It reads the text up to its end, checks every "
         "name it holds against the schema, and writes the steps of a program that does "
         "what the text asks, for the caller to run as often as it needs.</p>"},
        {"api/step.html",
         "<title>Stepping - Demo</title><h1>Stepping</h1><p>Runs what demo_prepare_v2() "
         "made.</p>"},
    };
    // A reference page of two hundred options, each a heading: it holds
    // most words as a heading of one of them.
    std::string options = "<title>Every option - Demo</title><h1>Every option</h1>";
    for (int option = 0; option < 200; ++option) {
        options += "<h3>option" + std::to_string(option) + "</h3><p>Sets a value.</p>";
    }
    options += "<h3>ferry</h3><p>The timetable of the ferry.</p>";
    pages.emplace_back("ref/options.html", options);
    pages.emplace_back("guide/crossing.html",
                       "<title>Crossing - Demo</title><h1>Crossing</h1><p>Where to board.</p>"
                       "<h2>Times</h2><p>Read the timetable: the ferry leaves hourly.</p>");
    // A site's one API page: hundreds of definitions, one of them the
    // function a guide titled with a part of its name uses in passing.
    std::string api = "<title>API - Demo</title><h1>API</h1><h2>URL routes</h2><dl>";
    for (int function = 0; function < 300; ++function) {
        const std::string name = "demo.helper" + std::to_string(function);
        api += "<dt id=\"" + name + "\">" + name + "(value)</dt><dd>Helps.</dd>";
    }
    api +=
        "<dt id=\"demo.url_for\">demo.url_for(endpoint)</dt><dd>Builds an address: "
        "<code>url_for('index')</code>.</dd></dl>";
    pages.emplace_back("api/index.html", api);
    pages.emplace_back("patterns/routing.html",
                       "<title>Routing - Demo</title><h1>Routing</h1><h2>Addresses</h2>"
                       "<p>Call url_for with the endpoint for its URL.</p>");
    // A method that writes a table as csv, in other words than a reader asks
    // for it, and many pages that hold all those words in passing.
    pages.emplace_back("api/demo.Table.to_csv.html",
                       "<title>demo.Table.to_csv - Demo</title><h1>demo.Table.to_csv</h1>"
                       "<p>Write the table to a comma-separated values (csv) file.</p>");
    AddNumberedPages(pages, "notes/release", "Release",
                     "<p>A table can now save its rows faster, and read csv from a url.</p>"
                     "<p>Demo 2.4</p>");
    // A guide that says "write" where a reader says "save", and a page that
    // says "save" of the same things in passing.
    pages.emplace_back("guide/parquet.html",
                       "<title>Parquet files - Demo</title><h1>Parquet files</h1><p>Writing "
                       "a frame to parquet keeps the types of its columns.</p>");
    pages.emplace_back("guide/formats.html",
                       "<title>File formats - Demo</title><h1>File formats</h1><p>A frame reads "
                       "csv, json and parquet; save it in any of them.</p>");
    // A guide to an error by its code, and release notes that mention the
    // code more often.
    pages.emplace_back("guide/errors.html",
                       "<title>Errors - Demo</title><h1>Errors</h1><p>To answer 404 for a "
                       "missing page, raise NotFound.</p>");
    pages.emplace_back("notes/release-fixes.html",
                       "<title>Release 13 - Demo</title><h1>Release 13</h1><h2>Answer 404 for a "
                       "missing page</h2><p>Fixed.</p>");
    // A directive defined among others, and a page of settings that writes
    // it more often, in its own settings' names too.
    pages.emplace_back("usage/directives.html",
                       "<title>Directives - Demo</title><h1>Directives</h1><p>Markup that builds "
                       "a document.</p><dl><dt id=\"directive-frobtree\">.. frobtree::</dt><dd>"
                       "Lists the documents below.</dd><dt id=\"directive-frobnote\">.. "
                       "frobnote::</dt><dd>A note.</dd></dl>");
    pages.emplace_back("usage/configuration.html",
                       "<title>Configuration - Demo</title><h1>Configuration</h1><p>The root "
                       "document holds the root <code>frobtree</code>.</p><dl><dt "
                       "id=\"confval-frobtree_only\">frobtree_only</dt><dd>Whether only the "
                       "<code>frobtree</code> is read.</dd><dt id=\"confval-frobdepth\">"
                       "frobdepth</dt><dd>How deep a frobtree goes.</dd></dl>");
    // A function and the method of the same name on a class of the module.
    pages.emplace_back("api/demo.Sheet.pivot_frame.html",
                       "<title>demo.Sheet.pivot_frame - Demo</title><h1>demo.Sheet.pivot_frame</h1>"
                       "<p>Pivots the sheet into a frame.</p>");
    pages.emplace_back("api/demo.pivot_frame.html",
                       "<title>demo.pivot_frame - Demo</title><h1>demo.pivot_frame</h1><p>Pivots "
                       "a sheet.</p>");
    // A C function named with a verb joined to what it reads, and a page
    // with the same words.
    pages.emplace_back("io/getline.html",
                       "<title>demo::getline - Demo</title><h1>demo::getline</h1><p>Reads "
                       "characters from an input stream until the end of the line.</p>");
    pages.emplace_back("io/streams.html",
                       "<title>Text streams - Demo</title><h1>Text streams</h1><p>Reads a line "
                       "of input from a text stream.</p>");
    // A function defined on its module's page, and the page of the module
    // its name ends with, which mentions it.
    pages.emplace_back("ref/frobs.html",
                       "<title>frobs - Demo</title><h1>frobs</h1><p>The built-in functions.</p>"
                       "<dl><dt id=\"list_to_blob-1\">list_to_blob(List) -&gt; blob()</dt><dd>"
                       "Returns a blob of the bytes in List.</dd><dt id=\"atom_to_list-1\">"
                       "atom_to_list(Atom) -&gt; string()</dt><dd>Returns its name.</dd></dl>");
    pages.emplace_back("ref/blob.html",
                       "<title>blob - Demo</title><h1>blob</h1><p>Functions on blobs; "
                       "<code>list_to_blob</code> makes one.</p><dl><dt id=\"split-2\">"
                       "split(Blob, Pattern) -&gt; [blob()]</dt><dd>Splits a blob.</dd><dt "
                       "id=\"first-1\">first(Blob) -&gt; byte()</dt><dd>Its first byte.</dd></dl>");
    // A standard's overview, and a page on one use of it whose first
    // sentence holds the query's words.
    pages.emplace_back("x509/index.html",
                       "<title>X.509 - Demo</title><h1>X.509</h1><p>X.509 is a standard for "
                       "public key data.</p><p>Load X.509 certificates with the loader.</p>");
    pages.emplace_back("x509/transparency.html",
                       "<title>Certificate Transparency - Demo</title><h1>Certificate "
                       "Transparency</h1><p>Logs that record X.509 certificates as they are "
                       "issued.</p>");
    // The deployment pages: their index, which names the servers, and one
    // server's page, which never says "deploy".
    pages.emplace_back("deploying/index.html",
                       "<title>Deploying to production - Demo</title><h1>Deploying to "
                       "production</h1><p>Ways to run the site.</p><ul><li><a "
                       "href=\"frobcorn.html\">Frobcorn</a></li></ul>");
    pages.emplace_back("deploying/frobcorn.html",
                       "<title>Frobcorn - Demo</title><h1>Frobcorn</h1><p>Frobcorn is a "
                       "server of sites. Install frobcorn, then run it.</p>");
    // A guide and a reference page of one name: a question in words means
    // the guide.
    pages.emplace_back("guide/frobbing.html",
                       "<title>Frobbing - Demo</title><h1>Frobbing widgets</h1><p>To "
                       "frob a widget, hold it still and turn its key twice: a widget frobbed "
                       "so keeps its shape.</p>");
    pages.emplace_back("api/frobbing.html",
                       "<title>Frobbing widgets - Demo</title><h1>Frobbing widgets</h1><dl>"
                       "<dt id=\"frob\">frob(widget)</dt><dd>Frobs a widget.</dd><dt "
                       "id=\"frob_all\">frob_all(widgets)</dt><dd>Frobs each.</dd><dt "
                       "id=\"unfrob\">unfrob(widget)</dt><dd>Undoes it.</dd><dt "
                       "id=\"frob_key\">frob_key(widget)</dt><dd>Its key.</dd><dt "
                       "id=\"frob_twice\">frob_twice(widget)</dt><dt "
                       "id=\"frob_count\">frob_count(widgets)</dt><dt "
                       "id=\"frob_shape\">frob_shape(widget)</dt><dt "
                       "id=\"frob_size\">frob_size(widget)</dt></dl>");
    // A release's notes, short, with a heading of the words a reader asks,
    // and the guide to what they changed.
    pages.emplace_back("releases/2.1.html",
                       "<title>What's new in Demo 2.1 - Demo</title><h1>What's new in Demo "
                       "2.1</h1><h2>Resize gizmos</h2><p>Gizmos resize without flicker.</p>");
    pages.emplace_back("guide/gizmos.html",
                       "<title>Containers - Demo</title><h1>Gizmos</h1><p>A gizmo holds widgets. "
                       "Call resize to change its size; the widgets follow.</p><p>Gizmos are "
                       "drawn at once, twice a second, and kept in a list.</p>");
    // The page on signing in, which writes "login", and one that holds the
    // words apart.
    pages.emplace_back(
        "guide/sessions.html",
        "<title>Sessions - Demo</title><h1>Sessions</h1><h2>Login</h2><p>A login form posts "
        "the user's password; the session keeps it.</p>");
    pages.emplace_back("guide/auditing.html",
                       "<title>Auditing - Demo</title><h1>Auditing</h1><p>Log each change in a "
                       "password file.</p>");
    // The page on a setting, which never says how it is turned on, and the
    // release notes, titled as some sites do, that say so in passing; a
    // guide that names the changelog.
    pages.emplace_back("api/connection.html",
                       "<title>Connections - Demo</title><h1>Connections</h1><h2>frobcommit</h2>"
                       "<p>With frobcommit, each change is kept at once; frobcommit is off at "
                       "first.</p>");
    std::string history = "<title>History - Demo</title><h1>History</h1>" +
                          NumberedParagraphs(40, "Gizmo ", " draws faster.");
    history += "<p>A connection can turn frobcommit on.</p>";
    pages.emplace_back("history.html", history);
    pages.emplace_back("guide/contributing.html",
                       "<title>Contributing - Demo</title><h1>Contributing</h1><p>Add a line "
                       "to the changelog for each change.</p>");
    // The guide to testing applications, and a reference page that says
    // "app" in passing.
    pages.emplace_back("guide/testing.html",
                       "<title>Testing applications - Demo</title><h1>Testing applications</h1>"
                       "<p>Run an application's commands in a test runner and check what they "
                       "print.</p>");
    pages.emplace_back("api/folders.html",
                       "<title>Folders - Demo</title><h1>Folders</h1><p>Each app keeps a test "
                       "folder of its own.</p>");
    // A page of answers to many questions, titled as readers ask them, and
    // the guide to one of them.
    pages.emplace_back("howdoi.html",
                       "<title>How do I ... - Demo</title><h1>How do I ...</h1><table><tr><td>"
                       "regrid to new coordinates</td><td>Frame.regrid</td></tr><tr><td>save "
                       "a frame</td><td>Frame.save</td></tr></table>");
    pages.emplace_back("guide/regridding.html",
                       "<title>Regridding - Demo</title><h1>Regridding</h1><p>A frame regrids "
                       "onto other coordinates; new points are filled in between.</p>");
    // A release's changes, and the changelog of a later one, which holds
    // the version's numbers apart.
    pages.emplace_back("changes/2.2.html",
                       "<title>Changes for Demo 2.2 - Demo</title><h1>Changes for Demo 2.2</h1>"
                       "<p>Up: <a href=\"2.4.html\">Changelog</a></p><p>Frames load faster.</p>");
    pages.emplace_back("changes/2.4.html",
                       "<title>Demo 2.4 - Demo</title><h1>Demo 2.4</h1><h2>Changelog</h2><p>"
                       "Frames load in 2 steps, 1 at a time.</p>");
    // The guide to themes, and a release's notes with a heading of the words
    // a reader who asks how to do it writes.
    pages.emplace_back("guide/themes.html",
                       "<title>Appearance - Demo</title><h1>Appearance</h1><p>Every widget is "
                       "drawn in the colors of its window.</p><h2>Colors</h2><p>A theme's tint "
                       "sets the color of every widget; change it with set_tint.</p>");
    pages.emplace_back("releases/2.3.html",
                       "<title>What's new in Demo 2.3 - Demo</title><h1>What's new in Demo "
                       "2.3</h1><h2>Change the tint of a theme</h2><p>Themes keep their tint "
                       "in every window.</p>");
    // A module's reference, and its source as the site shows it beside: the
    // same words, in code.
    pages.emplace_back("api/temperature.html",
                       "<title>Temperatures - Demo</title><h1>Temperatures</h1><p>Readings of "
                       "a probe.</p><h2>Scales</h2><p>A reading is in kelvin; to_celsius "
                       "gives it in celsius.</p>");
    std::string source =
        "<title>demo.temperature - Demo</title><h1>Source code for "
        "demo.temperature</h1><pre>";
    for (int line = 0; line < 8; ++line) {
        source += "def convert_" + std::to_string(line) +
                  "(kelvin):\n    \"\"\"Convert kelvin to celsius.\"\"\"\n    return kelvin - "
                  "273.15\n";
    }
    pages.emplace_back("_modules/demo/temperature.html", source + "</pre>");
    // A guide that lacks one word of a question and holds the others under
    // a heading, and many pages that hold them all in passing.
    pages.emplace_back("guide/instruments.html",
                       "<title>Instruments - Demo</title><h1>Instruments</h1><p>What the lab "
                       "measures with.</p><h2>Calibrating a probe in ice</h2><p>Hold the probe in "
                       "ice water and note its offset.</p>");
    AddNumberedPages(pages, "bulletins/", "Bulletin",
                     "<p>Melting ice on the roof again; calibrate the rain probe by hand.</p>");
    // A short page on captions, and a manual several times the site's
    // length that holds the same words in passing, one as code.
    pages.emplace_back("guide/captions.html",
                       "<title>Captions - Demo</title><h1>Captions</h1><p>What a widget shows "
                       "beside it.</p><h2>Spaces</h2><p>A label keeps the whitespace of its "
                       "text; trim takes it off.</p>");
    std::string manual =
        "<title>Manual - Demo</title><h1>Manual</h1>" +
        NumberedParagraphs(13, "Chapter ", ": a widget draws its frame while the window is open.");
    manual += "<p>Labels <code>trim</code> whitespace when asked.</p>";
    pages.emplace_back("manual.html", manual);
    // The guide named after the things a question asks about, and a guide
    // that holds all its words under headings of its own.
    pages.emplace_back("guide/copies.html",
                       "<title>Copies and views - Demo</title><h1>Copies and views</h1><p>Rows "
                       "taken from a grid are a view of it: call copy() for rows of their "
                       "own.</p>");
    pages.emplace_back("guide/rows.html",
                       "<title>Taking rows - Demo</title><h1>Taking rows</h1><h2>Slicing</h2><p>"
                       "Slicing a grid makes a view of its rows.</p><h2>Copying</h2><p>Make a "
                       "copy to keep the rows apart.</p>");
    // A function named by a short form of three letters, and one with the
    // words as a heading.
    pages.emplace_back("library/demo.linalg.inv.html",
                       "<title>demo.linalg.inv - Demo</title><h1>demo.linalg.inv</h1><p>Compute "
                       "the inverse of a matrix.</p>");
    pages.emplace_back("library/demo.linalg.pinv.html",
                       "<title>demo.linalg.pinv - Demo</title><h1>demo.linalg.pinv</h1><p>Compute "
                       "the pseudo-inverse of a matrix.</p><h2>Inverse of a matrix that has "
                       "none</h2><p>From its singular values.</p>");
    // The program's other commands.
    for (int command = 0; command < 18; ++command) {
        const std::string name = "frob-command" + std::to_string(command);
        pages.emplace_back("man/" + name + ".html",
                           "<title>" + name + "(1)</title><p>Does it, where you deploy.</p>");
    }
    return SourceOf(pages);
}

TEST(SearchQuery, ThePageAReaderMeansComesFirstAtItsHeading) {
    SiteSearch search(DocumentationSite(), {}, [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();
    struct Case {
        const char* what;
        std::string query;
        std::string first;    // the first result's link
        std::string heading;  // and the heading it shows
    };
    const Case cases[] = {
        {"the page named after the word, not one that moved or mentions it", "buffer",
         "/api/struct.Buffer.html", ""},
        {"another form of the word", "compile", "/guide/compiling.html", ""},
        {"a question's small words, which the page need not hold", "how do I compile my project",
         "/guide/compiling.html", ""},
        {"an identifier written another way, at its heading", "utf8", "/guide/encoding.html#utf-8",
         "UTF-8"},
        {"a method, at its section", "Buffer::new", "/api/struct.Buffer.html#method.new",
         "pub fn new() -> Buffer"},
        {"the function named so before the method of that name", "read_to_string",
         "/api/fn.read_to_string.html", ""},
        {"a definition, at its term", "path join", "/library/demo.path.html#demo.path.join",
         "demo.path.join(a, b)"},
        {"of pages named alike, the one other pages link to", "channels", "/library/channels.html",
         ""},
        {"the page its file names, of two that mention the words", "static files",
         "/guide/static-files.html", "Where"},
        {"the page whose first words say what it is, before a section that mentions it",
         "butterworth filter", "/api/fn.butter.html", ""},
        {"the function the query names in parts, beneath its modules' names", "t-test samples",
         "/library/demo.stats.ttest.html", ""},
        {"the function whose summary holds the query, before the module's page that lists it",
         "solve initial value problem", "/library/demo.integrate.solve_ivp.html", ""},
        {"the page about the words, before one titled only with the site's name that holds "
         "every page",
         "values threads", "/library/channels.html", ""},
        {"the manual page whose line under NAME says it, before one that lists it",
         "remove untracked files", "/man/frob-clean.html", "NAME"},
        {"a page named after the program and the word, joined", "ignore files",
         "/man/frobignore.html", "NAME"},
        {"the function named by the query's initials, before a guide's section of the words",
         "kernel density estimation", "/library/demo.stats.kde.html", "Kernel density estimation"},
        {"the module named by a word and the initials of the next", "es modules",
         "/library/demo.esm.html", "Modules"},
        {"the page titled how to do what the question asks how to do", "how do I build the docs",
         "/guide/howto-docs.html", ""},
        {"the page named after what does what the query asks",
         "how do I parse command line options", "/library/demo.optionparser.html", ""},
        {"a function at its heading, which names it whole, and the anchor just before it",
         "demo_read_end", "/library/streams.html#demo-read-end", "demo_read_end ()"},
        {"the function named by the start of a word, before a guide that says the words",
         "normal distribution", "/library/demo.stats.norm.html", "Distribution"},
        {"the program named by two words of the query written as one", "rotate logs",
         "/man/rotatelogs.html", ""},
        {"a short page with the words, before a long one that has them as one heading of "
         "hundreds",
         "ferry timetable", "/guide/crossing.html", "Times"},
        {"the page that declares an identifier, before one whose first words use it",
         "demo_prepare_v2", "/api/prepare.html", ""},
        {"a function defined among hundreds on one page, before a short guide that uses it",
         "url_for", "/api/index.html#demo.url_for", "demo.url_for(endpoint)"},
        {"the method named after what is asked, in other words, before pages that hold the "
         "words in passing",
         "save a table to csv", "/api/demo.Table.to_csv.html", ""},
        {"a code asked for is no version: the guide, before release notes that mention it",
         "answer 404 for a missing page", "/guide/errors.html", ""},
        {"the guide in the words documentation writes for the reader's", "save a frame as parquet",
         "/guide/parquet.html", ""},
        {"the page that defines a name among others, before one that uses it more", "frobtree",
         "/usage/directives.html#directive-frobtree", ".. frobtree::"},
        {"of a function and a method of one name, the function", "pivot_frame",
         "/api/demo.pivot_frame.html", ""},
        {"the function named by a verb joined to the word asked", "how do I read a line of input",
         "/io/getline.html", ""},
        {"a function defined on its module's page, before the page named after the end of its "
         "name",
         "list_to_blob", "/ref/frobs.html#list_to_blob-1", "list_to_blob(List) -> blob()"},
        {"the page titled with the query's main word, before one whose first sentence holds "
         "the words",
         "x509 certificates", "/x509/index.html", ""},
        {"a page with all but one word, where no page holds them all",
         "how do I embed pictures in the program", "/guide/resources.html", ""},
        {"the page named after the rarer word, before one that holds both but is named after "
         "the other",
         "deploy with frobcorn", "/deploying/frobcorn.html", ""},
        {"the guide, before release notes with a heading of the words", "how do I resize gizmos",
         "/guide/gizmos.html", ""},
        {"release notes, asked for", "what's new in 2.1", "/releases/2.1.html", ""},
        {"a question in words: the guide, before the reference page of the same name",
         "how do I frob a widget", "/guide/frobbing.html", ""},
        {"a name: the reference page that defines it", "frob_all", "/api/frobbing.html#frob_all",
         "frob_all(widgets)"},
        {"two words of the query that the page writes as one", "how do I log in with a password",
         "/guide/sessions.html", "Login"},
        {"where few pages hold every word, a page that lacks one but says the rest, before "
         "release notes that hold them all in passing",
         "how do I turn on frobcommit", "/api/connection.html", "frobcommit"},
        {"a short form of the word the page spells out", "how do I test my app",
         "/guide/testing.html", ""},
        {"the release notes asked for by another name than the site gives them", "changelog",
         "/history.html", ""},
        {"the version asked for, not one that holds its numbers apart", "2.2 changelog",
         "/changes/2.2.html", ""},
        {"a question that says how to change something asks about no release: the guide, "
         "before release notes with a heading of its words",
         "how do I change the tint of a theme", "/guide/themes.html", "Colors"},
        {"where many pages hold every word in passing, a page that lacks one and holds the "
         "rest under a heading",
         "calibrate a probe with melting ice", "/guide/instruments.html",
         "Calibrating a probe in ice"},
        {"a short page that holds the words, before a long one that holds them in passing",
         "trim whitespace from a label", "/guide/captions.html", "Spaces"},
        {"a module's reference that says it in other words, before its source",
         "convert kelvin to celsius", "/api/temperature.html", "Scales"},
        {"the notes of the version asked for, before those of another that hold its words",
         "what's new in 2.4", "/changes/2.4.html", ""},
        {"the guide named after what is asked, whatever small words the question holds",
         "does slicing make a copy or a view", "/guide/copies.html", ""},
        {"the function named by a short form of the word asked", "inverse of a matrix",
         "/library/demo.linalg.inv.html", ""},
        {"a page that says the words together, before one that holds each under a heading "
         "of its own",
         "tilt the periscope lens", "/guide/sighting.html", ""},
        {"the guide, before a page titled with the words a question opens with",
         "how do I regrid to new coordinates", "/guide/regridding.html", ""},
    };
    for (const Case& c : cases) {
        const SearchAnswer answer = search.Ask(c.query, 1);
        ASSERT_FALSE(answer.Hits.empty()) << c.what;
        const SearchHit& first = answer.Hits.front();
        EXPECT_EQ("/" + first.Path + (first.Anchor.empty() ? "" : "#" + first.Anchor), c.first)
            << c.what;
        EXPECT_EQ(first.Heading, c.heading) << c.what;
        const std::string html = SearchResultsHtml(answer);
        EXPECT_NE(html.find("<a href=\"" + c.first + "\">"), std::string::npos) << c.what;
    }
    // The page that moved is still found by its words, below the one it names.
    const std::vector<std::string> moved = PathsOf(search.AskAll("moved"));
    EXPECT_EQ(moved, std::vector<std::string>{"old/buffer.html"});
}

// A site built as a whole not to be indexed (each page's robots say
// "noindex", as a preview or a development version's do), or written in
// another language, is ranked by its titles as any other; where only a few
// pages bear the mark, those stand in for others (an old copy, a
// translation) and are found by their words alone.
TEST(SearchQuery, PagesMarkedAsStandInsAreSoOnlyWhereFewAre) {
    for (const std::string mark :
         {"<meta name=\"robots\" content=\"noindex, nofollow\">", "<html lang=\"de\">"}) {
        SCOPED_TRACE(mark);
        const auto site = [&](bool allMarked) {
            const std::string most = allMarked ? mark : std::string();
            std::vector<std::pair<std::string, std::string>> pages = {
                {"index.html", most + "<title>Demo</title><p>Widgets and frobbing.</p>"},
                {"api/frobbing.html",
                 mark + "<title>Frobbing - Demo</title><h1>Frobbing</h1><p>Turns a widget.</p>"}};
            for (int page = 0; page < 6; ++page) {
                pages.emplace_back(
                    "guide/page" + std::to_string(page) + ".html",
                    most + "<title>Page " + std::to_string(page) + "</title><p>Widgets.</p>");
            }
            return SourceOf(pages);
        };
        SiteSearch marked(site(true), {}, [](const std::string&) {});
        marked.Start();
        marked.WaitUntilSettled();
        EXPECT_EQ(PathsOf(marked.AskAll("frobbing")),
                  (std::vector<std::string>{"api/frobbing.html", "index.html"}));
        SiteSearch few(site(false), {}, [](const std::string&) {});
        few.Start();
        few.WaitUntilSettled();
        EXPECT_EQ(PathsOf(few.AskAll("frobbing")),
                  (std::vector<std::string>{"index.html", "api/frobbing.html"}));
    }
}

// A small site's one link between its pages (the introduction's to the
// FAQ) makes no page the one the site points to.
TEST(SearchQuery, ALinkOrTwoInASmallSiteRankNoPageFirst) {
    const std::string intro =
        "<title>Introduction</title><p>Widgets, and <a href=\"faq.html\">questions</a>.</p>";
    const std::string faq =
        "<title>Questions</title><p>Questions asked.</p><p>To build a package, see the "
        "manual.</p>";
    const std::string exts =
        "<title>Extensions</title><p>Build a <code>package</code> of widgets.</p>";
    SiteSearch search(SourceOf({{"intro.html", intro}, {"faq.html", faq}, {"exts.html", exts}}), {},
                      [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();
    EXPECT_EQ(PathsOf(search.AskAll("how do i build a package")),
              (std::vector<std::string>{"exts.html", "faq.html"}));
}

// A name asked alone links to its heading, far down a long reference page
// that uses it near its start, as an identifier does.
TEST(SearchQuery, ANameAskedAloneLinksToItsHeadingFarDownThePage) {
    std::string fixtures = "<title>Fixtures</title><h1>Fixtures</h1><p>Use frobfix.</p>";
    while (fixtures.size() < 64 * 1024) fixtures += "<p>Another fixture of the tests.</p>";
    fixtures += "<section id=\"frobfix\"><h3>frobfix</h3><p>Frobs each test.</p></section>";
    SiteSearch search(SourceOf({{"ref/fixtures.html", fixtures},
                                {"guide.html", "<title>Guide</title><p>Tests.</p>"}}),
                      {}, [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();
    const SearchAnswer answer = search.Ask("frobfix", 1);
    ASSERT_EQ(answer.Hits.size(), 1u);
    EXPECT_EQ(answer.Hits[0].Anchor, "frobfix");
    EXPECT_EQ(answer.Hits[0].Heading, "frobfix");
    // On a module's one reference page, past a name that holds it, the
    // definition half a megabyte down.
    std::string module =
        "<title>etree</title><h1>etree</h1><dl><dt id=\"etree.CompatFrobParser\">class "
        "etree.CompatFrobParser(source)</dt><dd>Parses.</dd>";
    for (int constant = 0; module.size() < 512 * 1024; ++constant) {
        const std::string name = "etree.C" + std::to_string(constant);
        module += "<dt id=\"" + name + "\">" + name +
                  " = 1</dt><dd>A constant, kept for the parsers of older "
                  "releases and the tools that read them in place of the new ones.</dd>";
    }
    module +=
        "<dt id=\"etree.FrobParser\">class etree.FrobParser(source)</dt><dd>Parses.</dd></dl>";
    SiteSearch moduleSearch(SourceOf({{"api/etree.html", module}}), {}, [](const std::string&) {});
    moduleSearch.Start();
    moduleSearch.WaitUntilSettled();
    const SearchAnswer defined = moduleSearch.Ask("FrobParser", 1);
    ASSERT_EQ(defined.Hits.size(), 1u);
    EXPECT_EQ(defined.Hits[0].Anchor, "etree.FrobParser");
}

// A page that lists a thousand of the site's pages (every serialized form in
// one) holds the words of any query in what it lists, headings too; the page
// about them comes first.
TEST(SearchQuery, APageThatListsHundredsOfPagesComesAfterThePageAboutTheWords) {
    std::vector<std::pair<std::string, std::string>> pages = {
        {"api/Files.html",
         "<title>Files</title><h1>Class Files</h1><p>Methods on files: "
         "readAllLines reads all lines of a file.</p>"}};
    std::string listing =
        "<title>Serialized Form</title><h1>Serialized Form</h1>"
        "<h2>Class Files</h2><h3>Read all lines of a file</h3>";
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "Class" + std::to_string(i);
        pages.emplace_back("api/" + name + ".html", "<title>" + name + "</title><p>A class.</p>");
        listing += "<p><a href=\"api/" + name + ".html\">" + name + "</a></p>";
    }
    pages.emplace_back("serialized-form.html", listing);
    SiteSearch search(SourceOf(pages), {}, [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();
    const SearchAnswer answer = search.Ask("read all lines of a file", 1);
    ASSERT_EQ(answer.Hits.size(), 2u);
    EXPECT_EQ(answer.Hits[0].Path, "api/Files.html");
}

// A site that holds the same page in each language's folder shows it once.
TEST(SearchQuery, APageFoundUnderSeveralNamesIsShownOnceBeforeItsCopies) {
    const std::string page = "<title>Lighthouse</title><p>The lighthouse keeper.</p>";
    SiteSearch search(SourceOf({{"en/light.html", page},
                                {"fr/light.html", page},
                                {"guide.html", "<p>A lighthouse guide.</p>"}}),
                      {}, [](const std::string&) {});
    search.Start();
    search.WaitUntilSettled();
    EXPECT_EQ(PathsOf(search.Ask("lighthouse", 1)),
              (std::vector<std::string>{"en/light.html", "guide.html", "fr/light.html"}));
}

TEST(IndexBuilder, ThreadsThatFailToStartLeaveTheIndexIncompleteOrBuiltByFewer) {
    const SearchSource source = SmallSite();
    struct Case {
        const char* what;
        unsigned startsThatSucceed;
        bool complete;
    };
    const Case cases[] = {
        {"no thread", 0, false},
        {"the writer alone", 1, false},
        {"the writer and one extractor of three", 2, true},
        {"all", 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Database database = OpenDatabase(
            ":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
        ASSERT_TRUE(database);
        std::mutex lock;
        std::condition_variable finishedChanged;
        int finishedCalls = 0;
        bool complete = false;
        {
            IndexBuilder builder(
                source, database.get(), "identity", 3,
                [&](bool whole) {
                    std::lock_guard guard(lock);
                    ++finishedCalls;
                    complete = whole;
                    finishedChanged.notify_all();
                },
                [&](unsigned worker) { return worker >= c.startsThatSucceed; });
            std::unique_lock guard(lock);
            finishedChanged.wait(guard, [&] { return finishedCalls != 0; });
        }
        EXPECT_EQ(finishedCalls, 1);
        EXPECT_EQ(complete, c.complete);
        EXPECT_EQ(IsCompleteIndexOf(database.get(), "identity"), c.complete);
    }
}

// A word's rarity counts a page that holds two of its forms once: "http" on
// every page, and "https" on half of them too, is on every page, not on more.
TEST(SearchIndex, APageHoldingTwoFormsOfAWordCountsOnce) {
    std::vector<std::pair<std::string, std::string>> pages;
    for (int page = 0; page < 8; ++page) {
        // Built in steps: GCC 12 warns of an overlap that is not there in
        // "p" + std::to_string(page).
        std::string name = std::to_string(page);
        name.insert(0, 1, 'p');
        name += ".html";
        pages.emplace_back(
            name, page % 2 == 0 ? "<p>Fetch over http.</p>" : "<p>Fetch over http and https.</p>");
    }
    const SearchSource source = SourceOf(pages);
    const Database database =
        OpenDatabase(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
    ASSERT_TRUE(database);
    std::mutex lock;
    std::condition_variable finishedChanged;
    bool finished = false;
    {
        IndexBuilder builder(source, database.get(), "identity", 2, [&](bool /*whole*/) {
            std::lock_guard guard(lock);
            finished = true;
            finishedChanged.notify_all();
        });
        std::unique_lock guard(lock);
        finishedChanged.wait(guard, [&] { return finished; });
    }
    const WordSplitter splitter(database.get());
    const QueryWordCounts counts = CountWords(database.get(), QueryWords(splitter, "http"));
    EXPECT_EQ(counts.Pages, 8);
    EXPECT_EQ(counts.HoldingWord, std::vector<int64_t>{8});
}

}  // namespace
