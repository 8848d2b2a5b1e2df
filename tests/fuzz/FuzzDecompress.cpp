// Arbitrary bytes as one compressed entry with arbitrary declared sizes: the
// first 8 bytes are the UnpackedSize and PackedSize the index claims, the rest
// is the stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Shared/ArchiveLayout.h"
#include "tests/fuzz/FuzzArchive.h"
#include "tests/server/ServedPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const uint32_t unpacked = GetU32(data);
    const uint32_t packed = GetU32(data + 4);
    const std::string stream(reinterpret_cast<const char*>(data + 8), size - 8);

    std::string archive;
    PutU32(archive, static_cast<uint32_t>(kHeaderSize + stream.size()));
    archive += stream;
    PutU32(archive, unpacked);
    PutU32(archive, packed);
    PutU32(archive, kHeaderSize);
    PutU16(archive, 6);
    archive += "a.html";
    const std::optional<LoadedArchive> loaded =
        LoadFuzzArchive(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
    if (!loaded) return 0;

    server_testing::TestSite site(*loaded);
    const server_testing::ServedPage page = server_testing::Serve(site.Get(), "/a.html");
    // A body is either the whole declared content or the short refusal text.
    if (page.Body.size() != unpacked && page.ContentType != "text/plain") __builtin_trap();
    return 0;
}
