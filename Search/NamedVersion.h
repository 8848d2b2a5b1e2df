// The version a query asks for ("what's new in 3.7") against the versions a
// page's name gives ("Release notes for 3.7 series", "release-3.4"): of a
// site's pages for each release, the one for that version is meant, and one
// for another version is not, however much it holds the other words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Search/IndexTerms.h"

// The parts of the first dotted number of the query ("3", "7" of `3.7`);
// empty when it asks for none.
std::vector<std::string> AskedVersion(const std::vector<QueryWord>& words);

enum class VersionNamed {
    None,   // the name gives no dotted number, or one that only begins the other
    Asked,  // the version asked, as asked
    Other,  // another version and not the one asked
};

// What dotted numbers `name` gives (digits with dots between, wherever they
// stand: "v.3.4", "v3.7.x") against `asked` (AskedVersion, not empty).
VersionNamed VersionNamedIn(std::string_view name, const std::vector<std::string>& asked);
