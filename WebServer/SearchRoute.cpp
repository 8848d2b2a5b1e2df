#include "WebServer/SearchRoute.h"

#include <cstring>
#include <memory>

#include "Search/SearchPages.h"
#include "Shared/EntryLookup.h"
#include "WebServer/PageResolution.h"

std::optional<std::string> SearchAsked(const SiteSearch* search, const LoadedArchive& archive,
                                       const std::string& path, const BrowseOptions& options) {
    if (search == nullptr) return std::nullopt;
    const std::string normalized = NormalizePath(path);
    if (normalized != kSearchPagePath && normalized != kSearchJsonPath) return std::nullopt;
    if (ResolvePath(archive, path, options).Match.Found) return std::nullopt;
    return std::string(normalized == kSearchPagePath ? kSearchPageType : kSearchJsonType);
}

SharedBody SearchBody(const SiteSearch& search, const std::string& path, const std::string& query,
                      const std::string& root) {
    const std::string body = AnswerSearchRequest(NormalizePath(path), query, search, root)
                                 .value_or(SearchResponse{})
                                 .Body;
    return SharedBodyOf(body);
}
