// What each request comes to: one plan per request, decided by RouteRequest
// from the site's options and the parsed request alone.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Search/SiteSearch.h"
#include "WebServer/PlanBody.h"
#include "WebServer/Route.h"
#include "tests/server/ServedPage.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/Loaded.h"
#include "tests/support/TestFiles.h"

using server_testing::ArchiveBuilder;
using server_testing::TestSite;
using server_testing::TextOf;
using testing_support::TempDir;

namespace {

TEST(RouteRequest, GivesEachRequestOnePlan) {
    TempDir dir;
    ArchiveBuilder builder;
    builder.AddRaw("index.htm", "<p>home</p>");
    builder.AddRaw("index.html", "<p>folder</p>");
    builder.AddRaw("my page.htm", "spaced");
    builder.AddRaw("guide/index.html", "<p>guide</p>");
    builder.AddRaw(".pelorine/search.json", "an entry wins");
    builder.AddRecord("damaged.htm", 1000000, 0, builder.AddData("x"));
    builder.WriteTo(dir / "test.pel");
    const LoadedArchive archive = Loaded(dir / "test.pel");
    TestSite plain(archive);
    TestSite modern(archive, PageRulesFor(BrowseOptions::Modern()));
    SiteSearch search({}, {}, [](const std::string&) {});
    modern.Get().Search = &search;

    struct Case {
        Site* site;
        std::string head;  // method and target; HTTP/1.1, and a Range when given
        PlanKind kind;
        std::string page;  // the entry's name, the Ready body, or the search's path
        std::string contentType;
        std::string statusLine;  // of the planned response; empty for a search
        uint64_t bodyLength = 0;
        std::string range = {};
    };
    Site* p = &plain.Get();
    Site* m = &modern.Get();
    const std::string notFound = "Cannot find the specified page: ";
    const std::string damaged = "Cannot read the specified page from the archive: damaged.htm";
    const Case cases[] = {
        {p, "GET /index.htm", PlanKind::Entry, "index.htm", "text/html", "HTTP/1.1 200 OK", 11},
        {p, "GET /INDEX.HTM/", PlanKind::Entry, "index.htm", "text/html", "HTTP/1.1 200 OK", 11},
        {p, "POST /index.htm", PlanKind::Refuse, "", "", ""},
        {p, "HEAD /index.htm", PlanKind::Refuse, "", "", ""},
        {p, "GET /", PlanKind::Ready, notFound, "text/plain", "HTTP/1.1 200 OK", 32},
        {p, "GET /my%20page.htm", PlanKind::Ready, notFound + "my%20page.htm", "text/plain",
         "HTTP/1.1 200 OK", 45},
        {p, "GET /.pelorine/search?q=a", PlanKind::Ready, notFound + ".pelorine/search",
         "text/plain", "HTTP/1.1 200 OK", 48},
        {p, "GET /damaged.htm", PlanKind::Ready, damaged, "text/plain", "HTTP/1.1 200 OK", 60},
        {p, "GET /guide", PlanKind::Ready, notFound + "guide", "text/plain", "HTTP/1.1 200 OK", 37},
        {m, "HEAD /index.htm", PlanKind::Entry, "index.htm", "text/html", "HTTP/1.1 200 OK", 0},
        {m, "GET /", PlanKind::Entry, "index.html", "text/html", "HTTP/1.1 200 OK", 13},
        {m, "GET /my%20page.htm", PlanKind::Entry, "my page.htm", "text/html", "HTTP/1.1 200 OK",
         6},
        {m, "GET /index.htm", PlanKind::Entry, "index.htm", "text/html",
         "HTTP/1.1 206 Partial Content", 2, "bytes=1-2"},
        {m, "GET /missing", PlanKind::Ready, notFound + "missing", "text/plain",
         "HTTP/1.1 404 Not Found", 39},
        {m, "GET /guide/", PlanKind::Entry, "guide/index.html", "text/html", "HTTP/1.1 200 OK", 12},
        {m, "GET /guide?a=1", PlanKind::Ready, "Moved to: ./guide/?a=1", "text/plain",
         "HTTP/1.1 301 Moved Permanently", 22},
        {m, "GET /guide/..", PlanKind::Ready, notFound + "guide/..", "text/plain",
         "HTTP/1.1 404 Not Found", 40},
        {m, "GET /damaged.htm", PlanKind::Ready, damaged, "text/plain",
         "HTTP/1.1 500 Internal Server Error", 60},
        {m, "GET /.pelorine/search?q=a&p=2", PlanKind::Search, ".pelorine/search",
         "text/html; charset=utf-8", ""},
        {m, "GET /.pelorine/search.json", PlanKind::Entry, ".pelorine/search.json",
         "application/json", "HTTP/1.1 200 OK", 13},
    };
    for (const Case& c : cases) {
        const size_t space = c.head.find(' ');
        RequestHead request{
            {c.head.substr(0, space), c.head.substr(space + 1), "HTTP/1.1"}, {}, {}, {}, {}};
        if (!c.range.empty()) request.Range = c.range;
        const RequestPlan plan = RouteRequest(*c.site, request);
        const std::string what = c.head + (c.site == m ? " (every option)" : "");
        ASSERT_EQ(plan.Kind, c.kind) << what;
        EXPECT_EQ(plan.Where, c.site) << what;
        if (c.kind == PlanKind::Refuse) continue;
        EXPECT_EQ(plan.Page.ContentType, c.contentType) << what;
        if (c.kind == PlanKind::Entry) {
            EXPECT_EQ(archive.Entries[plan.Page.Entry].Name, c.page) << what;
        }
        if (c.kind == PlanKind::Ready) {
            EXPECT_EQ(TextOf(plan.Body), c.page) << what;
        }
        if (c.kind == PlanKind::Search) {
            EXPECT_EQ(plan.SearchPath, c.page) << what;
            EXPECT_EQ(plan.SearchQuery, "q=a&p=2") << what;
            EXPECT_FALSE(plan.Response) << what;
            continue;
        }
        ASSERT_TRUE(plan.Response) << what;
        EXPECT_TRUE(plan.Response->Header.starts_with(c.statusLine + "\r\n")) << what;
        EXPECT_EQ(plan.Response->BodyLength, c.bodyLength) << what;
    }
}

// A page read once is kept; asked for again, its plan carries the kept body,
// so that neither the body nor the archive file's size is had again.
TEST(RouteRequest, CarriesTheBodyTheCacheHolds) {
    TempDir dir;
    ArchiveBuilder builder;
    builder.AddRaw("index.htm", "<p>home</p>");
    builder.WriteTo(dir / "test.pel");
    const LoadedArchive archive = Loaded(dir / "test.pel");
    TestSite site(archive);
    const RequestHead request{{"GET", "/index.htm", "HTTP/1.1"}, {}, {}, {}, {}};
    const RequestPlan first = RouteRequest(site.Get(), request);
    EXPECT_FALSE(first.Body.Memory.Bytes);
    const std::optional<ResponseBody> read = QuickBody(first);
    ASSERT_TRUE(read);
    const RequestPlan again = RouteRequest(site.Get(), request);
    EXPECT_EQ(again.Body.Memory.Bytes, read->Memory.Bytes);
    EXPECT_EQ(QuickBody(again)->Memory.Bytes, read->Memory.Bytes);
    EXPECT_EQ(TextOf(again.Body), "<p>home</p>");
}

}  // namespace
