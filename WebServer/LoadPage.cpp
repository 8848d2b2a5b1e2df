#include "WebServer/LoadPage.h"

#include <lzo/lzo1x.h>

#include <memory>

#include "Platform/File.h"
#include "Shared/ArchiveState.h"
#include "WebServer/ContentTypes.h"
#include "WebServer/PageResolution.h"

namespace {

constexpr const char* kNotFoundText = "Cannot find the specified page: ";

// Said instead of the content of an entry whose recorded sizes the archive
// cannot back; reading it would mean allocating memory that can never be
// filled.
constexpr const char* kDamagedEntryText = "Cannot read the specified page from the archive: ";

constexpr const char* kPlainText = "text/plain";

// An LZO1X stream yields fewer than 256 bytes for each byte it holds (a
// match's length grows by at most 255 per extra length byte), so a compressed
// entry that claims more than this many times its stream is not real.
constexpr uint64_t kLzoMostExpansion = 256;

// The body length is a signed 32-bit number, and positions are sought with a
// signed 32-bit distance: neither may reach 2^31.
constexpr uint64_t kLargestBody = platform::kSeekLimit - 1;

bool IsCompressed(const TItem& entry) {
    return entry.PackedSize != 0 && entry.PackedSize < entry.UnpackedSize;
}

// Whether the archive, `fileSize` bytes long, can hold what the entry claims.
bool IsServable(const TItem& entry, uint64_t fileSize) {
    if (entry.DataOffset >= platform::kSeekLimit || entry.UnpackedSize > kLargestBody) {
        return false;
    }
    const uint64_t stored = IsCompressed(entry) ? entry.PackedSize : entry.UnpackedSize;
    if (uint64_t{entry.DataOffset} + stored > fileSize) return false;
    if (IsCompressed(entry) && entry.UnpackedSize > kLzoMostExpansion * entry.PackedSize) {
        return false;
    }
    return true;
}

Page TextPage(const char* text, const std::string& path) {
    Page page;
    page.Body = std::string(text) + path;
    page.ContentType = kPlainText;
    return page;
}

// Reads the entry's stored bytes: a raw entry straight into `body`, which
// holds UnpackedSize zero bytes, a compressed one into `stream`. Whatever a
// short read leaves undelivered stays zero. Called with the archive's
// ArchiveLock held: the seek and the read must not interleave with another
// thread's.
void ReadStoredBytes(platform::FileHandle file, const TItem& entry, std::string& body,
                     std::unique_ptr<unsigned char[]>& stream, size_t& streamLength) {
    if (!platform::SeekFromStart(file, entry.DataOffset)) return;
    if (!IsCompressed(entry)) {
        platform::ReadFile(file, body.data(), body.size());
        return;
    }
    stream = std::make_unique_for_overwrite<unsigned char[]>(entry.PackedSize);
    streamLength = platform::ReadFile(file, stream.get(), entry.PackedSize);
}

// The bounds-checked decompressor never writes past the body, whatever the
// stream holds; what it does not deliver stays zero, and its result does not
// change what is served.
void Decompress(const unsigned char* stream, size_t streamLength, std::string& body) {
    lzo_uint produced = body.size();
    lzo1x_decompress_safe(stream, streamLength, reinterpret_cast<unsigned char*>(body.data()),
                          &produced, nullptr);
}

}  // namespace

Page LoadPage(const std::string& path) {
    const std::string normalized = NormalizePath(path);
    const EntryMatch match = FindEntry(normalized);
    if (!match.Found) return TextPage(kNotFoundText, normalized);

    ArchiveState& archive = Archive;
    const TItem& entry = archive.EntryTable[match.Index];
    if (!IsServable(entry, platform::FileSize64(archive.ArchiveHandle))) {
        return TextPage(kDamagedEntryText, normalized);
    }

    Page page;
    page.Body.assign(entry.UnpackedSize, '\0');
    std::unique_ptr<unsigned char[]> stream;
    size_t streamLength = 0;
    {
        platform::ScopedLock lock(archive.ArchiveLock);
        ReadStoredBytes(archive.ArchiveHandle, entry, page.Body, stream, streamLength);
    }
    // Decompression needs no lock: it works on this call's own buffers, so
    // large pages no longer queue behind each other.
    if (stream) Decompress(stream.get(), streamLength, page.Body);
    page.ContentType = ContentTypeOf(PageExtension(normalized));
    return page;
}
