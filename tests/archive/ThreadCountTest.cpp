// Any number of compile threads writes the archive one thread writes: the same
// entries, order, offsets and store-or-compress choices, the same files left
// out for the same reasons. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "Platform/FaultInjection.h"
#include "tests/archive/CompileHelpers.h"
#include "tests/reliability/IndependentArchiveReader.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;
using platform::FaultInjection;

namespace {

struct Outcome {
    std::string archive;
    uint32_t unreadable, tooLarge, overCapacity;
};

Outcome CompileWith(const TempDir& dir, unsigned threads, const CompileLimits& limits) {
    const auto progress = CompileNow(dir / "site", dir / "out.pel", threads, limits);
    EXPECT_FALSE(progress->CompileFailed) << progress->CompileError.Get();
    return {ReadBytes(dir / "out.pel"), progress->FilesLeftOut.unreadable,
            progress->FilesLeftOut.tooLarge, progress->FilesLeftOut.overCapacity};
}

// Files of many sizes over nested folders, so that workers finish out of
// order; `largeSize` for three files large enough to take buffers beyond what
// a slot keeps. Gives each file's entry name and content.
std::map<std::string, std::string> WriteAwkwardTree(const TempDir& dir, size_t largeSize) {
    std::map<std::string, std::string> files;
    const auto put = [&](const std::string& name, const std::string& content) {
        WriteBytes(dir / ("site/" + name), content);
        files[name] = content;
    };
    for (int i = 0; i < 60; ++i) {
        const std::string folder = "d" + std::to_string(i % 5) + "/e" + std::to_string(i % 3);
        const size_t size = static_cast<size_t>(i * i * 37 % 40000);
        put(folder + "/page" + std::to_string(i) + ".html", CompressibleText(size));
        put(folder + "/noise" + std::to_string(i) + ".bin",
            RandomBytes(size / 3, i));  // not smaller
    }
    put("photo.JPG", CompressibleText(30000));  // stored raw by extension
    put("empty.txt", "");
    put("d1/empty.css", "");
    for (int i = 0; i < 3; ++i) {
        put("d2/large" + std::to_string(i) + ".js", CompressibleText(largeSize + i));
    }
    return files;
}

TEST(ThreadCount, OneTwoAndFourThreadsWriteTheSameArchive) {
    TempDir dir;
    WriteAwkwardTree(dir, 5000000);
    // Larger than the buffers a worker keeps: each goes to its slot as it is,
    // the compressed stream of one, the content of the other.
    WriteBytes(dir / "site/d2/huge.js", CompressibleText(9000000));
    WriteBytes(dir / "site/d2/huge.bin", RandomBytes(9000000, 7));
    WriteBytes(dir / "site/d3/shrinks.html", CompressibleText(12345));
    FaultInjection::SetShortRead(12345, 5000);
    // A file that cannot be opened, in the middle of the walk.
    std::filesystem::create_directories(dir / "site/d4");
    std::filesystem::create_symlink(dir / "nowhere", dir / "site/d4/dangling.html");

    // Without limits, then with an entry limit, then with a data area that
    // ends half way through the walk.
    const Outcome full = CompileWith(dir, 1, {});
    EXPECT_EQ(full.unreadable, 1u);
    const uint32_t dataEnd = GetU32(reinterpret_cast<const unsigned char*>(full.archive.data()));
    const CompileLimits limitSets[] = {{}, {70, kMaxArchiveOffset}, {kMaxEntries, dataEnd / 2}};
    for (const CompileLimits& limits : limitSets) {
        SCOPED_TRACE("limits: " + std::to_string(limits.maxEntries) + " entries, data to " +
                     std::to_string(limits.maxDataEnd));
        const Outcome single = CompileWith(dir, 1, limits);
        EXPECT_EQ(single.overCapacity > 0, limits.maxEntries < kMaxEntries);
        EXPECT_EQ(single.tooLarge > 0, limits.maxDataEnd < kMaxArchiveOffset);
        for (unsigned threads : {2u, 4u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            const Outcome several = CompileWith(dir, threads, limits);
            EXPECT_TRUE(several.archive == single.archive);
            EXPECT_EQ(several.unreadable, single.unreadable);
            EXPECT_EQ(several.tooLarge, single.tooLarge);
            EXPECT_EQ(several.overCapacity, single.overCapacity);
        }
    }
    FaultInjection::Reset();
}

TEST(ThreadCount, BestLevelWritesTheSameSmallerArchiveWithAnyThreadCount) {
    TempDir dir;
    // The large files at 2 MB: enough to pass a slot's share, quick enough
    // for the slow compressor under the thread checker.
    const std::map<std::string, std::string> files = WriteAwkwardTree(dir, 2000000);
    CompileNow(dir / "site", dir / "fast.pel", 1);
    const size_t fastSize = ReadBytes(dir / "fast.pel").size();

    std::string first;
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const auto progress =
            CompileNow(dir / "site", dir / "best.pel", threads, {}, CompileLevel::Best);
        ASSERT_FALSE(progress->CompileFailed) << progress->CompileError.Get();
        const std::string archive = ReadBytes(dir / "best.pel");
        if (first.empty()) first = archive;
        EXPECT_TRUE(archive == first);
    }
    EXPECT_LT(first.size(), fastSize * 9 / 10);

    // Read back by a reader that shares no code with the program.
    const independent::ArchiveReader reader(first);
    EXPECT_EQ(reader.problems(), std::vector<std::string>{});
    std::map<std::string, std::string> decoded;
    for (const independent::Record& record : reader.records()) {
        std::string content, problem;
        EXPECT_TRUE(reader.Decode(record, content, problem)) << record.name << ": " << problem;
        decoded[record.name] = content;
        // Stored raw by extension, or because compressing did not make it smaller.
        if (record.name == "photo.JPG" || record.name.find("noise") != std::string::npos) {
            EXPECT_FALSE(record.compressed()) << record.name;
        }
    }
    EXPECT_TRUE(decoded == files);
}

}  // namespace
