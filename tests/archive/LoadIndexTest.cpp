// Loading indexes back, from sound archives and from damaged ones.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <optional>

#include "Shared/LoadedArchive.h"
#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

std::optional<LoadedArchive> Load(const std::string& path) {
    return std::move(LoadArchive(path).Archive);
}

// The entry's content as a reader of the layout gets it: raw, or inflated.
std::string ReadEntry(const std::string& archive, const EntryView& item) {
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

TEST(LoadArchive, RoundTripOfARealTreeGivesBackEveryFile) {
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
    const auto progress = CompileNow(dir / "site", dir / "out.pel");
    ASSERT_FALSE(progress->CompileFailed);

    std::optional<LoadedArchive> loaded = Load(dir / "out.pel");
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), files.size());
    const std::string archive = ReadBytes(dir / "out.pel");
    for (const EntryView item : loaded->Entries) {
        ASSERT_TRUE(files.count(std::string(item.Name))) << item.Name;
        EXPECT_EQ(ReadEntry(archive, item), files[std::string(item.Name)]) << item.Name;
    }
    EXPECT_EQ(lseek(loaded->File(), 0, SEEK_CUR), 0);
}

TEST(LoadArchive, DocumentedSmallArchivesLoadAsDescribed) {
    TempDir dir;
    WriteBytes(dir / "one.pel", U32(7) + "GIF" + Record(3, 0, 4, "a.gif"));
    std::optional<LoadedArchive> loaded = Load(dir / "one.pel");
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), 1u);
    EXPECT_EQ(loaded->Entries[0].Name, "a.gif");
    EXPECT_EQ(loaded->Entries[0].UnpackedSize, 3u);
    EXPECT_EQ(loaded->Entries[0].PackedSize, 0u);
    EXPECT_EQ(loaded->Entries[0].DataOffset, 4u);

    WriteBytes(dir / "zero.pel", "");
    loaded = Load(dir / "zero.pel");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Entries.size(), 0u);

    WriteBytes(dir / "noname.pel", U32(4) + Record(0, 0, 4, "") + "xyz");  // 3 stray bytes ignored
    loaded = Load(dir / "noname.pel");
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), 1u);
    EXPECT_EQ(loaded->Entries[0].Name, "");

    EXPECT_FALSE(Load(dir / "missing.pel"));
    EXPECT_FALSE(Load(dir.path().string()));  // a folder is no archive
}

TEST(LoadArchive, EveryTruncationOfAnArchiveLoadsSafely) {
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
        const std::optional<LoadedArchive> loaded = Load(dir / "cut.pel");
        ASSERT_TRUE(loaded);
        ASSERT_LE(loaded->Entries.size(), 3u);
        if (length < indexOffset + 4) {
            EXPECT_EQ(loaded->Entries.size(), 0u);
        }
        // A record cut short after its first field holds zeros, never leftovers.
        for (const EntryView entry : loaded->Entries) {
            for (char c : entry.Name)
                EXPECT_TRUE(c == 0 || std::isprint(static_cast<unsigned char>(c)));
        }
    }
    // The record cut right after its first field: nothing but that field.
    WriteBytes(dir / "short.pel", U32(4) + U32(99));
    const std::optional<LoadedArchive> loaded = Load(dir / "short.pel");
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), 1u);
    EXPECT_EQ(loaded->Entries[0].UnpackedSize, 99u);
    EXPECT_EQ(loaded->Entries[0].PackedSize, 0u);
    EXPECT_EQ(loaded->Entries[0].DataOffset, 0u);
    EXPECT_EQ(loaded->Entries[0].Name, "");
}

TEST(LoadArchive, HostileHeadersAndIndexesStayWithinTheTable) {
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
        const std::optional<LoadedArchive> loaded = Load(dir / "bad.pel");
        ASSERT_TRUE(loaded);
        if (c.entries != 0xFFFFFFFF) {
            EXPECT_EQ(loaded->Entries.size(), c.entries);
        }
        EXPECT_LE(loaded->Entries.size(), kMaxEntries);
    }
}

TEST(LoadArchive, StopsAtTheTableCapacity) {
    TempDir dir;
    std::string archive = U32(4);
    const std::string record = Record(0, 0, 4, "");
    archive.reserve(4 + record.size() * (kMaxEntries + 10));
    for (uint32_t i = 0; i < kMaxEntries + 10; ++i) archive += record;
    archive += Record(5, 5, 5, "beyond");
    WriteBytes(dir / "over.pel", archive);
    std::optional<LoadedArchive> loaded = Load(dir / "over.pel");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Entries.size(), kMaxEntries);
    EXPECT_TRUE(loaded->Noticed.MoreRecordsThanTable);
}

TEST(ParseIndex, AnIndexReadInAnyTwoPiecesParsesAsAWhole) {
    const std::string index = Record(3, 0, 4, "a.gif") + Record(400, 90, 7, "b/c.html") +
                              Record(0, 0, 97, "") + Record(1, 0, 97, "d");
    // Whole, and cut short inside a record after its first field.
    for (const std::string& bytes : {index, index.substr(0, index.size() - 3)}) {
        const ParsedIndex whole = ParseIndex(bytes);
        for (size_t split = 0; split <= bytes.size(); ++split) {
            SCOPED_TRACE("split at " + std::to_string(split) + " of " +
                         std::to_string(bytes.size()));
            IndexParser parser;
            const size_t taken = parser.Parse(std::string_view(bytes).substr(0, split), false);
            ASSERT_LE(taken, split);
            parser.Parse(std::string_view(bytes).substr(taken), true);
            const ParsedIndex pieces = parser.Take();
            ASSERT_EQ(pieces.Entries.size(), whole.Entries.size());
            for (size_t i = 0; i < whole.Entries.size(); ++i) {
                EXPECT_EQ(pieces.Entries[i].Name, whole.Entries[i].Name);
                EXPECT_EQ(pieces.Entries[i].UnpackedSize, whole.Entries[i].UnpackedSize);
                EXPECT_EQ(pieces.Entries[i].PackedSize, whole.Entries[i].PackedSize);
                EXPECT_EQ(pieces.Entries[i].DataOffset, whole.Entries[i].DataOffset);
            }
            EXPECT_EQ(pieces.LastRecordCut, whole.LastRecordCut);
        }
        EXPECT_EQ(whole.Entries.size(), 4u);
        EXPECT_EQ(whole.LastRecordCut, bytes.size() < index.size());
    }
}

}  // namespace
