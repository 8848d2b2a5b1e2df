#include "WebServer/ResponseCompression.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <climits>
#include <memory>
#include <new>
#include <string>

#include "Shared/AnsiText.h"
#include "WebServer/FieldText.h"

namespace {

// zlib's window size, plus 16: a gzip header and trailer around the stream.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 8;

// Room for anything smaller than `size` bytes; a coding that fills it did not
// shrink them.
std::shared_ptr<char[]> RoomBelow(size_t size) {
    return std::shared_ptr<char[]>(new (std::nothrow) char[size == 0 ? 1 : size]);
}

std::optional<SharedBody> GzipIfSmaller(const char* bytes, size_t size) {
    if (size > UINT_MAX) return std::nullopt;
    z_stream stream{};
    if (deflateInit2(&stream, kGzipLevel, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        return std::nullopt;
    }
    std::shared_ptr<char[]> out = RoomBelow(size);
    if (!out) {
        deflateEnd(&stream);
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = reinterpret_cast<Bytef*>(out.get());
    stream.avail_out = static_cast<uInt>(size);
    const int result = deflate(&stream, Z_FINISH);
    const size_t made = size - stream.avail_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END || made >= size) return std::nullopt;
    return SharedBody{std::move(out), made};
}

std::optional<SharedBody> BrotliIfSmaller(const char* bytes, size_t size) {
    std::shared_ptr<char[]> out = RoomBelow(size);
    if (!out) return std::nullopt;
    size_t made = size;
    // Fails, among other things, when the output does not fit below `size`.
    if (BrotliEncoderCompress(kBrotliQuality, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, size,
                              reinterpret_cast<const uint8_t*>(bytes), &made,
                              reinterpret_cast<uint8_t*>(out.get())) == BROTLI_FALSE ||
        made >= size) {
        return std::nullopt;
    }
    return SharedBody{std::move(out), made};
}

}  // namespace

bool IsCompressibleType(std::string_view contentType) {
    const std::string type =
        AsciiLower(std::string(TrimmedField(contentType.substr(0, contentType.find(';')))));
    if (type.starts_with("text/")) return type.size() > 5;
    if (type.ends_with("+xml") || type.ends_with("+json")) return true;
    for (const char* known : {"application/javascript", "application/x-javascript",
                              "application/ecmascript", "application/json", "application/xml"}) {
        if (type == known) return true;
    }
    return false;
}

bool MayCompress(const BrowseOptions& options, PageKind kind, std::string_view contentType,
                 uint64_t size, bool fromFile) {
    return options.Compress && kind == PageKind::Entry && !fromFile &&
           size >= kSmallestCompressedBody && size <= kLargestCompressedBody &&
           IsCompressibleType(contentType);
}

std::optional<SharedBody> CompressIfSmaller(ContentCoding coding, const char* bytes, size_t size) {
    switch (coding) {
        case ContentCoding::Gzip:
            return GzipIfSmaller(bytes, size);
        case ContentCoding::Brotli:
            return BrotliIfSmaller(bytes, size);
        case ContentCoding::Identity:
            break;
    }
    return std::nullopt;
}

SiteCache CompressedFormsOf(const SiteCache& compressed, ContentCoding coding) {
    return compressed.Form(coding == ContentCoding::Brotli ? 1 : 0);
}
