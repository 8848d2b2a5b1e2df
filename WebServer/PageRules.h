// How pages are found and typed while a server runs.
#pragma once

#include "WebServer/BrowseOptions.h"
#include "WebServer/MimeTypes.h"

// Default: exact names and the fixed type table only.
struct PageRules {
    BrowseOptions Options;
    // Read once, at the server's start, when Options.StandardTypes asks for it.
    MimeTypeTable StandardTypes;
};

// The rules for `options`, reading the system's media-types list if they ask
// for it (a list that cannot be read names no types).
inline PageRules PageRulesFor(const BrowseOptions& options) {
    PageRules rules;
    rules.Options = options;
    if (options.StandardTypes) rules.StandardTypes = MimeTypeTable::Read(kSystemMimeTypesPath);
    return rules;
}
