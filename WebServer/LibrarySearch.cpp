#include "WebServer/LibrarySearch.h"

#include <algorithm>

#include "Search/SearchPages.h"
#include "Search/SiteSearch.h"
#include "WebServer/Site.h"

namespace {

struct Found {
    SearchHit Hit;
    const LibraryArchive* From;
};

SearchAnswer AskEveryArchive(const LibrarySnapshot& snapshot, const SearchRequest& request) {
    SearchAnswer merged;
    merged.Query = request.Query;
    merged.Page = request.Page;
    // Every archive's best of as many pages as the page asked for shows.
    const uint32_t wanted = request.Page * kResultsPerPage;
    std::vector<Found> found;
    bool anyReady = false;
    // A word is as rare as it is among the pages of every archive: one
    // rare in a site and common in the others ("url" where the query asks
    // for `url_for`) no longer lifts that site's pages above those that
    // hold what was asked.
    QueryWordCounts shared;
    for (const auto& archive : snapshot.Archives) {
        if (!archive->Served || archive->Served->Search == nullptr) continue;
        shared.Add(archive->Served->Search->CountWordsOf(request.Query));
    }
    for (const auto& archive : snapshot.Archives) {
        if (!archive->Served || archive->Served->Search == nullptr) continue;
        SearchAnswer answer = archive->Served->Search->AskRanked(request.Query, wanted, &shared);
        if (answer.State == IndexState::Building) {
            merged.StillBuilding.push_back(archive->Title);
            merged.Indexed += answer.Indexed;
            merged.ToIndex += answer.ToIndex;
            continue;
        }
        if (answer.State != IndexState::Ready) continue;
        anyReady = true;
        merged.Total += answer.Total;
        for (SearchHit& hit : answer.Hits) found.push_back({std::move(hit), archive.get()});
    }
    merged.State =
        anyReady || merged.StillBuilding.empty() ? IndexState::Ready : IndexState::Building;
    // Alike ranks keep each archive's own order, and the library's order
    // between archives.
    const auto better = [](const Found& a, const Found& b) { return a.Hit.Score > b.Hit.Score; };
    std::stable_sort(found.begin(), found.end(), better);
    // The best of all are weighed by whether their pages hold the words
    // together, as one archive's are, and ordered anew among themselves.
    if (request.Page == 1) {
        const size_t depth = std::min<size_t>(found.size(), kTogetherRankDepth);
        for (size_t i = 0; i < depth; ++i) {
            found[i].Hit.Score *= found[i].From->Served->Search->WeightByWordsTogether(
                request.Query, found[i].Hit.Entry);
        }
        std::stable_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(depth), better);
    }
    const size_t first = size_t{request.Page - 1} * kResultsPerPage;
    for (size_t i = first; i < found.size() && i < first + kResultsPerPage; ++i) {
        SearchHit& hit = found[i].Hit;
        const LibraryArchive& from = *found[i].From;
        from.Served->Search->ShowHitOf(request.Query, hit, i - first < kDeepHits);
        hit.Path = from.Name + "/" + hit.Path;
        hit.Archive = from.Title;
        merged.Hits.push_back(std::move(hit));
    }
    return merged;
}

}  // namespace

std::string LibrarySearchType(const std::string& normalizedPath) {
    return std::string(normalizedPath == kSearchJsonPath ? kSearchJsonType : kSearchPageType);
}

SharedBody LibrarySearchBody(const LibrarySnapshot& snapshot, const std::string& normalizedPath,
                             const std::string& queryString, std::string_view root) {
    const SearchAnswer answer = AskEveryArchive(snapshot, ParseSearchQuery(queryString));
    const std::string body = normalizedPath == kSearchJsonPath ? SearchResultsJson(answer, root)
                                                               : SearchResultsHtml(answer, root);
    return SharedBodyOf(body);
}
