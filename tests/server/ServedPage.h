// A page as the server answers a request for it, had through the server's own
// route and loader (RouteRequest, QuickBody, MakeBody), for the tests and fuzz
// targets that look at pages rather than at the wire. Header-only: the fuzz
// targets build without the test framework.
#pragma once

#include <future>
#include <memory>
#include <optional>
#include <string>

#include "Platform/File.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/PlanBody.h"
#include "WebServer/Route.h"
#include "WebServer/Site.h"

namespace server_testing {

struct ServedPage {
    RequestPlan Plan;  // what the request came to
    std::string Body;  // the whole body, as the server has it
    std::string ContentType;
};

// A site over `archive` as a server makes it, with one loader of its own.
class TestSite {
  public:
    explicit TestSite(const LoadedArchive& archive, PageRules rules = {},
                      size_t budgetBytes = size_t{256} << 20)
        : rules_(std::move(rules)),
          bodies_(cache_, loaders_, budgetBytes),
          // Not owned: the test's archive outlives the site.
          site_(std::shared_ptr<const LoadedArchive>(std::shared_ptr<void>(), &archive), rules_, {},
                loaders_, cache_, compressed_, bodies_) {}
    ~TestSite() {
        loaders_.Stop();
        bodies_.Stop();
    }
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    Site& Get() { return site_; }

  private:
    const PageRules rules_;
    PageCache cache_{kPageCacheBytes};
    PageCache compressed_{kCompressedCacheBytes};
    LoaderPool loaders_{1};
    LargeBodies bodies_;
    Site site_;
};

inline std::string TextOf(const ResponseBody& body) {
    if (!body.IsFile()) return {body.Memory.Bytes.get() + body.Offset, body.Size};
    std::string bytes(body.Size, '\0');
    bytes.resize(platform::ReadAt(body.File, bytes.data(), bytes.size(), body.Offset));
    return bytes;
}

// The answer to `request`: the whole page, not the part a Range asks for.
inline ServedPage Serve(Site& site, const RequestHead& request) {
    ServedPage served{RouteRequest(site, request), {}, {}};
    served.ContentType = served.Plan.Page.ContentType;
    std::optional<ResponseBody> body = QuickBody(served.Plan);
    if (!body && served.Plan.Kind != PlanKind::Refuse) {
        std::promise<std::optional<SharedBody>> made;
        MakeBody(served.Plan, [&made](std::optional<SharedBody> given) { made.set_value(given); });
        if (std::optional<SharedBody> given = made.get_future().get()) {
            body = ResponseBody::InMemory(std::move(*given));
        }
    }
    if (body) served.Body = TextOf(*body);
    return served;
}

// The answer to a GET of `path` (the target, before any "?").
inline ServedPage Serve(Site& site, const std::string& path) {
    RequestHead request;
    request.Line = {"GET", path, "HTTP/1.1"};
    return Serve(site, request);
}

}  // namespace server_testing
