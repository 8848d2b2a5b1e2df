// Arbitrary bytes as what a peer sends: gathered into a request line in
// receive-sized pieces, split, resolved against a small archive and answered,
// with the opt-in options off and on; gathered again as a whole head with its
// header lines and answered with every option on (ranges, validators, HEAD,
// status codes); the search's answer for its paths; as a sequence of
// requests on one persistent connection with every option on (keep-alive,
// compression, a root, the access log); and the same bytes as a media-types
// list.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Search/SearchPages.h"
#include "Search/SiteSearch.h"
#include "Shared/ArchiveLayout.h"
#include "WebServer/AcceptEncoding.h"
#include "WebServer/AccessLogLine.h"
#include "WebServer/Connection.h"
#include "WebServer/KeepAlive.h"
#include "WebServer/PageResolution.h"
#include "WebServer/RequestHead.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ResponseCompression.h"
#include "WebServer/ResponseHead.h"
#include "WebServer/UrlRoot.h"
#include "tests/fuzz/FuzzArchive.h"
#include "tests/server/ServedPage.h"

namespace {

// An archive of three entries: raw, empty, and one whose name has odd bytes.
std::optional<LoadedArchive> LoadSmallArchive() {
    std::string data = "<html>hello</html>";
    std::string archive;
    PutU32(archive, static_cast<uint32_t>(kHeaderSize + data.size()));
    archive += data;
    const std::string names[] = {"index.html", "Docs/Empty.CSS", "a b%20c?d#e.htm"};
    const uint32_t sizes[] = {static_cast<uint32_t>(data.size()), 0, 5};
    for (int i = 0; i < 3; ++i) {
        PutU32(archive, sizes[i]);
        PutU32(archive, 0);
        PutU32(archive, kHeaderSize);
        PutU16(archive, static_cast<uint16_t>(names[i].size()));
        archive += names[i];
    }
    return LoadFuzzArchive(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
}

using server_testing::Serve;
using server_testing::ServedPage;
using server_testing::TestSite;

// A search over three small pages, its index built before the first input.
const SiteSearch& SmallSearch() {
    static SiteSearch* search = [] {
        SearchSource source;
        source.Names = {"index.html", "notes.txt", "a b.htm"};
        source.Sizes = {40, 30, 20};
        source.ReadContent = [](uint32_t entry, size_t, std::string& content) {
            static const char* const kPages[] = {"<title>Home</title><p>tides &amp; light</p>",
                                                 "tides near the lighthouse",
                                                 "<h1>A B</h1>\xE9t\xE9"};
            content = kPages[entry];
            return true;
        };
        auto* built = new SiteSearch(std::move(source), {}, [](const std::string&) {});
        built->Start();
        built->WaitUntilSettled();
        return built;
    }();
    return *search;
}

// The head read as the options that need header lines read it, and every
// response planned for it with all options on: the part sent lies inside the
// body, and the header says how long it is.
void AnswerWholeHead(Site& site, const uint8_t* data, size_t size) {
    std::string head;
    HeadProgress progress = HeadProgress::Incomplete;
    for (size_t offset = 0; offset < size && progress == HeadProgress::Incomplete;
         offset += kReceiveSize) {
        const size_t piece = std::min(kReceiveSize, size - offset);
        progress = AppendToRequestHead(head, reinterpret_cast<const char*>(data) + offset, piece);
    }
    if (head.size() > kMaxRequestLineLength || head.find('\r') != std::string::npos) {
        __builtin_trap();
    }
    if (!HasRequestLine(head)) return;
    const RequestHead request = ParseRequestHead(head);
    const ServedPage page = Serve(site, request);
    if (page.Plan.Kind == PlanKind::Refuse) return;
    const ResponsePlan& plan = page.Plan.Response.value();
    if (plan.BodyFirst > page.Body.size() || plan.BodyLength > page.Body.size() - plan.BodyFirst ||
        !plan.Header.starts_with(request.Line.Version) || !plan.Header.ends_with("\r\n\r\n")) {
        __builtin_trap();
    }
    const bool headOnly = request.Line.Method == "HEAD";
    if (!headOnly && plan.Header.find(" 304 ") == std::string::npos &&
        plan.Header.find("\r\nContent-Length: " + std::to_string(plan.BodyLength) + "\r\n") ==
            std::string::npos) {
        __builtin_trap();
    }
}

// The bytes as one connection receives them with every option on, in
// receive-sized pieces: each head ends where the next request begins, and
// each is answered as the connection would, until one closes it. Every head
// takes bytes, so the sequence ends; every response says whether the
// connection stays open; every log line is one line.
BrowseOptions SequenceOptions() {
    BrowseOptions options = BrowseOptions::Modern();
    options.Search = false;
    options.UrlRoot = *UrlRootOf("/docs");
    options.AccessLogPath.assign(1, '-');  // the standard output
    return options;
}

void AnswerSequence(Site& site, const uint8_t* data, size_t size) {
    std::string pending(reinterpret_cast<const char*>(data), size);
    std::string head;
    unsigned answered = 0;
    while (!pending.empty()) {
        const size_t piece = std::min(kReceiveSize, pending.size());
        size_t used = 0;
        const HeadProgress progress = AppendToRequestHead(head, pending.data(), piece, &used);
        if (used == 0 || used > piece) __builtin_trap();
        pending.erase(0, used);
        if (progress == HeadProgress::TooLong) return;
        if (progress == HeadProgress::Incomplete) continue;
        const RequestHead request = ParseRequestHead(head);
        head.clear();
        const bool keepOpen = StaysOpenAfter(request, answered + 1);
        RequestPlan plan = RouteRequest(site, request, keepOpen);
        if (plan.Kind == PlanKind::Refuse) return;
        ++answered;
        const std::optional<ResponseBody> body = QuickBody(plan);
        if (!body) __builtin_trap();  // every entry is small: nothing is made
        const std::string bytes = server_testing::TextOf(*body);
        uint64_t length = bytes.size();
        if (plan.Compress != ContentCoding::Identity) {
            if (const auto compressed =
                    CompressIfSmaller(plan.Compress, bytes.data(), bytes.size());
                compressed && compressed->Size != 0) {
                plan.Page.Coding = plan.Compress;
                length = compressed->Size;
            }
        }
        if (!plan.Response) PlanMadeResponse(plan, request, length);
        const ResponsePlan& response = *plan.Response;
        if (!response.Header.ends_with("\r\n\r\n") ||
            (response.Header.find("\r\nConnection: close\r\n") == std::string::npos) == !keepOpen ||
            response.BodyFirst + response.BodyLength > length) {
            __builtin_trap();
        }
        const AccessRecord record{
            "127.0.0.1",      1700000000,          request.Line.Method + " " + request.Line.Target,
            response.Status,  response.BodyLength, request.Referer,
            request.UserAgent};
        const std::string line = AccessLogLine(record);
        if (line.find('\n') != line.size() - 1 || line.find('\r') != std::string::npos) {
            __builtin_trap();
        }
        if (!keepOpen) return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::optional<LoadedArchive> loaded = LoadSmallArchive();
    if (!loaded) return 0;
    // Every option on (ranges, validators, HEAD, status codes), and off.
    static TestSite modern(*loaded, PageRulesFor(BrowseOptions::Modern()));
    static TestSite plain(*loaded);
    // Every option on, the search aside, under a root.
    static TestSite sequence(*loaded, PageRulesFor(SequenceOptions()));
    MimeTypeTable::Parse(std::string_view(reinterpret_cast<const char*>(data), size));

    std::string line;
    LineProgress progress = LineProgress::Incomplete;
    for (size_t offset = 0; offset < size && progress == LineProgress::Incomplete;
         offset += kReceiveSize) {
        const size_t piece = std::min(kReceiveSize, size - offset);
        progress = AppendToRequestLine(line, reinterpret_cast<const char*>(data) + offset, piece);
    }
    if (line.size() > kMaxRequestLineLength) __builtin_trap();
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
        __builtin_trap();
    AnswerWholeHead(modern.Get(), data, size);
    AnswerSequence(sequence.Get(), data, size);
    if (progress != LineProgress::Complete) return 0;

    const RequestLine request = SplitRequestLine(line);
    if (request.Method != "GET") return 0;
    const RequestTarget target = SplitTarget(request.Target);
    static TestSite resolving(*loaded, [] {
        PageRules rules;
        rules.Options = {true, true, true};
        rules.StandardTypes = MimeTypeTable::Parse("image/svg+xml svg\ntext/html htm html\n");
        return rules;
    }());
    const std::string normalized = NormalizePath(target.Path);
    const std::optional<SearchResponse> searched =
        AnswerSearchRequest(normalized, target.Query, SmallSearch());
    if (searched.has_value() != (normalized == kSearchPagePath || normalized == kSearchJsonPath))
        __builtin_trap();
    if (searched && !(searched->Body.starts_with("<!DOCTYPE html>\n") ||
                      searched->Body.starts_with("{\"query\": \""))) {
        __builtin_trap();
    }
    RequestHead get;
    get.Line = {"GET", target.Path, request.Version};
    for (TestSite* site : {&plain, &resolving}) {
        const ServedPage page = Serve(site->Get(), get);
        const std::string& header = page.Plan.Response.value().Header;
        if (header.compare(0, request.Version.size(), request.Version) != 0 ||
            !header.ends_with("\r\nContent-Length: " + std::to_string(page.Body.size()) +
                              "\r\n\r\n")) {
            __builtin_trap();
        }
    }
    return 0;
}
