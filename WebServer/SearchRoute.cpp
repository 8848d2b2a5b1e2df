#include "WebServer/SearchRoute.h"

#include <cstring>
#include <memory>

#include "Search/SearchPages.h"
#include "Shared/EntryLookup.h"
#include "WebServer/PageResolution.h"
#include "WebServer/UrlRoot.h"

std::optional<std::string> SearchAsked(const SiteSearch* search, const LoadedArchive& archive,
                                       const std::string& path, const BrowseOptions& options) {
    if (search == nullptr) return std::nullopt;
    const std::optional<std::string> underRoot = PathUnderRoot(path, options.UrlRoot);
    if (!underRoot) return std::nullopt;
    const std::string normalized = NormalizePath(*underRoot);
    if (normalized != kSearchPagePath && normalized != kSearchJsonPath) return std::nullopt;
    if (ResolvePath(archive, path, options).Match.Found) return std::nullopt;
    return std::string(normalized == kSearchPagePath ? kSearchPageType : kSearchJsonType);
}

SharedBody SearchBody(const SiteSearch& search, const std::string& path, const std::string& query,
                      const std::string& root) {
    const std::string under = PathUnderRoot(path, root).value_or(std::string());
    const std::string body = AnswerSearchRequest(NormalizePath(under), query, search, root)
                                 .value_or(SearchResponse{})
                                 .Body;
    auto bytes = std::make_shared_for_overwrite<char[]>(body.size());
    std::memcpy(bytes.get(), body.data(), body.size());
    return {std::move(bytes), body.size()};
}
