#include "WebServer/ResponseHead.h"

#include <optional>
#include <string_view>

#include "WebServer/ByteRange.h"
#include "WebServer/HttpDate.h"

namespace {

constexpr const char* kHeadMethod = "HEAD";

const char* StatusLineOf(int status) {
    switch (status) {
        case 206:
            return " 206 Partial Content\r\n";
        case 301:
            return " 301 Moved Permanently\r\n";
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

// Room for a usual header, so that building one allocates once.
constexpr size_t kUsualHeaderBytes = 256;

void AddField(std::string& header, std::string_view name, std::string_view value) {
    header.append(name).append(": ").append(value).append("\r\n");
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
    if (page.Kind == PageKind::Moved) {
        std::string made = httpVersion + StatusLineOf(301);
        AddField(made, "Location", page.Location);
        AddField(made, "Content-Type", page.ContentType);
        AddField(made, "Content-Length", std::to_string(page.Length));
        if (!keepOpen) made.append("Connection: close\r\n");
        made.append("\r\n");
        return {std::move(made), 301, 0, request.Line.Method == kHeadMethod ? 0 : page.Length};
    }
    if (!options.ShapesResponses()) {
        return {ResponseHeader(httpVersion, page.ContentType, page.Length), 200, 0, page.Length};
    }
    int status = 200;
    if (options.StatusCodes && page.Kind == PageKind::NotFound) status = 404;
    if (options.StatusCodes && page.Kind == PageKind::Damaged) status = 500;

    const bool validated = options.Validators && page.Kind == PageKind::Entry;
    std::string tag;
    if (validated) tag = EntityTagOf(version, page.Entry, page.Coding);
    const bool coded = page.Coding != ContentCoding::Identity;
    // The status line, then the lines the status adds (`fields`), then those
    // every response has.
    auto header = [&](int status, const auto& fields) {
        std::string made;
        made.reserve(kUsualHeaderBytes);
        made.append(httpVersion).append(StatusLineOf(status));
        fields(made);
        if (validated) {
            AddField(made, "ETag", tag);
            AddField(made, "Last-Modified", FormatHttpDate(version.LastModified));
        }
        if (page.VariesByCoding) AddField(made, "Vary", "Accept-Encoding");
        if (!keepOpen) made.append("Connection: close\r\n");
        made.append("\r\n");
        return made;
    };
    if (validated && NotModified(request, tag, version.LastModified)) {
        return {header(304, [](std::string&) {}), 304, 0, 0};
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
            plan.Header = header(416, [&](std::string& made) {
                AddField(made, "Content-Range", "bytes */" + length);
                AddField(made, "Content-Length", "0");
            });
            break;
        case RangeAnswer::Part:
            plan.Status = 206;
            plan.BodyFirst = range.First;
            plan.BodyLength = range.Length;
            plan.Header = header(206, [&](std::string& made) {
                AddField(made, "Content-Type", page.ContentType);
                AddField(made, "Content-Length", std::to_string(range.Length));
                AddField(made, "Content-Range",
                         "bytes " + std::to_string(range.First) + "-" +
                             std::to_string(range.First + range.Length - 1) + "/" + length);
                AddField(made, "Accept-Ranges", "bytes");
            });
            break;
        case RangeAnswer::Whole:
            plan.Status = status;
            plan.BodyLength = page.Length;
            plan.Header = header(status, [&](std::string& made) {
                AddField(made, "Content-Type", page.ContentType);
                AddField(made, "Content-Length", length);
                if (coded) AddField(made, "Content-Encoding", CodingName(page.Coding));
                if (options.Ranges && status == 200 && !coded) {
                    AddField(made, "Accept-Ranges", "bytes");
                }
            });
            break;
    }
    if (request.Line.Method == kHeadMethod) plan.BodyLength = 0;
    return plan;
}
