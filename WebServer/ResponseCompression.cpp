#include "WebServer/ResponseCompression.h"

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

std::optional<SharedBody> GzipIfSmaller(const char* bytes, size_t size) {
    if (size > UINT_MAX) return std::nullopt;
    z_stream stream{};
    if (deflateInit2(&stream, kGzipLevel, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        return std::nullopt;
    }
    // Room for anything smaller than the input; a stream that fills it did
    // not shrink.
    const size_t room = size;
    std::shared_ptr<char[]> out(new (std::nothrow) char[room == 0 ? 1 : room]);
    if (!out) {
        deflateEnd(&stream);
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = reinterpret_cast<Bytef*>(out.get());
    stream.avail_out = static_cast<uInt>(room);
    const int result = deflate(&stream, Z_FINISH);
    const size_t made = room - stream.avail_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END || made >= size) return std::nullopt;
    return SharedBody{std::move(out), made};
}
