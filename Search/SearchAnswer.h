// One page of search results, as the HTML page and the JSON show them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Search/Snippet.h"
#include "Shared/ArchiveLayout.h"

// Results on one page.
inline constexpr uint32_t kResultsPerPage = 20;

// The last page asked for that can hold results: every entry a match.
inline constexpr uint32_t kMaxResultPage = kMaxEntries / kResultsPerPage + 1;

struct SearchHit {
    std::string Path;     // the entry's name: its URL path without the leading "/"
    std::string Title;    // the page's title, else its path
    std::string Heading;  // the heading the words stand under; empty: the page's top
    std::string Anchor;   // its id, for the link; may be empty when Heading is not
    Snippet Words;
    uint32_t Entry = 0;   // the entry's index in its archive
    double Score = 0;     // its rank, higher first
    std::string Archive;  // in a search across a library: the archive's title
};

enum class IndexState {
    Building,  // not ready yet: Indexed of ToIndex pages done
    Ready,
    Failed,  // the index could not be built or read
};

struct SearchAnswer {
    std::string Query;  // as asked, valid UTF-8
    uint32_t Page = 1;  // from 1
    IndexState State = IndexState::Building;
    uint32_t Indexed = 0;
    uint32_t ToIndex = 0;
    uint64_t Total = 0;  // pages that match
    std::vector<SearchHit> Hits;
    // In a search across a library: the archives whose indexes are still
    // being built, whose pages are not among the hits yet.
    std::vector<std::string> StillBuilding;
};
