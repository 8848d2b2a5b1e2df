// Loading indexes back, from sound archives and from damaged ones.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>

#include "Shared/LoadIndex.h"
#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

bool LoadFresh(const std::string& path) {
    Archive.Reset();
    return LoadIndex(path);
}

// The entry's content as a reader of the layout gets it: raw, or inflated.
std::string ReadEntry(const std::string& archive, const TItem& item) {
    const bool compressed = item.PackedSize != 0 && item.PackedSize < item.UnpackedSize;
    std::string stored =
        archive.substr(item.DataOffset, compressed ? item.PackedSize : item.UnpackedSize);
    if (!compressed) return stored;
    std::string body(item.UnpackedSize, '\0');
    lzo_uint length = body.size();
    int result =
        lzo1x_decompress_safe(reinterpret_cast<const unsigned char*>(stored.data()), stored.size(),
                              reinterpret_cast<unsigned char*>(body.data()), &length, nullptr);
    EXPECT_EQ(result, LZO_E_OK) << item.Name;
    EXPECT_EQ(length, body.size()) << item.Name;
    return body;
}

TEST(LoadIndex, RoundTripOfARealTreeGivesBackEveryFile) {
    TempDir dir;
    std::map<std::string, std::string> files = {
        {"index.html", CompressibleText(20000)},
        {"img/logo.png", RandomBytes(3000, 2)},
        {"img/Icon.GIF", CompressibleText(500)},
        {"docs/a/b/c.txt", CompressibleText(70000)},
        {"docs/empty", ""},
        {"big.bin", RandomBytes(1500000, 3)},  // larger than the old output buffer margin
        {".hidden.js", "var x = 1;"},
    };
    for (const auto& [name, bytes] : files) WriteBytes(dir / ("site/" + name), bytes);
    CompileNow(dir / "site", dir / "out.pel");
    ASSERT_FALSE(Progress.CompileFailed);

    ASSERT_TRUE(LoadFresh(dir / "out.pel"));
    ASSERT_EQ(Archive.EntryCount, files.size());
    const std::string archive = ReadBytes(dir / "out.pel");
    for (uint32_t i = 0; i < Archive.EntryCount; ++i) {
        const TItem& item = Archive.EntryTable[i];
        ASSERT_TRUE(files.count(item.Name)) << item.Name;
        EXPECT_EQ(ReadEntry(archive, item), files[item.Name]) << item.Name;
    }
    EXPECT_EQ(lseek(Archive.ArchiveHandle, 0, SEEK_CUR), 0);
}

TEST(LoadIndex, DocumentedSmallArchivesLoadAsDescribed) {
    TempDir dir;
    WriteBytes(dir / "one.pel", U32(7) + "GIF" + Record(3, 0, 4, "a.gif"));
    ASSERT_TRUE(LoadFresh(dir / "one.pel"));
    ASSERT_EQ(Archive.EntryCount, 1u);
    EXPECT_EQ(Archive.EntryTable[0].Name, "a.gif");
    EXPECT_EQ(Archive.EntryTable[0].UnpackedSize, 3u);
    EXPECT_EQ(Archive.EntryTable[0].PackedSize, 0u);
    EXPECT_EQ(Archive.EntryTable[0].DataOffset, 4u);

    WriteBytes(dir / "zero.pel", "");
    ASSERT_TRUE(LoadFresh(dir / "zero.pel"));
    EXPECT_EQ(Archive.EntryCount, 0u);

    WriteBytes(dir / "noname.pel", U32(4) + Record(0, 0, 4, "") + "xyz");  // 3 stray bytes ignored
    ASSERT_TRUE(LoadFresh(dir / "noname.pel"));
    ASSERT_EQ(Archive.EntryCount, 1u);
    EXPECT_EQ(Archive.EntryTable[0].Name, "");

    EXPECT_FALSE(LoadFresh(dir / "missing.pel"));
    EXPECT_EQ(Archive.EntryCount, 0u);
    EXPECT_FALSE(LoadFresh(dir.path().string()));  // a folder is no archive
}

TEST(LoadIndex, EveryTruncationOfAnArchiveLoadsSafely) {
    TempDir dir;
    WriteBytes(dir / "site/a.html", CompressibleText(400));
    WriteBytes(dir / "site/b.gif", "GIF89a");
    WriteBytes(dir / "site/c/d.txt", "");
    CompileNow(dir / "site", dir / "full.pel");
    const std::string full = ReadBytes(dir / "full.pel");
    const uint32_t indexOffset = GetU32(reinterpret_cast<const unsigned char*>(full.data()));
    for (size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        WriteBytes(dir / "cut.pel", full.substr(0, length));
        ASSERT_TRUE(LoadFresh(dir / "cut.pel"));
        ASSERT_LE(Archive.EntryCount, 3u);
        if (length < indexOffset + 4) {
            EXPECT_EQ(Archive.EntryCount, 0u);
        }
        // A record cut short after its first field holds zeros, never leftovers.
        for (uint32_t i = 0; i < Archive.EntryCount; ++i) {
            for (char c : Archive.EntryTable[i].Name)
                EXPECT_TRUE(c == 0 || std::isprint(static_cast<unsigned char>(c)));
        }
    }
    // The record cut right after its first field: nothing but that field.
    WriteBytes(dir / "short.pel", U32(4) + U32(99));
    ASSERT_TRUE(LoadFresh(dir / "short.pel"));
    ASSERT_EQ(Archive.EntryCount, 1u);
    EXPECT_EQ(Archive.EntryTable[0].UnpackedSize, 99u);
    EXPECT_EQ(Archive.EntryTable[0].PackedSize, 0u);
    EXPECT_EQ(Archive.EntryTable[0].DataOffset, 0u);
    EXPECT_EQ(Archive.EntryTable[0].Name, "");
}

TEST(LoadIndex, HostileHeadersAndIndexesStayWithinTheTable) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t entries;
    };
    const Case cases[] = {
        {"offset 2^31 would read the data area as index", U32(0x80000000u) + Record(1, 0, 4, "x"),
         0},
        {"offset all ones", U32(0xFFFFFFFFu) + Record(1, 0, 4, "x"), 0},
        {"offset past the end", U32(1000) + Record(1, 0, 4, "x"), 0},
        {"offset inside the header", U32(2) + Record(1, 0, 4, "x"), 1},
        {"name longer than the file", U32(4) + U32(1) + U32(0) + U32(4) + U16(0xFFFF) + "ab", 1},
        {"garbage", RandomBytes(5000, 9), 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(dir / "bad.pel", c.bytes);
        ASSERT_TRUE(LoadFresh(dir / "bad.pel"));
        if (c.entries != 0xFFFFFFFF) {
            EXPECT_EQ(Archive.EntryCount, c.entries);
        }
        EXPECT_LE(Archive.EntryCount, kMaxEntries);
    }
}

TEST(LoadIndex, StopsAtTheTableCapacity) {
    TempDir dir;
    std::string archive = U32(4);
    const std::string record = Record(0, 0, 4, "");
    archive.reserve(4 + record.size() * (kMaxEntries + 10));
    for (uint32_t i = 0; i < kMaxEntries + 10; ++i) archive += record;
    archive += Record(5, 5, 5, "beyond");
    WriteBytes(dir / "over.pel", archive);
    ASSERT_TRUE(LoadFresh(dir / "over.pel"));
    EXPECT_EQ(Archive.EntryCount, kMaxEntries);
    Archive.Reset();
}

}  // namespace
