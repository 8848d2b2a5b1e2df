#include "WebServer/Route.h"

#include <cstring>
#include <memory>
#include <string_view>

#include "Platform/File.h"
#include "Search/SearchPages.h"
#include "Shared/ReadEntry.h"
#include "WebServer/AcceptEncoding.h"
#include "WebServer/ContentTypes.h"
#include "WebServer/PageResolution.h"
#include "WebServer/PlanBody.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ResponseCompression.h"
#include "WebServer/Site.h"
#include "WebServer/UrlRoot.h"

namespace {

constexpr const char* kAnsweredMethod = "GET";
// Answered as GET is, without the body, with --browse-head.
constexpr const char* kHeadMethod = "HEAD";

constexpr const char* kNotFoundText = "Cannot find the specified page: ";

// Said instead of the content of an entry whose recorded sizes the archive
// cannot back; reading it would mean allocating memory that can never be
// filled.
constexpr const char* kDamagedEntryText = "Cannot read the specified page from the archive: ";

constexpr const char* kPlainText = "text/plain";

// The body of a folder's move (FolderMovedTo), before where it is now;
// browsers follow the Location field and never show it.
constexpr const char* kMovedText = "Moved to: ";

// The content type of the search's answer when `normalizedPath` names one of
// its pages; nothing when no search runs.
std::optional<std::string_view> SearchTypeOf(const Site& site, const std::string& normalizedPath) {
    if (site.Search == nullptr) return std::nullopt;
    if (normalizedPath == kSearchPagePath) return kSearchPageType;
    if (normalizedPath == kSearchJsonPath) return kSearchJsonType;
    return std::nullopt;
}

ResponseBody TextBody(const char* text, const std::string& path) {
    const size_t textLength = std::strlen(text);
    SharedBody body;
    body.Size = textLength + path.size();
    auto bytes = std::make_shared_for_overwrite<char[]>(body.Size);
    std::memcpy(bytes.get(), text, textLength);
    std::memcpy(bytes.get() + textLength, path.data(), path.size());
    body.Bytes = std::move(bytes);
    return ResponseBody::InMemory(std::move(body));
}

// A plan for `site` that refuses the request, and whether its method is one
// the site answers at all.
bool StartPlan(RequestPlan& plan, Site& site, const RequestHead& request, bool keepOpen) {
    plan.Where = &site;
    plan.Rules = &site.Rules;
    plan.KeepOpen = keepOpen;
    const std::string& method = request.Line.Method;
    return method == kAnsweredMethod || (site.Rules.Options.Head && method == kHeadMethod);
}

// A path outside the root: not found, whatever the archive holds.
RequestPlan OutsideRoot(Site& site, const RequestHead& request, bool keepOpen) {
    RequestPlan plan;
    if (!StartPlan(plan, site, request, keepOpen)) return plan;
    const BrowseOptions& options = site.Rules.Options;
    plan.Kind = PlanKind::Ready;
    plan.Body = TextBody(kNotFoundText, NormalizePath(SplitTarget(request.Line.Target).Path));
    plan.Page = {PageKind::NotFound, kPlainText, plan.Body.Size, 0};
    plan.Response = PlanResponse(request, plan.Page, options, site.Version, keepOpen);
    return plan;
}

}  // namespace

ResponseBody NotFoundBody(const std::string& normalizedPath) {
    return TextBody(kNotFoundText, normalizedPath);
}

std::optional<RequestTarget> TargetUnderRoot(const RequestHead& request, const std::string& root) {
    RequestTarget target = SplitTarget(request.Line.Target);
    std::optional<std::string> path = PathUnderRoot(target.Path, root);
    if (!path) return std::nullopt;
    target.Path = std::move(*path);
    return target;
}

RequestPlan RouteRequest(Site& site, const RequestHead& request, bool keepOpen) {
    if (auto target = TargetUnderRoot(request, site.Rules.Options.UrlRoot)) {
        return RouteTarget(site, request, std::move(*target), keepOpen);
    }
    return OutsideRoot(site, request, keepOpen);
}

RequestPlan RouteTarget(Site& site, const RequestHead& request, RequestTarget target,
                        bool keepOpen) {
    RequestPlan plan;
    if (!StartPlan(plan, site, request, keepOpen)) return plan;
    const BrowseOptions& options = site.Rules.Options;

    Resolution resolved = ResolvePath(site.Archive, target.Path, options);
    auto planned = [&](PlanKind kind, PageFacts page) {
        plan.Kind = kind;
        plan.Page = std::move(page);
        if (plan.Compress == ContentCoding::Identity) {
            plan.Response = PlanResponse(request, plan.Page, options, site.Version, keepOpen);
        }
        return std::move(plan);
    };
    auto text = [&](PageKind kind, const char* what) {
        plan.Body = TextBody(what, resolved.Path);
        return planned(PlanKind::Ready, {kind, kPlainText, plan.Body.Size, 0});
    };
    // A folder named without its "/" (a library's archive: the empty path
    // with a last segment sent). Only then is the path as sent looked at again.
    std::optional<std::string> moved;
    if (target.Path.empty() || !resolved.Match.Found) {
        moved = FolderMovedTo(site.Archive, SplitTarget(request.Line.Target).Path, target.Path,
                              options);
    }
    if (moved) {
        if (!target.Query.empty()) *moved += "?" + target.Query;
        plan.Body = TextBody(kMovedText, *moved);
        PageFacts page{PageKind::Moved, kPlainText, plan.Body.Size, 0};
        page.Location = std::move(*moved);
        return planned(PlanKind::Ready, std::move(page));
    }
    if (!resolved.Match.Found) {
        // Not found, the path is the one sent, normalised.
        if (const auto type = SearchTypeOf(site, resolved.Path)) {
            plan.Kind = PlanKind::Search;
            plan.Page = {PageKind::Made, std::string(*type), 0, 0};
            plan.SearchPath = std::move(resolved.Path);
            plan.SearchQuery = std::move(target.Query);
            return plan;
        }
        return text(PageKind::NotFound, kNotFoundText);
    }
    const uint32_t index = resolved.Match.Index;
    const EntryView entry = site.Archive.Entries[index];
    // A body the cache holds was read whole from the file: only an entry
    // still to be read asks the file's size, a system call per request.
    if (std::optional<SharedBody> held = site.Cache.Find(index)) {
        plan.Body = ResponseBody::InMemory(std::move(*held));
    } else if (!IsBackedByFile(entry, platform::FileSize64(site.Archive.File()))) {
        return text(PageKind::Damaged, kDamagedEntryText);
    }
    PageFacts page{PageKind::Entry,
                   ContentTypeOf(PageExtension(resolved.Path), site.Rules.StandardTypes),
                   entry.UnpackedSize, index};
    const bool fromFile = entry.UnpackedSize > kQuickLoadBytes && !IsCompressed(entry);
    if (MayCompress(options, page.Kind, page.ContentType, page.Length, fromFile)) {
        page.VariesByCoding = true;
        const bool rangeAsked = options.Ranges && request.Range;
        if (!rangeAsked) plan.Compress = ChooseCoding(request.AcceptEncoding);
    }
    return planned(PlanKind::Entry, std::move(page));
}

void PlanMadeResponse(RequestPlan& plan, const RequestHead& request, uint64_t length) {
    plan.Page.Length = length;
    plan.Response =
        PlanResponse(request, plan.Page, plan.Rules->Options,
                     plan.Where != nullptr ? plan.Where->Version : ArchiveVersion{}, plan.KeepOpen);
}
