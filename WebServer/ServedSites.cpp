#include "WebServer/ServedSites.h"

#include "Library/StartPage.h"
#include "Search/SearchPages.h"
#include "Shared/EntryLookup.h"
#include "WebServer/LibrarySearch.h"
#include "WebServer/PageCache.h"
#include "WebServer/Site.h"

namespace {

LibraryPage MadePage(const std::string& body, std::string_view type) {
    return {ResponseBody::InMemory(SharedBodyOf(body)), std::string(type), PageKind::Made};
}

// Answered as GET is, without the body, with --browse-head.
bool Answered(const RequestHead& request, const BrowseOptions& options) {
    const std::string& method = request.Line.Method;
    return method == "GET" || (options.Head && method == "HEAD");
}

}  // namespace

SiteChoice ChooseSite(std::shared_ptr<const LibrarySnapshot> snapshot, const std::string& path,
                      bool search, std::string_view root) {
    SiteChoice choice;
    if (snapshot->Folder.empty()) {
        // A single archive, reloaded: it answers everything, as without reloading.
        if (!snapshot->Archives.empty() && snapshot->Archives.front()->Served) {
            choice.Archive = snapshot->Archives.front().get();
            choice.Where = choice.Archive->Served.get();
            choice.Path = path;
        }
        choice.Holds = std::move(snapshot);
        return choice;
    }
    const std::string normalized = NormalizePath(path);
    if (normalized.empty() || normalized == "index.html") {
        choice.Ready = MadePage(StartPageHtml(*snapshot, search, root), kStartPageType);
        return choice;
    }
    if (normalized == kLibraryJsonPath) {
        choice.Ready = MadePage(LibraryJson(*snapshot, root), kLibraryJsonType);
        return choice;
    }
    if (search && (normalized == kSearchPagePath || normalized == kSearchJsonPath)) {
        choice.LibrarySearch = true;
        choice.Path = normalized;
        choice.Holds = std::move(snapshot);
        return choice;
    }
    // The first segment as sent, after any leading "/" or "\".
    const std::string_view rest = std::string_view(path).substr(path.find_first_not_of("/\\"));
    const size_t end = rest.find_first_of("/\\");
    const std::string_view segment = rest.substr(0, end);
    if (std::shared_ptr<const LibraryArchive> archive = FindArchive(*snapshot, segment)) {
        choice.Archive = archive.get();
        choice.Where = archive->Served.get();
        choice.Path = end == std::string_view::npos ? std::string() : std::string(rest.substr(end));
        choice.Holds = std::move(snapshot);
        return choice;
    }
    choice.Ready = LibraryPage{NotFoundBody(normalized), "text/plain", PageKind::NotFound};
    return choice;
}

RequestPlan ServedSites::Route(const RequestHead& request, bool keepOpen) const {
    if (single_ != nullptr) return RouteRequest(*single_, request, keepOpen);
    const BrowseOptions& options = rules_.Options;
    std::optional<RequestTarget> underRoot = TargetUnderRoot(request, options.UrlRoot);
    RequestTarget target = underRoot ? std::move(*underRoot) : RequestTarget{};
    SiteChoice choice;
    if (underRoot) {
        choice = ChooseSite(library_->Current(), target.Path, options.Search, options.UrlRoot);
    } else {
        // Outside the root: not found, with the path as sent.
        target.Path = SplitTarget(request.Line.Target).Path;
    }
    RequestPlan plan;
    if (choice.Where != nullptr) {
        target.Path = std::move(choice.Path);
        plan = RouteTarget(*choice.Where, request, std::move(target), keepOpen);
        plan.Library = std::move(choice.Holds);
        return plan;
    }
    plan.Rules = &rules_;
    plan.KeepOpen = keepOpen;
    if (!Answered(request, options)) return plan;
    if (choice.LibrarySearch) {
        plan.Kind = PlanKind::Search;
        plan.Page = {PageKind::Made, LibrarySearchType(choice.Path), 0, 0};
        plan.SearchPath = std::move(choice.Path);
        plan.SearchQuery = std::move(target.Query);
        plan.Library = std::move(choice.Holds);
        plan.Loaders = loaders_;
        return plan;
    }
    // No archive answers (a single one that could not be loaded has none).
    if (!choice.Ready) {
        choice.Ready =
            LibraryPage{NotFoundBody(NormalizePath(target.Path)), "text/plain", PageKind::NotFound};
    }
    plan.Kind = PlanKind::Ready;
    plan.Body = std::move(choice.Ready->Body);
    plan.Page = {choice.Ready->Kind, std::move(choice.Ready->ContentType), plan.Body.Size, 0};
    plan.Response = PlanResponse(request, plan.Page, options, ArchiveVersion{}, keepOpen);
    return plan;
}
