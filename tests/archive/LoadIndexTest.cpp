// Loading indexes back, from sound archives and from damaged ones.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <unistd.h>

#include <algorithm>
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

bool SameEntries(const EntryTable& a, const EntryTable& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](EntryView x, EntryView y) {
        return x.Name == y.Name && x.DataOffset == y.DataOffset && x.PackedSize == y.PackedSize &&
               x.UnpackedSize == y.UnpackedSize;
    });
}

// Loads `bytes` from a file and expects what the archive in memory parses to.
std::optional<LoadedArchive> LoadAsParsed(const TempDir& dir, const std::string& bytes) {
    WriteBytes(dir / "loaded.pel", bytes);
    std::optional<LoadedArchive> loaded = Load(dir / "loaded.pel");
    if (!loaded) return loaded;
    const ArchiveIndex parsed = ParseArchive(bytes);
    EXPECT_EQ(loaded->IndexOffset, parsed.IndexOffset);
    EXPECT_TRUE(SameEntries(loaded->Entries, parsed.Entries));
    EXPECT_EQ(loaded->Noticed.HeaderCut, parsed.Noticed.HeaderCut);
    EXPECT_EQ(loaded->Noticed.IndexOffsetOutside, parsed.Noticed.IndexOffsetOutside);
    EXPECT_EQ(loaded->Noticed.LastRecordCut, parsed.Noticed.LastRecordCut);
    EXPECT_EQ(loaded->Noticed.MoreRecordsThanTable, parsed.Noticed.MoreRecordsThanTable);
    return loaded;
}

// A small compiled tree's archive.
std::string CompiledArchive(const TempDir& dir) {
    WriteBytes(dir / "site/a.html", CompressibleText(400));
    WriteBytes(dir / "site/b.gif", "GIF89a");
    WriteBytes(dir / "site/c/d.txt", "");
    CompileNow(dir / "site", dir / "full.pel");
    return ReadBytes(dir / "full.pel");
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
    std::optional<LoadedArchive> loaded =
        LoadAsParsed(dir, U32(7) + "GIF" + Record(3, 0, 4, "a.gif"));
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), 1u);
    EXPECT_EQ(loaded->Entries[0].Name, "a.gif");
    EXPECT_EQ(loaded->Entries[0].UnpackedSize, 3u);
    EXPECT_EQ(loaded->Entries[0].PackedSize, 0u);
    EXPECT_EQ(loaded->Entries[0].DataOffset, 4u);

    loaded = LoadAsParsed(dir, "");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Entries.size(), 0u);

    loaded = LoadAsParsed(dir, U32(4) + Record(0, 0, 4, "") + "xyz");  // 3 stray bytes ignored
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), 1u);
    EXPECT_EQ(loaded->Entries[0].Name, "");

    EXPECT_FALSE(Load(dir / "missing.pel"));
    EXPECT_FALSE(Load(dir.path().string()));  // a folder is no archive
}

TEST(ParseArchive, EveryTruncationOfAnArchiveParsesSafely) {
    TempDir dir;
    const std::string full = CompiledArchive(dir);
    const uint32_t indexOffset = ParseHeader(full);
    // Where the index's records end: a cut there cuts no record short.
    std::vector<size_t> recordEnds{indexOffset};
    for (const EntryView entry : ParseArchive(full).Entries) {
        recordEnds.push_back(recordEnds.back() + kIndexRecordFixedSize + entry.Name.size());
    }
    ASSERT_EQ(recordEnds.back(), full.size());
    for (size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        const ArchiveIndex parsed = ParseArchive(std::string_view(full).substr(0, length));
        ASSERT_LE(parsed.Entries.size(), 3u);
        EXPECT_EQ(parsed.Noticed.HeaderCut, length < kHeaderSize);
        EXPECT_EQ(parsed.Noticed.IndexOffsetOutside, length >= kHeaderSize && length < indexOffset);
        EXPECT_EQ(
            parsed.Noticed.LastRecordCut,
            length > indexOffset && std::count(recordEnds.begin(), recordEnds.end(), length) == 0);
        if (length < indexOffset + 4) {
            EXPECT_EQ(parsed.Entries.size(), 0u);
        }
        // A record cut short after its first field holds zeros, never leftovers.
        for (const EntryView entry : parsed.Entries) {
            for (char c : entry.Name)
                EXPECT_TRUE(c == 0 || std::isprint(static_cast<unsigned char>(c)));
        }
    }
    // The record cut right after its first field: nothing but that field.
    const ArchiveIndex parsed = ParseArchive(U32(4) + U32(99));
    ASSERT_EQ(parsed.Entries.size(), 1u);
    EXPECT_EQ(parsed.Entries[0].UnpackedSize, 99u);
    EXPECT_EQ(parsed.Entries[0].PackedSize, 0u);
    EXPECT_EQ(parsed.Entries[0].DataOffset, 0u);
    EXPECT_EQ(parsed.Entries[0].Name, "");
}

TEST(ParseArchive, EveryValueOfEveryHeaderByteParsesSafely) {
    TempDir dir;
    const std::string full = CompiledArchive(dir);
    const ArchiveIndex sound = ParseArchive(full);
    ASSERT_EQ(sound.Entries.size(), 3u);
    for (size_t at = 0; at < kHeaderSize; ++at) {
        for (int value = 0; value < 256; ++value) {
            SCOPED_TRACE("byte " + std::to_string(at) + " = " + std::to_string(value));
            std::string changed = full;
            changed[at] = static_cast<char>(value);
            const uint32_t offset = ParseHeader(changed);
            const ArchiveIndex parsed = ParseArchive(changed);
            EXPECT_EQ(parsed.IndexOffset, offset);
            EXPECT_FALSE(parsed.Noticed.HeaderCut);
            EXPECT_EQ(parsed.Noticed.IndexOffsetOutside, offset > full.size());
            // Every record, even one cut short, takes at least its first field.
            const size_t indexBytes = full.size() - std::min<size_t>(offset, full.size());
            EXPECT_LE(parsed.Entries.size(), indexBytes / 4);
            if (offset == sound.IndexOffset) {
                EXPECT_TRUE(SameEntries(parsed.Entries, sound.Entries));
            }
        }
    }
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
        const std::optional<LoadedArchive> loaded = LoadAsParsed(dir, c.bytes);
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
    std::optional<LoadedArchive> loaded = LoadAsParsed(dir, archive);
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
