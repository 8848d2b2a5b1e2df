#include "WebServer/SearchRoute.h"

#include <cstring>
#include <memory>

#include "Search/SearchPages.h"
#include "Shared/EntryLookup.h"
#include "WebServer/PageResolution.h"

bool AsksForSearch(const SiteSearch* search, const LoadedArchive& archive, const std::string& path,
                   const BrowseOptions& options) {
    if (search == nullptr) return false;
    const std::string normalized = NormalizePath(path);
    if (normalized != kSearchPagePath && normalized != kSearchJsonPath) return false;
    return !ResolvePath(archive, path, options).Match.Found;
}

SharedPage SearchPage(const SiteSearch& search, const std::string& path, const std::string& query) {
    SearchResponse response = AnswerSearchRequest(NormalizePath(path), query, search)
                                  .value_or(SearchResponse{"", std::string(kSearchPageType)});
    SharedPage page;
    auto bytes = std::make_shared_for_overwrite<char[]>(response.Body.size());
    std::memcpy(bytes.get(), response.Body.data(), response.Body.size());
    page.Body = {std::move(bytes), response.Body.size()};
    page.ContentType = std::move(response.ContentType);
    page.Kind = PageKind::Made;
    return page;
}
