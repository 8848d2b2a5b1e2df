// Any number of compile threads writes the archive one thread writes: the same
// entries, order, offsets and store-or-compress choices, the same files left
// out for the same reasons. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include "Platform/FaultInjection.h"
#include "tests/archive/CompileHelpers.h"
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

TEST(ThreadCount, OneTwoAndFourThreadsWriteTheSameArchive) {
    TempDir dir;
    // Files of many sizes over nested folders, so that workers finish out of order.
    for (int i = 0; i < 60; ++i) {
        const std::string folder = "site/d" + std::to_string(i % 5) + "/e" + std::to_string(i % 3);
        const size_t size = static_cast<size_t>(i * i * 37 % 40000);
        WriteBytes(dir / (folder + "/page" + std::to_string(i) + ".html"), CompressibleText(size));
        WriteBytes(dir / (folder + "/noise" + std::to_string(i) + ".bin"),  // not smaller
                   RandomBytes(size / 3, i));
    }
    WriteBytes(dir / "site/photo.JPG", CompressibleText(30000));  // stored raw by extension
    WriteBytes(dir / "site/empty.txt", "");
    WriteBytes(dir / "site/d1/empty.css", "");
    // Large enough to take buffers beyond what a slot keeps.
    for (int i = 0; i < 3; ++i) {
        WriteBytes(dir / ("site/d2/large" + std::to_string(i) + ".js"),
                   CompressibleText(5000000 + i));
    }
    WriteBytes(dir / "site/d3/shrinks.html", CompressibleText(12345));
    FaultInjection::SetShortRead(12345, 5000);
    WriteBytes(dir / "site/d4/held.html", "held open by another program");
    const platform::FileHandle held = platform::HoldExclusive(dir / "site/d4/held.html");

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
    platform::CloseFile(held);
    FaultInjection::Reset();
}

}  // namespace
