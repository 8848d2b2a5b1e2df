#include "WebServer/Validators.h"

#include <cstdio>

#include "WebServer/FieldText.h"
#include "WebServer/HttpDate.h"

namespace {

// FNV-1a over the bytes of `value`, little end first.
uint64_t Folded(uint64_t hash, uint64_t value) {
    constexpr uint64_t kPrime = 0x100000001b3;
    for (int i = 0; i < 8; ++i) {
        hash = (hash ^ ((value >> (8 * i)) & 0xff)) * kPrime;
    }
    return hash;
}

std::string_view WithoutWeakMark(std::string_view tag) {
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    return tag;
}

}  // namespace

ArchiveVersion ArchiveVersionOf(const platform::FileStamp& stamp) {
    uint64_t hash = 0xcbf29ce484222325;
    hash = Folded(hash, stamp.Id);
    hash = Folded(hash, stamp.Size);
    hash = Folded(hash, static_cast<uint64_t>(stamp.ModifiedSeconds));
    hash = Folded(hash, stamp.ModifiedNanoseconds);
    return {hash, stamp.ModifiedSeconds};
}

std::string EntityTagOf(const ArchiveVersion& version, uint32_t entry) {
    char tag[48];
    (void)std::snprintf(tag, sizeof tag, "\"%016llx-%x\"",
                        static_cast<unsigned long long>(version.Identity), entry);
    return tag;
}

std::string EntityTagOf(const ArchiveVersion& version, uint32_t entry, ContentCoding coding) {
    std::string tag = EntityTagOf(version, entry);
    if (coding == ContentCoding::Identity) return tag;
    tag.insert(tag.size() - 1, "-" + std::string(CodingName(coding)));
    return tag;
}

bool NoneMatchHits(std::string_view ifNoneMatch, std::string_view tag) {
    if (TrimmedField(ifNoneMatch) == "*") return true;
    // Tags are quoted and hold no quotes, so commas inside them do not split.
    const std::string_view wanted = WithoutWeakMark(tag);
    size_t at = 0;
    while (at < ifNoneMatch.size()) {
        const size_t open = ifNoneMatch.find('"', at);
        if (open == std::string_view::npos) return false;
        const size_t close = ifNoneMatch.find('"', open + 1);
        if (close == std::string_view::npos) return false;
        if (ifNoneMatch.substr(open, close - open + 1) == wanted) return true;
        at = close + 1;
    }
    return false;
}

bool RangeConditionHolds(std::string_view ifRange, std::string_view tag, int64_t lastModified) {
    ifRange = TrimmedField(ifRange);
    if (ifRange.starts_with('"') || ifRange.starts_with("W/")) return ifRange == tag;
    const std::optional<int64_t> date = ParseHttpDate(ifRange);
    return date && *date == lastModified;
}
