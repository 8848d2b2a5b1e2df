#include "WebServer/ServedSites.h"

#include "Library/StartPage.h"
#include "Search/SearchPages.h"
#include "Shared/EntryLookup.h"

namespace {

SharedPage MadePage(const std::string& body, std::string_view type, PageKind kind) {
    SharedPage page{ResponseBody::InMemory(SharedBodyOf(body)), std::string(type)};
    page.Kind = kind;
    return page;
}

}  // namespace

SiteChoice ChooseSite(std::shared_ptr<const LibrarySnapshot> snapshot, const std::string& path,
                      bool search) {
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
        choice.Ready = MadePage(StartPageHtml(*snapshot, search), kStartPageType, PageKind::Made);
        return choice;
    }
    if (normalized == kLibraryJsonPath) {
        choice.Ready = MadePage(LibraryJson(*snapshot), kLibraryJsonType, PageKind::Made);
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
    choice.Ready = NotFoundPage(normalized);
    return choice;
}

SiteChoice ServedSites::Choose(const std::string& path) const {
    if (single_ != nullptr) {
        SiteChoice choice;
        choice.Where = single_;
        choice.Path = path;
        return choice;
    }
    return ChooseSite(library_->Current(), path, rules_.Options.Search);
}
