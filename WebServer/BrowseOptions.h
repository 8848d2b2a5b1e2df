// The opt-in options for today's browsers. Each is off unless given on the
// command line; with all of them off the server answers exactly as it always
// has.
#pragma once

#include <cstdint>
#include <string>

// Memory for the bodies of large compressed pages, being decompressed or
// held for sending, unless --browse-memory-limit says otherwise: room for a
// few large pages at once on a small machine, well within a desktop's memory.
inline constexpr uint32_t kDefaultBrowseMemoryLimitMiB = 256;

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
    // --browse-ranges: a single byte range asked for with Range gets 206 with
    // that part alone; every 200 says Accept-Ranges.
    bool Ranges = false;
    // --browse-validators: a found entry's response carries ETag and
    // Last-Modified, and a request that holds a matching one gets 304.
    bool Validators = false;
    // --browse-head: HEAD is answered with GET's header and no body.
    bool Head = false;
    // --browse-status-codes: the not-found text comes with 404, a damaged
    // entry's text with 500.
    bool StatusCodes = false;
    // --browse-search: the site's pages can be searched by their words at
    // /.pelorine/search (and .json), with an index built in the background
    // and kept in the user's cache folder.
    bool Search = false;
    // --browse-reload: the served archive is opened so that a compile may
    // replace it, and a replaced archive is served from then on; requests
    // under way finish from the one they started with.
    bool Reload = false;
    // --browse-keep-alive: an HTTP/1.1 connection stays open for the next
    // request after its response, in the event loops, until it idles.
    bool KeepAlive = false;
    // --browse-compress: text goes gzip-compressed to a client that accepts
    // it, with Vary: Accept-Encoding.
    bool Compress = false;

    // --browse-url-root PATH: the site is served under PATH/ ("/docs", no
    // final "/"; empty: at "/"), for a reverse proxy to put it beside others.
    std::string UrlRoot{};
    // --browse-access-log FILE: one line per response in the combined log
    // format, appended to FILE ("-": standard output); empty: no log.
    std::string AccessLogPath{};

    // --browse-memory-limit MIB: one budget for the large bodies of all archives served, in MiB.
    // Only how much the server holds at once depends on it, never the bytes
    // it sends; --browse-modern leaves it as it is, as it leaves the root and
    // the log, which need values of their own.
    uint32_t MemoryLimitMiB = kDefaultBrowseMemoryLimitMiB;

    // Whether the request's header lines are read, not only its first line.
    bool ReadsHeaderLines() const {
        return Ranges || Validators || KeepAlive || Compress || !AccessLogPath.empty();
    }

    // Whether the response may differ from the plain 200 with two header
    // fields; each such response then says Connection: close, unless the
    // connection stays open.
    bool ShapesResponses() const {
        return Ranges || Validators || Head || StatusCodes || KeepAlive || Compress;
    }

    // --browse-modern: every opt-in option above at once; nothing else changes.
    void TurnOnEveryOptIn() {
        StandardTypes = DecodePaths = FolderIndex = true;
        Ranges = Validators = Head = StatusCodes = Search = Reload = true;
        KeepAlive = Compress = true;
    }

    static BrowseOptions Modern() {
        BrowseOptions options;
        options.TurnOnEveryOptIn();
        return options;
    }

    bool operator==(const BrowseOptions&) const = default;
};
