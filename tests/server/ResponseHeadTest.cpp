// What is answered for a request's header lines with the opt-in options:
// byte ranges, validators, HEAD and status codes, each checked as the header
// and the body bytes that would go on the wire.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "WebServer/HttpDate.h"
#include "WebServer/RequestHead.h"
#include "WebServer/ResponseHead.h"

namespace {

const ArchiveVersion kVersion{0x1234abcd5678ef00, 784111777};  // Sun, 06 Nov 1994 08:49:37 GMT
const std::string kDate = "Sun, 06 Nov 1994 08:49:37 GMT";
const std::string kTag = "\"1234abcd5678ef00-7\"";
constexpr uint32_t kEntry = 7;

std::string Body(size_t length) {
    std::string body;
    for (size_t i = 0; i < length; ++i) body.push_back(static_cast<char>('a' + (i * 7) % 26));
    return body;
}

struct Answer {
    int status = 0;
    std::map<std::string, std::string> fields;
    std::string body;
};

// The response for `headText`'s lines after "METHOD /x HTTP/1.1", as a client reads it.
Answer Ask(const BrowseOptions& options, const std::string& method, const std::string& headText,
           PageKind kind, const std::string& body) {
    const RequestHead request = ParseRequestHead(method + " /x HTTP/1.1\n" + headText +
                                                 (headText.empty() ? "" : "\n") + "\n");
    const ResponsePlan plan =
        PlanResponse(request, {kind, "video/webm", body.size(), kEntry}, options, kVersion);
    Answer answer;
    const std::string& header = plan.Header;
    EXPECT_TRUE(header.starts_with("HTTP/1.1 ")) << header;
    EXPECT_TRUE(header.ends_with("\r\n\r\n")) << header;
    answer.status = std::stoi(header.substr(9, 3));
    size_t at = header.find("\r\n") + 2;
    while (at < header.size() - 2) {
        const size_t end = header.find("\r\n", at);
        const std::string line = header.substr(at, end - at);
        const size_t colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << line;
        EXPECT_EQ(answer.fields.count(line.substr(0, colon)), 0u) << "repeated: " << line;
        answer.fields[line.substr(0, colon)] = line.substr(colon + 2);
        at = end + 2;
    }
    EXPECT_LE(plan.BodyFirst + plan.BodyLength, body.size());
    answer.body = body.substr(plan.BodyFirst, plan.BodyLength);
    return answer;
}

BrowseOptions Ranges() {
    BrowseOptions options;
    options.Ranges = true;
    return options;
}

struct RangeCase {
    const char* name;
    std::string headerLines;
    size_t length;
    int status;
    std::string contentRange;  // empty: none sent
    size_t first;              // the part sent, of Body(length)
    size_t count;
    BrowseOptions options = Ranges();
    PageKind kind = PageKind::Entry;
};

// The three faults browsers met in other servers: Content-Length giving the
// whole file for a part, 200 for a range, and a range end one byte short.
TEST(ResponseHead, ByteRangesGetTheirPartWithItsOwnLengthOrTheWholeBody) {
    const BrowseOptions modern = BrowseOptions::Modern();
    const RangeCase cases[] = {
        {"first 100", "Range: bytes=0-99", 1000, 206, "bytes 0-99/1000", 0, 100},
        {"from 100 on", "Range: bytes=100-", 1000, 206, "bytes 100-999/1000", 100, 900},
        {"last 100", "Range: bytes=-100", 1000, 206, "bytes 900-999/1000", 900, 100},
        {"first byte only", "Range: bytes=0-0", 1000, 206, "bytes 0-0/1000", 0, 1},
        {"last byte only", "Range: bytes=999-999", 1000, 206, "bytes 999-999/1000", 999, 1},
        {"end past the end", "Range: bytes=500-5000", 1000, 206, "bytes 500-999/1000", 500, 500},
        {"suffix longer than the body", "Range: bytes=-5000", 1000, 206, "bytes 0-999/1000", 0,
         1000},
        {"unit in capitals, spaces", "range:   BYTES=10-19 ", 1000, 206, "bytes 10-19/1000", 10,
         10},
        {"empty list elements", "Range: bytes=, 10-19 ,", 1000, 206, "bytes 10-19/1000", 10, 10},
        {"start at the end", "Range: bytes=1000-", 1000, 416, "bytes */1000", 0, 0},
        {"start past the end", "Range: bytes=2000-3000", 1000, 416, "bytes */1000", 0, 0},
        {"start beyond 64 bits", "Range: bytes=99999999999999999999999-", 1000, 416, "bytes */1000",
         0, 0},
        {"last 0 bytes", "Range: bytes=-0", 1000, 416, "bytes */1000", 0, 0},
        {"several ranges", "Range: bytes=0-9,20-29", 1000, 200, "", 0, 1000},
        {"range field repeated", "Range: bytes=0-9\nRange: bytes=0-9", 1000, 200, "", 0, 1000},
        {"end before start", "Range: bytes=9-5", 1000, 200, "", 0, 1000},
        {"no dash", "Range: bytes=5", 1000, 200, "", 0, 1000},
        {"not digits", "Range: bytes=a-b", 1000, 200, "", 0, 1000},
        {"signed", "Range: bytes=+1-5", 1000, 200, "", 0, 1000},
        {"other unit", "Range: items=0-9", 1000, 200, "", 0, 1000},
        {"no range", "Accept: */*", 1000, 200, "", 0, 1000},
        {"space before the colon", "Range : bytes=0-9", 1000, 200, "", 0, 1000},
        {"empty entry, from 0", "Range: bytes=0-", 0, 416, "bytes */0", 0, 0},
        {"empty entry, suffix", "Range: bytes=-10", 0, 200, "", 0, 0},
        {"If-Range with the tag", "Range: bytes=0-9\nIf-Range: " + kTag, 1000, 206,
         "bytes 0-9/1000", 0, 10, modern},
        {"If-Range with the date", "Range: bytes=0-9\nIf-Range: " + kDate, 1000, 206,
         "bytes 0-9/1000", 0, 10, modern},
        {"If-Range with another tag", "Range: bytes=0-9\nIf-Range: \"old\"", 1000, 200, "", 0, 1000,
         modern},
        {"If-Range with the weak tag", "Range: bytes=0-9\nIf-Range: W/" + kTag, 1000, 200, "", 0,
         1000, modern},
        {"If-Range without validators", "Range: bytes=0-9\nIf-Range: " + kTag, 1000, 200, "", 0,
         1000},
        {"not-found text with 404", "Range: bytes=0-9", 40, 404, "", 0, 40, modern,
         PageKind::NotFound},
        {"not-found text with 200", "Range: bytes=0-9", 40, 206, "bytes 0-9/40", 0, 10, Ranges(),
         PageKind::NotFound},
        {"options off", "Range: bytes=0-9", 1000, 200, "", 0, 1000, BrowseOptions{}},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string body = Body(c.length);
        const Answer answer = Ask(c.options, "GET", c.headerLines, c.kind, body);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.fields.count("Content-Range") ? answer.fields.at("Content-Range") : "",
                  c.contentRange);
        EXPECT_EQ(answer.body, body.substr(c.first, c.count));
        EXPECT_EQ(answer.fields.at("Content-Length"), std::to_string(answer.body.size()));
        if (c.options.Ranges && answer.status == 200) {
            EXPECT_EQ(answer.fields.at("Accept-Ranges"), "bytes");
        }
    }
}

struct ValidatorCase {
    const char* name;
    std::string headerLines;
    int status;
    PageKind kind = PageKind::Entry;
};

TEST(ResponseHead, MatchingValidatorsGet304WithoutABody) {
    const ValidatorCase cases[] = {
        {"If-None-Match with the tag", "If-None-Match: " + kTag, 304},
        {"If-None-Match with the weak tag", "If-None-Match: W/" + kTag, 304},
        {"If-None-Match in a list", "If-None-Match: \"a\", " + kTag, 304},
        {"If-None-Match on two lines", "If-None-Match: \"a\"\nIf-None-Match: " + kTag, 304},
        {"If-None-Match *", "If-None-Match: *", 304},
        {"If-None-Match with another tag", "If-None-Match: \"1234abcd5678ef00-8\"", 200},
        {"If-Modified-Since the archive's time", "If-Modified-Since: " + kDate, 304},
        {"If-Modified-Since later", "If-Modified-Since: Mon, 07 Nov 1994 08:49:37 GMT", 304},
        {"If-Modified-Since earlier", "If-Modified-Since: Sun, 06 Nov 1994 08:49:36 GMT", 200},
        {"If-Modified-Since unreadable", "If-Modified-Since: Sunday, 06-Nov-94 08:49:37 GMT", 200},
        {"If-None-Match decides before If-Modified-Since",
         "If-None-Match: \"other\"\nIf-Modified-Since: " + kDate, 200},
        {"the not-found text has no validators", "If-None-Match: *", 404, PageKind::NotFound},
        {"a damaged entry's text has none either", "If-None-Match: *", 500, PageKind::Damaged},
    };
    const std::string body = Body(300);
    for (const ValidatorCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Answer answer = Ask(BrowseOptions::Modern(), "GET", c.headerLines, c.kind, body);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.body, c.status == 304 ? "" : body);
        const bool entry = c.kind == PageKind::Entry;
        EXPECT_EQ(answer.fields.count("ETag") ? answer.fields.at("ETag") : "", entry ? kTag : "");
        EXPECT_EQ(answer.fields.count("Last-Modified") ? answer.fields.at("Last-Modified") : "",
                  entry ? kDate : "");
        EXPECT_EQ(answer.fields.at("Connection"), "close");
    }
}

// The header bytes themselves, field by field in their order.
TEST(ResponseHead, HeadersOnTheWire) {
    const std::string body = Body(1000);
    struct Case {
        const char* name;
        BrowseOptions options;
        std::string method;
        std::string lines;
        PageKind kind;
        std::string expected;
        ContentCoding coding = ContentCoding::Identity;
        bool varies = false;
        bool keepOpen = false;
    };
    BrowseOptions keepAlive;
    keepAlive.KeepAlive = true;
    const std::string gzipTag = kTag.substr(0, kTag.size() - 1) + "-gzip\"";
    BrowseOptions head;
    head.Head = true;
    BrowseOptions statusCodes;
    statusCodes.StatusCodes = true;
    BrowseOptions oldOptions{true, true, true};
    const Case cases[] = {
        {"no options: today's header",
         {},
         "GET",
         "Range: bytes=0-9\nIf-None-Match: *",
         PageKind::NotFound,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n\r\n" + body},
        {"the path options alone: today's header", oldOptions, "GET", "Range: bytes=0-9",
         PageKind::Entry,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n\r\n" + body},
        {"modern, whole", BrowseOptions::Modern(), "GET", "", PageKind::Entry,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n"
         "Accept-Ranges: bytes\r\nETag: " +
             kTag + "\r\nLast-Modified: " + kDate + "\r\nConnection: close\r\n\r\n" + body},
        {"modern, part", BrowseOptions::Modern(), "GET", "Range: bytes=10-12", PageKind::Entry,
         "HTTP/1.1 206 Partial Content\r\nContent-Type: video/webm\r\nContent-Length: 3\r\n"
         "Content-Range: bytes 10-12/1000\r\nAccept-Ranges: bytes\r\nETag: " +
             kTag + "\r\nLast-Modified: " + kDate + "\r\nConnection: close\r\n\r\n" +
             body.substr(10, 3)},
        {"modern, not satisfiable", BrowseOptions::Modern(), "GET", "Range: bytes=1000-",
         PageKind::Entry,
         "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */1000\r\n"
         "Content-Length: 0\r\nETag: " +
             kTag + "\r\nLast-Modified: " + kDate + "\r\nConnection: close\r\n\r\n"},
        {"modern, not modified", BrowseOptions::Modern(), "GET", "If-None-Match: " + kTag,
         PageKind::Entry,
         "HTTP/1.1 304 Not Modified\r\nETag: " + kTag + "\r\nLast-Modified: " + kDate +
             "\r\nConnection: close\r\n\r\n"},
        {"HEAD: GET's header, no body", head, "HEAD", "", PageKind::Entry,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n"
         "Connection: close\r\n\r\n"},
        {"HEAD of a part", BrowseOptions::Modern(), "HEAD", "Range: bytes=-1", PageKind::Entry,
         "HTTP/1.1 206 Partial Content\r\nContent-Type: video/webm\r\nContent-Length: 1\r\n"
         "Content-Range: bytes 999-999/1000\r\nAccept-Ranges: bytes\r\nETag: " +
             kTag + "\r\nLast-Modified: " + kDate + "\r\nConnection: close\r\n\r\n"},
        {"404 for the not-found text", statusCodes, "GET", "", PageKind::NotFound,
         "HTTP/1.1 404 Not Found\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n"
         "Connection: close\r\n\r\n" +
             body},
        {"500 for a damaged entry's text", statusCodes, "GET", "", PageKind::Damaged,
         "HTTP/1.1 500 Internal Server Error\r\nContent-Type: video/webm\r\n"
         "Content-Length: 1000\r\nConnection: close\r\n\r\n" +
             body},
        {"keep-alive alone, kept open: today's fields", keepAlive, "GET", "", PageKind::Entry,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n\r\n" + body,
         ContentCoding::Identity, false, true},
        {"modern, gzip, kept open: no range, its own tag", BrowseOptions::Modern(), "GET",
         "Range: bytes=10-12", PageKind::Entry,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n"
         "Content-Encoding: gzip\r\nETag: " +
             gzipTag + "\r\nLast-Modified: " + kDate + "\r\nVary: Accept-Encoding\r\n\r\n" + body,
         ContentCoding::Gzip, true, true},
        {"modern, gzip tag given back: 304", BrowseOptions::Modern(), "GET",
         "If-None-Match: " + gzipTag, PageKind::Entry,
         "HTTP/1.1 304 Not Modified\r\nETag: " + gzipTag + "\r\nLast-Modified: " + kDate +
             "\r\nVary: Accept-Encoding\r\nConnection: close\r\n\r\n",
         ContentCoding::Gzip, true},
        {"modern, plain but varying: the plain tag misses", BrowseOptions::Modern(), "GET",
         "If-None-Match: " + gzipTag, PageKind::Entry,
         "HTTP/1.1 200 OK\r\nContent-Type: video/webm\r\nContent-Length: 1000\r\n"
         "Accept-Ranges: bytes\r\nETag: " +
             kTag + "\r\nLast-Modified: " + kDate +
             "\r\nVary: Accept-Encoding\r\nConnection: close\r\n\r\n" + body,
         ContentCoding::Identity, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RequestHead request =
            ParseRequestHead(c.method + " /x HTTP/1.1\n" + c.lines + "\n\n");
        const ResponsePlan plan =
            PlanResponse(request, {c.kind, "video/webm", body.size(), kEntry, c.coding, c.varies},
                         c.options, kVersion, c.keepOpen);
        EXPECT_EQ(plan.Header + body.substr(plan.BodyFirst, plan.BodyLength), c.expected);
    }
}

}  // namespace

namespace {

// The head is read up to its empty line, CR or no CR, within one limit.
TEST(RequestHead, EndsAtTheEmptyLineWithinTheLimit) {
    struct Case {
        const char* name;
        std::string received;
        HeadProgress progress;
        std::string head;
    };
    const std::string longLine = "X: " + std::string(kMaxRequestLineLength, 'x') + "\r\n";
    const Case cases[] = {
        {"CR LF", "GET / HTTP/1.1\r\nRange: bytes=0-1\r\n\r\nbody", HeadProgress::Complete,
         "GET / HTTP/1.1\nRange: bytes=0-1\n\n"},
        {"LF alone", "GET / HTTP/1.1\nA: b\n\n", HeadProgress::Complete,
         "GET / HTTP/1.1\nA: b\n\n"},
        {"empty request line", "\r\nGET / HTTP/1.1\r\n\r\n", HeadProgress::Complete, "\n"},
        {"no empty line yet", "GET / HTTP/1.1\r\nA: b\r\n", HeadProgress::Incomplete,
         "GET / HTTP/1.1\nA: b\n"},
        {"over the limit", "GET / HTTP/1.1\r\n" + longLine + "\r\n", HeadProgress::TooLong, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string head;
        HeadProgress progress = HeadProgress::Incomplete;
        // One byte at a time, as the slowest peer sends it.
        for (size_t i = 0; i < c.received.size() && progress == HeadProgress::Incomplete; ++i) {
            progress = AppendToRequestHead(head, c.received.data() + i, 1);
        }
        EXPECT_EQ(progress, c.progress);
        EXPECT_LE(head.size(), kMaxRequestLineLength);
        if (c.progress != HeadProgress::TooLong) {
            EXPECT_EQ(head, c.head);
        }
    }
}

TEST(HttpDate, WrittenAndReadBack) {
    for (const int64_t seconds :
         {int64_t{0}, int64_t{784111777}, int64_t{951782400}, int64_t{4102444799}, int64_t{-1}}) {
        EXPECT_EQ(ParseHttpDate(FormatHttpDate(seconds)), seconds) << FormatHttpDate(seconds);
    }
    EXPECT_EQ(FormatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(FormatHttpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
    for (const char* bad : {"Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 31 Feb 1994 08:49:37 GMT",
                            "Sun, 06 Nov 1994 24:00:00 GMT", "Sun Nov  6 08:49:37 1994", ""}) {
        EXPECT_FALSE(ParseHttpDate(bad)) << bad;
    }
}

}  // namespace
