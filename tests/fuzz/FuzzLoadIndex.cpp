// Arbitrary bytes as an archive: its index parsed from memory and loaded from
// a file, which must agree, then every loaded entry served as a browser would
// ask for it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Shared/ArchiveLayout.h"
#include "tests/fuzz/FuzzArchive.h"
#include "tests/server/ServedPage.h"

namespace {

// Serving is the costly part; a handful of entries covers every path of it.
constexpr uint32_t kEntriesServed = 64;

bool SameEntries(const EntryTable& a, const EntryTable& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](EntryView x, EntryView y) {
        return x.Name == y.Name && x.DataOffset == y.DataOffset && x.PackedSize == y.PackedSize &&
               x.UnpackedSize == y.UnpackedSize;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ArchiveIndex parsed = ParseArchive(bytes);
    if (parsed.Entries.size() > kMaxEntries) __builtin_trap();

    const std::optional<LoadedArchive> archive = LoadFuzzArchive(data, size);
    if (!archive) return 0;
    // The file is read exactly as the bytes in memory.
    if (!SameEntries(parsed.Entries, archive->Entries) ||
        parsed.IndexOffset != archive->IndexOffset ||
        parsed.Noticed.IndexOffsetOutside != archive->Noticed.IndexOffsetOutside ||
        parsed.Noticed.LastRecordCut != archive->Noticed.LastRecordCut)
        __builtin_trap();
    const size_t served = std::min<size_t>(archive->Entries.size(), kEntriesServed);
    server_testing::TestSite site(*archive);
    for (size_t i = 0; i < served; ++i) {
        const server_testing::ServedPage page =
            server_testing::Serve(site.Get(), "/" + std::string(archive->Entries[i].Name));
        if (page.ContentType.empty()) __builtin_trap();
    }
    return 0;
}
