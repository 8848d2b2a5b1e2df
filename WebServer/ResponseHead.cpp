#include "WebServer/ResponseHead.h"

#include <optional>

#include "WebServer/ByteRange.h"
#include "WebServer/HttpDate.h"

namespace {

constexpr const char* kHeadMethod = "HEAD";

const char* StatusLineOf(int status) {
    switch (status) {
        case 206:
            return " 206 Partial Content\r\n";
        case 304:
            return " 304 Not Modified\r\n";
        case 404:
            return " 404 Not Found\r\n";
        case 416:
            return " 416 Range Not Satisfiable\r\n";
        case 500:
            return " 500 Internal Server Error\r\n";
        default:
            return " 200 OK\r\n";
    }
}

std::string Field(const char* name, const std::string& value) {
    return std::string(name) + ": " + value + "\r\n";
}

// Whether the browser's copy, described by its validators, is still this one.
bool NotModified(const RequestHead& request, const std::string& tag, int64_t lastModified) {
    if (request.IfNoneMatch) return NoneMatchHits(*request.IfNoneMatch, tag);
    if (!request.IfModifiedSince) return false;
    const std::optional<int64_t> since = ParseHttpDate(*request.IfModifiedSince);
    return since && lastModified <= *since;
}

}  // namespace

std::string ResponseHeader(const std::string& version, const std::string& contentType,
                           size_t bodyLength) {
    return version + " 200 OK\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(bodyLength) + "\r\n\r\n";
}

ResponsePlan PlanResponse(const RequestHead& request, const PageFacts& page,
                          const BrowseOptions& options, const ArchiveVersion& version,
                          bool keepOpen) {
    const std::string& httpVersion = request.Line.Version;
    if (!options.ShapesResponses()) {
        return {ResponseHeader(httpVersion, page.ContentType, page.Length), 200, 0, page.Length};
    }
    int status = 200;
    if (options.StatusCodes && page.Kind == PageKind::NotFound) status = 404;
    if (options.StatusCodes && page.Kind == PageKind::Damaged) status = 500;

    const bool validated = options.Validators && page.Kind == PageKind::Entry;
    std::string validators;
    std::string tag;
    if (validated) {
        tag = EntityTagOf(version, page.Entry, page.Coding);
        validators =
            Field("ETag", tag) + Field("Last-Modified", FormatHttpDate(version.LastModified));
    }
    const bool coded = page.Coding != ContentCoding::Identity;
    const std::string vary = page.VariesByCoding ? Field("Vary", "Accept-Encoding") : "";
    const std::string closing = (keepOpen ? "" : "Connection: close\r\n") + std::string("\r\n");
    if (validated && NotModified(request, tag, version.LastModified)) {
        return {httpVersion + StatusLineOf(304) + validators + vary + closing, 304, 0, 0};
    }

    RangeChoice range;
    if (status == 200 && options.Ranges && !coded && request.Range &&
        (!request.IfRange ||
         (validated && RangeConditionHolds(*request.IfRange, tag, version.LastModified)))) {
        range = ChooseRange(*request.Range, page.Length);
    }
    const std::string length = std::to_string(page.Length);
    ResponsePlan plan;
    switch (range.Answer) {
        case RangeAnswer::NotSatisfiable:
            plan.Status = 416;
            plan.Header = httpVersion + StatusLineOf(416) +
                          Field("Content-Range", "bytes */" + length) +
                          Field("Content-Length", "0");
            break;
        case RangeAnswer::Part:
            plan.Status = 206;
            plan.BodyFirst = range.First;
            plan.BodyLength = range.Length;
            plan.Header = httpVersion + StatusLineOf(206) +
                          Field("Content-Type", page.ContentType) +
                          Field("Content-Length", std::to_string(range.Length)) +
                          Field("Content-Range",
                                "bytes " + std::to_string(range.First) + "-" +
                                    std::to_string(range.First + range.Length - 1) + "/" + length) +
                          Field("Accept-Ranges", "bytes");
            break;
        case RangeAnswer::Whole:
            plan.Status = status;
            plan.BodyLength = page.Length;
            plan.Header = httpVersion + StatusLineOf(status) +
                          Field("Content-Type", page.ContentType) + Field("Content-Length", length);
            if (coded)
                plan.Header += Field("Content-Encoding", std::string(CodingName(page.Coding)));
            if (options.Ranges && status == 200 && !coded) {
                plan.Header += Field("Accept-Ranges", "bytes");
            }
            break;
    }
    plan.Header += validators + vary + closing;
    if (request.Line.Method == kHeadMethod) plan.BodyLength = 0;
    return plan;
}
