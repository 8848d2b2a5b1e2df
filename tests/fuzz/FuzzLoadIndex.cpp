// Arbitrary bytes as an archive: its index loaded, then every loaded entry
// served as a browser would ask for it.
#include <cstddef>
#include <cstdint>

#include "WebServer/LoadPage.h"
#include "tests/fuzz/FuzzArchive.h"

namespace {

// Serving is the costly part; a handful of entries covers every path of it.
constexpr uint32_t kEntriesServed = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!LoadFuzzArchive(data, size)) return 0;
    if (Archive.EntryCount > kMaxEntries) __builtin_trap();
    for (uint32_t i = 0; i < Archive.EntryCount && i < kEntriesServed; ++i) {
        Page page = LoadPage("/" + Archive.EntryTable[i].Name);
        if (page.ContentType.empty()) __builtin_trap();
    }
    return 0;
}
