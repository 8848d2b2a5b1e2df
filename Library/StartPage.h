// The library's start page, which lists its archives, and the same list as
// JSON. Pure functions of a snapshot; every name, title and reason is escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Library/LibrarySnapshot.h"

inline constexpr std::string_view kLibraryJsonPath = ".pelorine/library.json";
inline constexpr std::string_view kStartPageType = "text/html; charset=utf-8";
inline constexpr std::string_view kLibraryJsonType = "application/json";

// `seconds` since 1970-01-01 UTC as "YYYY-MM-DD HH:MM:SS UTC".
std::string UtcTimeText(int64_t seconds);

// The start page: each archive's title linking to its index.html, its name,
// entry count, size and last change, with a box that searches it when
// `search` is on; an archive not served, with the reason. Its links are under
// `root` (the server's --browse-url-root, "" for none).
std::string StartPageHtml(const LibrarySnapshot& snapshot, bool search, std::string_view root = {});

// {"archives":[{"name","path","title","entries","size","lastChange","served",
// "problem"}...]}: path is ROOT "/SEGMENT/", lastChange seconds since 1970 UTC.
std::string LibraryJson(const LibrarySnapshot& snapshot, std::string_view root = {});
