// The opt-in options for today's browsers, over the server's route and loader: every answer stays
// the same without them, and each one changes only what it is meant to.
#include <gtest/gtest.h>

#include "WebServer/MimeTypes.h"
#include "tests/server/ServedPage.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/Loaded.h"
#include "tests/support/TestFiles.h"

using server_testing::ArchiveBuilder;
using server_testing::Serve;
using server_testing::ServedPage;
using server_testing::TestSite;
using testing_support::TempDir;

namespace {

const std::string kNotFound = "Cannot find the specified page: ";

enum Option : unsigned { kNone = 0, kTypes = 1, kDecode = 2, kIndex = 4, kAll = 7 };

PageRules RulesFor(unsigned options) {
    return PageRulesFor(
        {(options & kTypes) != 0, (options & kDecode) != 0, (options & kIndex) != 0});
}

TEST(BrowseOptions, ChangeOnlyWhatEachIsMeantToAndNothingWithoutThem) {
    TempDir dir;
    ArchiveBuilder builder;
    for (const char* name :
         {"index.htm", "logo.svg", "data.json", "font.woff2", "app.mjs", "photo.jpg", "README",
          "notes.qqq", "my page.htm", "100%.htm", "50%20off.htm", "50 off.htm", "a+b.htm",
          "index.html", "docs/index.html", "my docs/index.html"}) {
        builder.AddRaw(name, std::string("content of ") + name);
    }
    builder.WriteTo(dir / "test.pel");
    const LoadedArchive archive = Loaded(dir / "test.pel");
    ASSERT_GT(MimeTypeTable::Read(kSystemMimeTypesPath).Size(), 0u)
        << kSystemMimeTypesPath << " is missing (scripts/install-deps.sh build)";

    struct Case {
        unsigned options;
        std::string path;
        std::string found;  // the entry served; empty: the not-found text
        std::string typeOrShown;
    };
    const Case cases[] = {
        // Without options, exactly today's answers.
        {kNone, "/logo.svg", "logo.svg", "*/*"},
        {kNone, "/data.json", "data.json", "*/*"},
        {kNone, "/my%20page.htm", "", "my%20page.htm"},
        {kNone, "/100%25.htm", "", "100%25.htm"},
        {kNone, "/", "", ""},
        {kNone, "", "", ""},
        {kNone, "/docs/", "", "docs"},
        // Standard types: beyond the fixed table only.
        {kTypes, "/logo.svg", "logo.svg", "image/svg+xml"},
        {kTypes, "/data.JSON", "data.json", "application/json"},
        {kTypes, "/font.woff2", "font.woff2", "font/woff2"},
        {kTypes, "/app.mjs", "app.mjs", "text/javascript"},
        {kTypes, "/photo.jpg", "photo.jpg", "image/jpg"},
        {kTypes, "/index.htm", "index.htm", "text/html"},
        {kTypes, "/README", "README", "*/*"},
        {kTypes, "/notes.qqq", "notes.qqq", "*/*"},
        {kTypes, "/my%20page.htm", "", "my%20page.htm"},
        // Decoded paths: only when the path as sent finds nothing.
        {kDecode, "/my%20page.htm", "my page.htm", "text/html"},
        {kDecode, "/MY%20Page.HTM", "my page.htm", "text/html"},
        {kDecode, "/100%.htm", "100%.htm", "text/html"},
        {kDecode, "/100%25.htm", "100%.htm", "text/html"},
        {kDecode, "/50%20off.htm", "50%20off.htm", "text/html"},
        {kDecode, "/my%20page.htm%2", "", "my%20page.htm%2"},
        {kDecode, "/my%2Gpage.htm", "", "my%2Gpage.htm"},
        {kDecode, "/no%20such.htm", "", "no%20such.htm"},
        {kDecode, "/a+b.htm", "a+b.htm", "text/html"},
        {kDecode, "/my+page.htm", "", "my+page.htm"},
        {kDecode, "/docs/", "", "docs"},
        {kDecode, "/logo.svg", "logo.svg", "*/*"},
        // Folder index: a path ending in "/", or empty.
        {kIndex, "/", "index.html", "text/html"},
        {kIndex, "", "index.html", "text/html"},
        {kIndex, "/docs/", "docs/index.html", "text/html"},
        {kIndex, "/DOCS//", "docs/index.html", "text/html"},
        {kIndex, "/nothing/", "", "nothing"},
        {kIndex, "/my%20docs/", "", "my%20docs"},
        {kIndex, "/index.htm", "index.htm", "text/html"},
        // All three: decoding before the folder's index, types as above.
        {kAll, "/my%20docs/", "my docs/index.html", "text/html"},
        {kAll, "/my%20page.htm", "my page.htm", "text/html"},
        {kAll, "/logo.svg", "logo.svg", "image/svg+xml"},
        {kAll, "/", "index.html", "text/html"},
    };
    TestSite sites[] = {TestSite(archive, RulesFor(kNone)),   TestSite(archive, RulesFor(kTypes)),
                        TestSite(archive, RulesFor(kDecode)), TestSite(archive, RulesFor(3)),
                        TestSite(archive, RulesFor(kIndex)),  TestSite(archive, RulesFor(5)),
                        TestSite(archive, RulesFor(6)),       TestSite(archive, RulesFor(kAll))};
    TestSite today(archive);
    for (const Case& c : cases) {
        const ServedPage page = Serve(sites[c.options].Get(), c.path);
        const std::string what = c.path + " with options " + std::to_string(c.options);
        if (c.found.empty()) {
            EXPECT_EQ(page.Body, kNotFound + c.typeOrShown) << what;
            EXPECT_EQ(page.ContentType, "text/plain") << what;
        } else {
            EXPECT_EQ(page.Body, "content of " + c.found) << what;
            EXPECT_EQ(page.ContentType, c.typeOrShown) << what;
        }
        if (c.options == kNone) {
            const ServedPage plain = Serve(today.Get(), c.path);
            EXPECT_EQ(plain.Body, page.Body) << what;
            EXPECT_EQ(plain.ContentType, page.ContentType) << what;
        }
    }
    // A folder named without its "/" is sent on to it, decoded when that
    // finds it.
    EXPECT_EQ(Serve(sites[kIndex].Get(), "/docs").Body, "Moved to: ./docs/");
    EXPECT_EQ(Serve(sites[kIndex].Get(), "/my%20docs").Body, kNotFound + "my%20docs");
    EXPECT_EQ(Serve(sites[kAll].Get(), "/my%20docs").Body, "Moved to: ./my%20docs/");
}

// Odd lines of a media-types list are passed over, never trusted.
TEST(MimeTypeTable, TakesWellFormedLinesAndSkipsEveryOtherOne) {
    const MimeTypeTable table = MimeTypeTable::Parse(
        "# comment svg\n"
        "image/svg+xml\t\tsvg svgz   # trailing comment\n"
        "text/plain SVG txt\r\n"  // svg named twice: the first line wins
        "noslash ext1\n"
        "/leading ext2\n"
        "trailing/ ext3\n"
        "two/slash/es ext4\n"
        "text/bad\x01type ext5\n"
        "text/ok bad\x7F"
        "ext \xC4xt a/b Ok\n"
        "application/x-only\n"
        "\n   \n\t\n"
        "font/woff2 woff2");  // no final newline
    const std::pair<std::string, const char*> cases[] = {
        {"svg", "image/svg+xml"},
        {"svgz", "image/svg+xml"},
        {"txt", "text/plain"},
        {"ext1", nullptr},
        {"ext2", nullptr},
        {"ext3", nullptr},
        {"ext4", nullptr},
        {"ext5", nullptr},
        {"\xC4xt", nullptr},
        {"a/b", nullptr},
        {"ok", "text/ok"},
        {"woff2", "font/woff2"},
        {"", nullptr},
    };
    for (const auto& [extension, type] : cases) {
        const char* found = table.Find(extension);
        EXPECT_EQ(found == nullptr ? "(none)" : std::string(found),
                  type == nullptr ? "(none)" : std::string(type))
            << extension;
    }
    EXPECT_EQ(table.Size(), 5u);
    EXPECT_EQ(MimeTypeTable::Read("/no/such/mime.types").Size(), 0u);
    EXPECT_EQ(MimeTypeTable::Parse(std::string(100000, '\0')).Size(), 0u);
}

}  // namespace
