// The header of a response and the part of the page's body that follows it.
#pragma once

#include <cstdint>
#include <string>

#include "WebServer/AcceptEncoding.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/PageKind.h"
#include "WebServer/RequestHead.h"
#include "WebServer/Validators.h"

// The one response the server sends by default: the request's own version
// echoed, " 200 OK", Content-Type and Content-Length (the body alone), then the
// empty line.
std::string ResponseHeader(const std::string& version, const std::string& contentType,
                           size_t bodyLength);

// What the response needs to know of the page it answers with.
struct PageFacts {
    PageKind Kind = PageKind::Entry;
    std::string ContentType;
    uint64_t Length = 0;  // of the whole body
    uint32_t Entry = 0;   // the entry's index, for Kind Entry
    // The coding the body is in (Length counts it so coded) ...
    ContentCoding Coding = ContentCoding::Identity;
    // ... and whether another request could have it in another.
    bool VariesByCoding = false;
    // Kind Moved: where the page is now, as the Location field gives it.
    std::string Location = {};
};

struct ResponsePlan {
    std::string Header;
    int Status = 200;
    // The bytes of the page's body that follow the header.
    uint64_t BodyFirst = 0;
    uint64_t BodyLength = 0;
};

// The answer to a GET (or, with options.Head, a HEAD) `request` for `page`.
// Without the options that shape responses it is ResponseHeader's, with the
// whole body. With them: 404 or 500 for the texts (StatusCodes); ETag and
// Last-Modified for an entry, and 304 without a body when If-None-Match
// (or, without it, If-Modified-Since) matches (Validators); 206 with one part,
// or 416, for a Range that If-Range, if sent, allows (Ranges); no body for a
// HEAD; Content-Encoding for a coded body, whose tag is the coding's own and
// which is never cut into ranges, and Vary: Accept-Encoding (Compress); and
// Connection: close on every one unless `keepOpen`. A Moved page is 301 with
// its Location, whatever the options.
ResponsePlan PlanResponse(const RequestHead& request, const PageFacts& page,
                          const BrowseOptions& options, const ArchiveVersion& version,
                          bool keepOpen = false);
