// What the index reads of a page: its title and the text a reader sees.
#include <gtest/gtest.h>

#include <string>

#include "Search/DefinedName.h"
#include "Search/PageText.h"
#include "Search/TextEncoding.h"

namespace {

struct Case {
    const char* what;
    std::string name;
    std::string content;
    std::string title;
    std::string text;
};

TEST(PageText, TitleAndVisibleTextOfEachKindOfPage) {
    const Case cases[] = {
        {"tags go, inline tags join words", "a.html", "<p>Hello <b>bold</b>ly<br>world</p>", "",
         "Hello boldly world"},
        {"block elements separate words", "a.htm", "<div>one</div><p>two</p><li>three", "",
         "one two three"},
        {"scripts, styles and templates are not text", "a.html",
         "<script>var hidden = '<p>no</p>';</script><style>p{color:red}</style>"
         "<template>tpl</template><p>seen</p>",
         "", "seen"},
        {"comments are not text", "a.html", "<!-- hidden --><p>shown<!-- <b>gone</b> --></p>", "",
         "shown"},
        {"character references decoded", "a.html",
         "<p>a &amp; b &lt;c&gt; &eacute;&#233;&#x41; &nbsp;x</p>", "",
         "a & b <c> \xC3\xA9\xC3\xA9"
         "A \xC2\xA0x"},
        {"the title element names the page", "a.html",
         "<html><head><title> The  Title </title></head><body><h1>Heading</h1>text</body></html>",
         "The Title", "Heading text"},
        {"without a title, the first heading", "a.xhtml",
         "<body><p>intro</p><h2>First <em>heading</em></h2><h1>Second</h1></body>", "First heading",
         "intro First heading Second"},
        {"white space collapsed", "a.html", "  <p>\n\t a \r\n  b  </p>  ", "", "a b"},
        {"Latin-1 when not UTF-8", "a.html", "<title>Caf\xE9</title><p>na\xEFve</p>", "Caf\xC3\xA9",
         "na\xC3\xAFve"},
        {"UTF-8 kept, whatever the page declares", "a.html",
         "<meta charset=\"iso-8859-1\"><p>caf\xC3\xA9</p>", "", "caf\xC3\xA9"},
        {"broken markup still gives its text", "a.html",
         "<p>unclosed <b>bold <i>x</p></div></span>< y <<>> <p attr='a>b'>z", "",
         "unclosed bold x < y <<>> z"},
        {"a tag cut by the end of the page", "a.html", "<p>kept</p><a href=\"x", "", "kept"},
        {"NUL bytes do not end the text", "a.html", std::string("<p>one\0two</p>", 14), "",
         "one two"},
        {"plain text", "notes.TXT", "plain\n\n  text <b>not a tag</b>", "",
         "plain text <b>not a tag</b>"},
        {"markdown: the first heading", "README.md", "intro\n## Getting  started\nbody\n",
         "Getting started", "intro ## Getting started body"},
        {"an empty page", "a.html", "", "", ""},
        {"a page that marks its main region: only it, and the title", "a.html",
         "<title>Events</title><div id=\"docs-header\"><h1>Site 1.4</h1></div><div "
         "id=\"docs-sidebar\"><h3>Guide</h3><a href=\"x.html\">Other</a></div><div "
         "role=\"main\"><h1>Events</h1><p>Hooks.</p></div><div>Copyright</div><MAIN "
         "class=\"later\">More.</MAIN>",
         "Events", "Events Hooks. More."},
        {"a mark of a main region in a comment or a script marks none", "a.html",
         "<!-- <main> --><script>x = '<main>';</script><p>All of it.</p>", "", "All of it."},
    };
    for (const Case& c : cases) {
        const PageText page = ExtractPageText(c.name, c.content);
        EXPECT_EQ(page.Title, c.title) << c.what;
        EXPECT_EQ(page.Text, c.text) << c.what;
    }
}

TEST(PageText, TextStopsAtItsLimitOnACharacterBoundary) {
    std::string html = "<p>";
    for (int i = 0; i < 1000; ++i) html += "\xC3\xA9t\xC3\xA9 ";
    const PageText page = ExtractPageText("a.html", html, 101);
    EXPECT_LE(page.Text.size(), 101u);
    EXPECT_GE(page.Text.size(), 95u);
    EXPECT_EQ(page.Text.substr(0, 12), "\xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9 ");
    EXPECT_TRUE(IsValidUtf8(page.Text));
}

TEST(PageText, OnlyPagesAndTextFilesAreSearchable) {
    for (const char* name : {"a.htm", "b/C.HTML", "x.xhtml", "r.txt", "R.Md"}) {
        EXPECT_TRUE(IsSearchablePage(name)) << name;
    }
    // A page's source that Sphinx keeps beside it is no page of its own.
    for (const char* name : {"a.css", "b.js", "html", "a.html.gz", "a.mdx", "a.txt/",
                             "_sources/os.rst.txt", "doc/_sources/index.md.txt"}) {
        EXPECT_FALSE(IsSearchablePage(name)) << name;
    }
}

}  // namespace

namespace {

std::string SectionsOf(const PageText& page) {
    std::string shown;
    for (const PageSection& section : page.Sections) {
        shown.append("[").append(page.Text, section.Start, 4).append("|");
        shown.append(section.Heading).append("#").append(section.Anchor).append("]");
    }
    return shown;
}

TEST(PageText, FieldsAndSectionsAsGeneratorsWriteThem) {
    struct FieldCase {
        const char* what;
        std::string content;
        std::string text;
        std::string headings;
        std::string names;
        std::string code;
        std::string sections;  // [start of text at it|heading#anchor]...
        std::string lead;
    };
    const std::string end(kHeadingEnd);
    const FieldCase cases[] = {
        {"Sphinx: a section's id, a definition's id, the sidebar left out",
         "<div class=\"sphinxsidebar\" role=\"navigation\"><h3>Contents</h3></div>"
         "<section id=\"module-os.path\"><h1>os.path<a class=\"headerlink\" "
         "href=\"#module-os.path\">\xC2\xB6</a></h1><p>Use <code>join()</code>.</p><dl>"
         "<dt id=\"os.path.join\">os.path.join(path)<a class=\"headerlink\" "
         "href=\"#os.path.join\">\xC2\xB6</a></dt><dd>Joins.</dd></dl></section>",
         "os.path\xC2\xB6 Use join(). os.path.join(path)\xC2\xB6 Joins.", "os.path\xC2\xB6" + end,
         "module-os.path os.path.join os.path.join(path)\xC2\xB6" + end, "join()",
         "[os.p|os.path#module-os.path][os.p|os.path.join(path)#os.path.join]",
         "Use join(). " + end},
        {"rustdoc: the heading's link to its section, buttons and the sidebar left out",
         "<nav class=\"sidebar\"><h2>Methods</h2></nav><h1>Struct <span>HashMap</span>"
         "<button>Copy item path</button></h1><section id=\"method.new\" class=\"method\">"
         "<span class=\"rightside\"><a href=\"x\">Source</a></span><h4>pub fn <a "
         "href=\"#method.new\">new</a>() -&gt; HashMap</h4></section><h2 id=\"examples\">"
         "<a href=\"#examples\">\xC2\xA7</a>Examples</h2>",
         "Struct HashMap Source pub fn new() -> HashMap \xC2\xA7"
         "Examples",
         "Struct HashMap" + end +
             " \xC2\xA7"
             "Examples" +
             end,
         "method.new pub fn new() -> HashMap" + end + " examples", "",
         "[Stru|Struct HashMap#][pub |pub fn new() -> HashMap#method.new][\xC2\xA7"
         "Ex|Examples#examples]",
         ""},
        {"rustdoc: the traits every type implements alike left out",
         "<h1>Struct Path</h1><p>A path.</p><h2 id=\"synthetic-implementations\">Auto Trait "
         "Implementations</h2><div id=\"synthetic-implementations-list\"><h3>impl Send for "
         "Path</h3></div><h2 id=\"blanket-implementations\">Blanket Implementations</h2><div "
         "id=\"blanket-implementations-list\"><p>Gets the TypeId of self.</p></div>",
         "Struct Path A path.", "Struct Path" + end, "", "", "[Stru|Struct Path#]",
         "A path. " + end},
        {"DocBook: a named anchor inside the heading; numbered ids, and ids ending in a "
         "counter, are no names",
         "<div class=\"navheader\">Prev Next</div><div id=\"id3\"><h2><a name=\"installing\">"
         "</a>Installing</h2><p>Run <span id=\"ghlink-make-1-id2540\"></span><tt>make</tt>.</p>"
         "</div><pre><code>make all</code></pre>",
         "Installing Run make. make all", "Installing" + end, "installing", "make",
         "[Inst|Installing#installing]", "Run make. " + end},
        {"gtk-doc: an empty named anchor right before the heading is its; one with text "
         "between is not",
         "<div class=\"refsect2\"><a name=\"g-strdup\"></a><h3>g_strdup ()</h3><p>Copies.</p>"
         "<a name=\"later\"></a><p>More.</p><h3>g_free ()</h3></div>",
         "g_strdup () Copies. More. g_free ()", "g_strdup ()" + end + " g_free ()" + end,
         "g-strdup later", "", "[g_st|g_strdup ()#g-strdup][g_fr|g_free ()#]",
         "Copies. " + end + " More. " + end},
        {"Haddock: a declaration's signature is a definition term",
         "<h1>Basic functions</h1><div class=\"top\"><p class=\"src\"><a id=\"v:foldl\" "
         "class=\"def\">foldl</a> :: b</p><div class=\"doc\"><p>Folds.</p></div></div>",
         "Basic functions foldl :: b Folds.", "Basic functions" + end, "v:foldl foldl :: b" + end,
         "", "[Basi|Basic functions#][fold|foldl :: b#v:foldl]", "Folds. " + end},
        {"texinfo and qdoc: each span of code a name of its own; the navigation bar left out",
         "<div class=\"navigationbar\"><a href=\"i.html\">Qt 5</a></div><h1>Files</h1><p>Use "
         "<code>fopen</code>, then <code>fgetl</code><code>(f)</code>.</p>",
         "Files Use fopen, then fgetl(f).", "Files" + end, "", "fopen fgetl (f)", "[File|Files#]",
         "Use fopen, then fgetl(f). " + end},
        {"MkDocs, DocBook and others: a search dialog, a theme's list of links, a site's "
         "menus, a title page's authors and copyright left out",
         "<div class=\"modal\" role=\"dialog\"><h3>Documentation search</h3></div><div "
         "class=\"sidemenu\"><ul><li><a href=\"intro.html\">Why frob?</a></li></ul></div>"
         "<p class=\"menu\"><a href=\"faq.html\">FAQ</a> | Glossary</p><ul "
         "class=\"nav side-nav\"><li><a href=\"#setup\">Setup</a></li></ul><div "
         "class=\"titlepage\"><h2 id=\"views\">Views</h2><div class=\"author\"><h3 "
         "class=\"author\">A. Writer</h3></div><p class=\"copyright\">Copyright 2020</p></div>"
         "<p>Handle requests.</p>",
         "Views Handle requests.", "Views" + end, "views", "", "[View|Views#views]",
         "Handle requests. " + end},
        {"pydata and Furo themes: the page's own contents and the pages before and after "
         "it left out of the main region",
         "<main><div class=\"bd-toc\"><div class=\"tocsection\">Contents</div><a "
         "href=\"#joins\">Joins</a></div><h1 id=\"joins\">Joins</h1><p>Merge frames.</p><div "
         "class='prev-next-area'><a class=\"left-prev\" href=\"k.html\"><p>previous</p><p "
         "class=\"prev-next-title\">Kubernetes and Helm</p></a></div><div "
         "class=\"related-pages\"><a class=\"next-page\" href=\"s.html\">Next Solvers</a>"
         "</div></main>",
         "Joins Merge frames.", "Joins" + end, "joins", "", "[Join|Joins#joins]",
         "Merge frames. " + end},
        {"Scribble: the manual's contents beside the page and the bars of links left out",
         "<div class=\"tocset\"><div class=\"tocview\"><a href=\"macros.html\">12 "
         "Macros</a></div></div><div class=\"maincolumn\"><div class=\"main\"><div "
         "class=\"navsettop\"><a href=\"index.html\">top</a> next</div><h3>Structures</h3>"
         "<p>Define one.</p><div class=\"navsetbottom\">prev up</div></div></div>",
         "Structures Define one.", "Structures" + end, "", "", "[Stru|Structures#]",
         "Define one. " + end},
        {"Doxygen: the tooltips over a listing's names left out",
         "<h2>Example</h2><div class=\"fragment\"><div class=\"line\">sf::Sprite s;</div></div>"
         "<div class=\"ttc\" id=\"aSprite\"><div class=\"ttname\">sf::Sprite</div><div "
         "class=\"ttdoc\">Drawable representation of a texture.</div></div>",
         "Example sf::Sprite s;", "Example" + end, "", "", "[Exam|Example#]", ""},
        {"Doxygen: the members a class inherits, folded away, left out",
         "<h2>Functions</h2><table class=\"memberdecls\"><tr class=\"memitem:a1\"><td>"
         "set_image()</td></tr><tr class=\"inherit_header pub_methods_classWidget\"><td>"
         "Functions inherited from Widget</td></tr><tr class=\"memitem:a2 inherit "
         "pub_methods_classWidget\"><td>show()</td></tr><tr class=\"memdesc:a2 inherit "
         "pub_methods_classWidget\"><td>Shows the widget.</td></tr></table>",
         "Functions set_image()", "Functions" + end, "", "", "[Func|Functions#]", ""},
        {"docutils: a parameter's type a word apart from its name",
         "<dl><dt><strong>sort</strong><span class=\"classifier\">bool</span></dt><dd>Sorts."
         "</dd></dl>",
         "sort bool Sorts.", "", "sort bool" + end, "", "[sort|sort bool#]", ""},
        {"a manual in preformatted text: the line at the margin after a long ruler is a "
         "heading; not after a short one, nor an indented line",
         "<pre>Help\n" + std::string(78, '=') +
             "\n\n*<a name=\"06.1\"></a><b>06.1</b>*\tSwitching "
             "it on\nIt all starts with one command that you can type.\n=====\nTitle\n" +
             std::string(78, '=') + "\n  Next: usr_07</pre>",
         "Help " + std::string(78, '=') +
             " *06.1* Switching it on It all starts with one command that you can type. ===== "
             "Title " +
             std::string(78, '=') + " Next: usr_07",
         "*06.1* Switching it on" + end, "", "", "[*06.|*06.1* Switching it on#06.1]", ""},
        {"a manual page all in preformatted blocks: what its NAME says is the lead",
         "<h1>resizeterm 3x</h1><pre>resizeterm(3x)</pre><h2>NAME</h2><pre>\n       "
         "resizeterm - change the terminal size\n</pre><h2>SYNOPSIS</h2><pre>int "
         "resizeterm(int lines);</pre>",
         "resizeterm 3x resizeterm(3x) NAME resizeterm - change the terminal size SYNOPSIS int "
         "resizeterm(int lines);",
         "resizeterm 3x" + end + " NAME" + end + " SYNOPSIS" + end, "", "",
         "[resi|resizeterm 3x#][NAME|NAME#][SYNO|SYNOPSIS#]",
         "resizeterm - change the terminal size " + end},
        {"a program's printed results: a row of a table after a ruler is no heading",
         "<pre>" + std::string(78, '=') + "\nDep. Variable:      y   R-squared:      0.93\n" +
             std::string(78, '=') + "</pre>",
         std::string(78, '=') + " Dep. Variable: y R-squared: 0.93 " + std::string(78, '='), "", "",
         "", "", ""},
    };
    for (const FieldCase& c : cases) {
        const PageText page = ExtractPageText("a.html", c.content);
        EXPECT_EQ(page.Text, c.text) << c.what;
        EXPECT_EQ(page.Headings, c.headings) << c.what;
        EXPECT_EQ(page.Names, c.names) << c.what;
        EXPECT_EQ(page.Code, c.code) << c.what;
        EXPECT_EQ(SectionsOf(page), c.sections) << c.what;
        EXPECT_EQ(page.Lead, c.lead) << c.what;
        EXPECT_FALSE(page.Secondary) << c.what;
    }
}

TEST(PageText, TheNameADefinitionTermDefines) {
    const std::pair<std::string, std::string> cases[] = {
        {"flask.Flask.before_request(f)", "flask.Flask.before_request"},
        {"class flask.Flask(import_name, static_folder='static')", "flask.Flask"},
        {"int sqlite3_open(const char *filename, sqlite3 **ppDb)", "sqlite3_open"},
        {".. toctree::", "toctree"},
        {".. py:function:: name(parameters)", "py:function"},
        {":maxdepth:", "maxdepth"},
        {"--verbose", "verbose"},
        {"getArgs :: IO [String]", "getArgs"},
        {"data Maybe a", "Maybe"},
        {"property Flask.name: str", "Flask.name"},
        {"Environment variable", ""},
        {"Why is the root cleared in iterparse()?", ""},
        {"Using the parser with parse()", ""},
        {"", ""},
    };
    for (const auto& [term, name] : cases) EXPECT_EQ(DefinedName(term), name) << term;
    // Only a term a link can name defines it, and a heading only as a
    // signature or a name written as code.
    const PageText page = ExtractPageText(
        "a.html",
        "<dl><dt id=\"demo.open\">demo.open(path)</dt><dd>Opens.</dd><dt>path</dt><dd>A file."
        "</dd><dt id=\"demo.close\">demo.close()</dt></dl><h4 id=\"method.len\">pub fn "
        "len(&amp;self) -&gt; usize</h4><h2 id=\"examples\">Examples</h2><h3 id=\"v8\">8.3 "
        "Notes</h3><h4 id=\"acks\"><code>task_acks_late</code></h4>"
        // An icon font's permalink glyph right after the name.
        "<dl><dt id=\"demo.Maker\">class demo.Maker<a class=\"headerlink\" "
        "href=\"#demo.Maker\">\xEF\x83\x81</a></dt></dl>");
    EXPECT_EQ(page.Defined, (std::vector<std::string>{"demo.open", "demo.close", "len",
                                                      "task_acks_late", "demo.Maker"}));
    // A module's one page of thousands of constants and functions defines
    // the last of them too, at its own place.
    std::string module = "<dl>";
    for (int constant = 0; constant < 2000; ++constant) {
        module += "<dt id=\"c" + std::to_string(constant) + "\">C" + std::to_string(constant) +
                  " = 1</dt><dd>A constant.</dd>";
    }
    module += "<dt id=\"demo.parse\">demo.parse(source)</dt><dd>Parses.</dd></dl>";
    const PageText longPage = ExtractPageText("a.html", module);
    ASSERT_FALSE(longPage.Defined.empty());
    EXPECT_EQ(longPage.Defined.back(), "demo.parse");
    EXPECT_EQ(longPage.Sections.back().Anchor, "demo.parse");
}

TEST(PageText, PagesThatStandInForOthers) {
    for (const char* content :
         {"<meta http-equiv=\"refresh\" content=\"0; URL=other.html\"><p>Moved</p>",
          "<title>Source of lib.rs</title><pre>fn main() {}</pre><p>1</p>",
          // Doxygen's listing of a header: a fragment of one block per line,
          // each numbered.
          "<title>Svd.h Source File</title><div class=\"fragment\"><div class=\"line\"><span "
          "class=\"lineno\">1</span>// Singular values</div>\n<div class=\"line\"><span "
          "class=\"lineno\">2</span>class Svd {</div>\n<div class=\"line\"><span "
          "class=\"lineno\">3</span>};</div></div>",
          "<h1>Source code for demo</h1><pre>import os\n\ndef open(path):\n    return "
          "os.open(path)\n\ndef close(handle):\n    return os.close(handle)\n</pre>"}) {
        EXPECT_TRUE(ExtractPageText("a.html", content).Secondary) << content;
    }
    // Whether a page asking not to be indexed, or in another language,
    // stands in for another is the site's to say (most of its pages so, or
    // a few).
    const PageText unindexed =
        ExtractPageText("a.html", "<meta name=\"robots\" content=\"NOINDEX,follow\"><p>Old</p>");
    EXPECT_TRUE(unindexed.AsksNotToBeIndexed);
    EXPECT_FALSE(unindexed.Secondary);
    const PageText translated =
        ExtractPageText("a.html", "<html lang=\"zh\"><title>HashMap</title><p>x</p></html>");
    EXPECT_TRUE(translated.InOtherLanguage);
    EXPECT_FALSE(translated.Secondary);
    // Line numbers are no text of the page.
    EXPECT_EQ(ExtractPageText("a.html", "<pre><span class=\"linenos\">1</span>x = 1</pre>").Text,
              "x = 1");
    for (const char* content :
         {"<html lang=\"en-US\"><p>x</p></html>", "<p>Build it with this:</p><pre>make all</pre>",
          "<meta http-equiv=\"refresh\" content=\"30\"><p>x</p>",
          // A manual set in one block of prose, as manual pages and plain-text
          // manuals are.
          "<title>usr_28</title><pre>*28.1*  What is folding?\n\nFolding is used to show a "
          "range of lines in the buffer as a single line on the screen.\nThe advantage is "
          "that you can get a better overview of the structure of a text.\n  int x = 1;\n"
          "</pre>",
          // A reference page: its declarations, each a block of its own.
          "<h2>Class date_facet</h2><pre>class date_facet {};</pre><pre>date_facet();</pre>"
          "<pre>void format(const char*);</pre>",
          // A function's page that says what it does before its overloads.
          "<h3>async_read</h3><p>Reads data from a stream.</p><pre>template&lt;typename "
          "Stream&gt;\nsize_t async_read(Stream&amp; stream, Buffer buffer);\nsize_t "
          "async_read(Stream&amp; stream, Buffer buffer, Condition condition);\n</pre>"}) {
        EXPECT_FALSE(ExtractPageText("a.html", content).Secondary) << content;
    }
}

}  // namespace
