// The opt-in options for today's browsers. Each is off unless given on the
// command line; with all of them off the server answers exactly as it always
// has.
#pragma once

struct BrowseOptions {
    // --browse-standard-types: an extension the fixed table lacks takes its
    // content type from the system's media-types list.
    bool StandardTypes = false;
    // --browse-decode-paths: a path that names no entry is tried once more
    // with its %HH escapes decoded.
    bool DecodePaths = false;
    // --browse-folder-index: a path ending in "/" (or empty) that names no
    // entry is answered with the folder's index.html.
    bool FolderIndex = false;
};
