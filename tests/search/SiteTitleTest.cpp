// The part of a title that names the page, without the site's name that many
// titles share before or after it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Search/SiteTitle.h"

namespace {

TEST(SiteTitle, ThePageOwnTitleWithoutTheSiteName) {
    struct Case {
        const char* what;
        std::string site;  // each title is `site` with a page's name where "%" stands
        std::string page;
        std::string own;
        int shared = 30;  // titles of the site's form
        int others = 0;   // titles of another ("Soup.Session")
    };
    const Case cases[] = {
        {"the site's name after a dash", "% \xE2\x80\x94 Python 3.11 documentation", "json",
         "json"},
        {"before a colon", "Project: %", "Guide", "Guide"},
        {"before a colon whose start holds another separator", "Gtk \xE2\x80\x93 4.0: %",
         "Running GTK Applications", "Running GTK Applications"},
        {"before a double hyphen", "Erlang -- %", "lists", "lists"},
        {"the manual's name in brackets, as texinfo and javadoc write it",
         "% (GNU Octave (version 7.3.0))", "Copying", "Copying"},
        {"no name shared", "%", "A - B", "A - B"},
        {"a name with a version before a colon, on a few guides among many pages of a symbol "
         "each",
         "Soup \xE2\x80\x93 3.0: %", "Server Basics", "Server Basics", 3, 600},
        {"a few titles' start, among many, without a version: a part of the site", "Tutorial: %",
         "Timers", "Tutorial: Timers", 3, 600},
    };
    for (const Case& c : cases) {
        std::vector<std::string> titles;
        const auto titled = [&](const std::string& page) {
            std::string title = c.site;
            return title.replace(title.find('%'), 1, page);
        };
        for (int i = 0; i < c.shared; ++i) titles.push_back(titled("page " + std::to_string(i)));
        for (int i = 0; i < c.others; ++i) titles.push_back("Soup.Symbol" + std::to_string(i));
        const std::vector<std::string> ends = CommonTitleEnds(titles);
        EXPECT_EQ(OwnTitle(titled(c.page), ends), c.own) << c.what;
    }
}

TEST(SiteTitle, ThePageNameWithoutItsPlaceInTheBook) {
    const std::pair<const char*, const char*> cases[] = {
        {"argparse \xE2\x80\x94 Parser for command-line options", "argparse"},
        {"HashMap in std::collections", "HashMap"},
        {"12.6.\xC2\xA0"
         "Dictionaries",
         "Dictionaries"},
        {"8. Errors and Exceptions", "Errors and Exceptions"},
        {"Chapter\xC2\xA0"
         "8.\xC2\xA0"
         "Boost.Circular Buffer",
         "Boost.Circular Buffer"},
        {"Appendix B. Date/Time Support", "Date/Time Support"},
        {"Part IV. Client Interfaces", "Client Interfaces"},
        {"3D Graphics", "3D Graphics"},
        {"A Tour of the Library", "A Tour of the Library"},
        {"Chapter", "Chapter"},
        {"2023", "2023"},
    };
    for (const auto& [title, name] : cases)
        EXPECT_EQ(PageName(title), std::string_view(name)) << title;
}

TEST(SiteTitle, ReleaseNotesByTheirTitles) {
    const std::pair<const char*, bool> cases[] = {
        {"Changes", true},
        {"What\xE2\x80\x99s new in Tornado 2.4.1", true},
        {"Django 3.2.7 release notes", true},
        {"E.12. Release 15.9", true},
        {"SQLite Release 3.5.3 On 2007-11-27", true},
        {"Change history for Celery 2.3", true},
        {"8.3.1", true},
        {"pytest-5.2.3", true},
        {"Release profiles", false},
        {"Changing the size", false},
        {"Python 3.11 tutorial", false},
        {"utf-8", false},
        {"Version control", false},
        {"2023", false},
        {"", false},
    };
    for (const auto& [title, releaseNotes] : cases)
        EXPECT_EQ(IsReleaseNotes(title), releaseNotes) << title;
}

TEST(SiteTitle, IndexesAndLicencesByTheirTitles) {
    struct Case {
        const char* title;
        int64_t pagesLinked;
        bool aside;
    };
    const Case cases[] = {
        {"Index", 0, true},
        {"Python Module Index", 0, true},
        {"Copying", 0, true},
        {"License", 0, true},
        {"Search", 0, true},
        {"Index types", 0, false},
        {"Search a tree", 0, false},
        {"MIT License for jinja", 0, false},
        {"Function and Variable Index", 158, true},
        {"Index of Classes", 40, true},
        {"CREATE INDEX", 5, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsIndexOrLicence(c.title, c.pagesLinked), c.aside) << c.title;
}

}  // namespace
