// What one request comes to, decided once: the one place that knows which
// paths the server answers and how. The connection keeps the plan and carries
// it out (PlanBody) without knowing what made it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "WebServer/PageRules.h"
#include "WebServer/RequestHead.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ResponseBody.h"
#include "WebServer/ResponseHead.h"

struct Site;
struct LibrarySnapshot;
class LoaderPool;

enum class PlanKind {
    Refuse,  // a method the server does not answer: the connection closes
    Ready,   // Body holds the whole page now (the not-found or damaged text)
    Entry,   // an archive entry's content, read or made once the plan is kept
    Search,  // the site search's answer, made on the loader pool
};

struct RequestPlan {
    PlanKind Kind = PlanKind::Refuse;
    // The site that answers; every other field refers to it. None for a
    // library's own pages and its search across every archive.
    Site* Where = nullptr;
    // The server's rules, which the response is planned by.
    const PageRules* Rules = nullptr;
    // In a library: the snapshot the request started with, held until it
    // ends, so that the archive of Where stays open while it is answered; a
    // search across the library (no Where) asks its archives.
    std::shared_ptr<const LibrarySnapshot> Library;
    // The threads a search across the library runs on.
    LoaderPool* Loaders = nullptr;
    // What the response says of the page. Its Length is the whole body's: for
    // a search, known once the body is made.
    PageFacts Page;
    // The header and the part of the body sent: planned here, except for a
    // search, whose length its answer decides (PlanMadeResponse).
    std::optional<ResponsePlan> Response;
    // Ready: the whole body. Entry: the body the cache held, if it did.
    ResponseBody Body;
    // Search: the normalised path (which of the search's pages) and the query
    // after the target's "?".
    std::string SearchPath;
    std::string SearchQuery;
    // Entry: the coding its body goes in if that shrinks it; the response is
    // planned once the compressed length is known (PlanMadeResponse).
    ContentCoding Compress = ContentCoding::Identity;
    // The connection stays open after the response (--browse-keep-alive).
    bool KeepOpen = false;
};

// The plan for `request` (read whole) on `site`. The path is resolved once
// against the archive (ResolvePath), as the site's options allow; with the
// search on, its two paths are the search's unless an entry bears that name.
// With a root (UrlRoot), only the paths below it are answered, the search's
// too. A text entry goes compressed when the client takes brotli or gzip and
// asks for no range (Compress). `keepOpen`: the connection may stay open after the
// response. Only the entry's recorded sizes are checked against the archive
// file here, unless the cache holds its body (read whole before), which the
// plan then carries; nothing is read.
RequestPlan RouteRequest(Site& site, const RequestHead& request, bool keepOpen = false);

// The same for `target`, the request's target as the routing step passes it
// on: its path below the root and, in a library, below the archive's prefix.
RequestPlan RouteTarget(Site& site, const RequestHead& request, RequestTarget target,
                        bool keepOpen);

// The request's target with the root (UrlRoot) taken off its path, or nothing
// for a path outside it: the one place the root is stripped.
std::optional<RequestTarget> TargetUnderRoot(const RequestHead& request, const std::string& root);

// The body of the not-found text for `normalizedPath`.
ResponseBody NotFoundBody(const std::string& normalizedPath);

// Plans the response of a Search plan once its body, `length` bytes, is made,
// or of a Compress plan once its body is, in plan.Page.Coding.
void PlanMadeResponse(RequestPlan& plan, const RequestHead& request, uint64_t length);
