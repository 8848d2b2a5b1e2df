// The search's two answers over HTTP: an HTML page with the search box and
// the results, and the same results as JSON for scripts. Pure functions of
// the answer; every text that comes from the archive or the query is escaped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Search/SearchAnswer.h"

// Where the search answers, unless an archive entry has that name.
inline constexpr std::string_view kSearchPagePath = ".pelorine/search";
inline constexpr std::string_view kSearchJsonPath = ".pelorine/search.json";

inline constexpr std::string_view kSearchPageType = "text/html; charset=utf-8";
inline constexpr std::string_view kSearchJsonType = "application/json";

// Query bytes used at most, after decoding.
inline constexpr size_t kMaxQueryBytes = 500;

class SiteSearch;

// The search's answer to a request for `normalizedPath` (kSearchPagePath or
// kSearchJsonPath) with `queryString` (after the "?"): its body and content
// type. Nothing for any other path. The page's links start with `root`
// (the server's path prefix; empty for none).
struct SearchResponse {
    std::string Body;
    std::string ContentType;
};
std::optional<SearchResponse> AnswerSearchRequest(std::string_view normalizedPath,
                                                  std::string_view queryString,
                                                  const SiteSearch& search,
                                                  std::string_view root = {});

std::string SearchResultsHtml(const SearchAnswer& answer, std::string_view root = {});
std::string SearchResultsJson(const SearchAnswer& answer, std::string_view root = {});

// What a request's query string asks: "q" and "page", percent-decoded with
// "+" as a space, the words cut to kMaxQueryBytes. A page that is missing, not
// a number or out of range is the first.
struct SearchRequest {
    std::string Query;
    uint32_t Page = 1;
};
SearchRequest ParseSearchQuery(std::string_view queryString);

// `text` with &, <, >, " and ' as character references, and bytes that are not
// UTF-8 as U+FFFD.
std::string EscapeHtml(std::string_view text);

// `text` as the inside of a JSON string, bytes that are not UTF-8 as U+FFFD.
std::string EscapeJson(std::string_view text);

// Every byte of `text` but letters, digits, "-._~" and those in `keep` as %HH.
std::string PercentEncode(std::string_view text, std::string_view keep);
