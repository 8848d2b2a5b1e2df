// Which bodies travel compressed, and their compressed forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "WebServer/AcceptEncoding.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/PageCache.h"
#include "WebServer/PageKind.h"

// Bodies shorter than this go as they are: gzip's own header and trailer
// (18 bytes) and a packet's worth of savings at most do not pay for the work.
inline constexpr size_t kSmallestCompressedBody = 256;

// Memory for compressed forms kept beside the page cache, so that a page is
// compressed once rather than for every request: the text of a typical
// site several times over.
inline constexpr size_t kCompressedCacheBytes = size_t{32} * 1024 * 1024;

// The largest body compressed: what the compressed cache still keeps (a
// quarter of it), so that no body is compressed again for every request.
inline constexpr size_t kLargestCompressedBody = kCompressedCacheBytes / 4;

// zlib's level: its default, a few times slower than level 1 and about a
// tenth smaller; each body is compressed once.
inline constexpr int kGzipLevel = 6;

// Brotli's quality: as fast as gzip at kGzipLevel and about a seventh
// smaller on documentation pages; from 7 up it is ten times slower.
inline constexpr int kBrotliQuality = 5;

// Whether a body of `contentType` is text that compresses: text/*, scripts,
// JSON, XML and SVG. Parameters (";charset=...") and case do not matter.
bool IsCompressibleType(std::string_view contentType);

// Whether a body could go compressed under `options`: an entry's text, in
// memory (not sent from the archive file as it goes), neither too small to
// gain nor too large to keep compressed.
bool MayCompress(const BrowseOptions& options, PageKind kind, std::string_view contentType,
                 uint64_t size, bool fromFile);

// `bytes` in `coding` (gzip or brotli), or nothing when that would not be
// smaller than them (or memory ran out).
std::optional<SharedBody> CompressIfSmaller(ContentCoding coding, const char* bytes, size_t size);

// The part of a site's cache of compressed forms (`compressed`) that holds
// `coding`'s: each coding's forms apart, under the one limit.
SiteCache CompressedFormsOf(const SiteCache& compressed, ContentCoding coding);
