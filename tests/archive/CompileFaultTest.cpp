// A compile that fails or is cut short never damages the archive that stood
// there, and a file that shrinks while read never claims bytes it lacks.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;
using platform::FaultInjection;

namespace {

// Each fault with one compile thread and with several.
class CompileFault : public ::testing::TestWithParam<unsigned> {
  protected:
    void TearDown() override { FaultInjection::Reset(); }
    std::unique_ptr<CompileProgress> Compile(const std::string& source,
                                             const std::string& archive) {
        return CompileNow(source, archive, GetParam());
    }
};

TEST_P(CompileFault, FullDiskAtAnyPointKeepsThePreviousArchive) {
    TempDir dir;
    WriteBytes(dir / "site/a.html", CompressibleText(30000));
    WriteBytes(dir / "site/b.bin", RandomBytes(20000));
    WriteBytes(dir / "site/c/d.css", CompressibleText(5000));
    const auto progress = Compile(dir / "site", dir / "out.pel");
    ASSERT_FALSE(progress->CompileFailed);
    const std::string previous = ReadBytes(dir / "out.pel");

    WriteBytes(dir / "site/new.txt", "something new");
    // Budgets that run out in the header, in the data, and in the index (the
    // new file makes the new archive longer than the previous one).
    const auto size = static_cast<int64_t>(previous.size());
    for (int64_t budget : {int64_t{0}, int64_t{3}, int64_t{100}, size / 2, size - 5}) {
        SCOPED_TRACE("bytes writable: " + std::to_string(budget));
        FaultInjection::SetWriteBudget(budget);
        const auto progress = Compile(dir / "site", dir / "out.pel");
        FaultInjection::Reset();
        EXPECT_TRUE(progress->CompileFinished);
        EXPECT_TRUE(progress->CompileFailed);
        EXPECT_NE(progress->CompileError.Get().find("No space left"), std::string::npos)
            << progress->CompileError.Get();
        EXPECT_TRUE(ReadBytes(dir / "out.pel") == previous);
        EXPECT_FALSE(std::filesystem::exists(PartialArchivePath(dir / "out.pel")));
    }
}

TEST_P(CompileFault, LeftoverPartialFileFromAKilledRunIsReplaced) {
    TempDir dir;
    WriteBytes(dir / "site/a.txt", "a");
    WriteBytes(PartialArchivePath(dir / "out.pel"), RandomBytes(999));
    const auto progress = Compile(dir / "site", dir / "out.pel");
    ASSERT_FALSE(progress->CompileFailed);
    EXPECT_FALSE(std::filesystem::exists(PartialArchivePath(dir / "out.pel")));
    EXPECT_EQ(ReadBytes(dir / "out.pel"), U32(5) + "a" + Record(1, 0, 4, "a.txt"));
}

TEST_P(CompileFault, PartialArchiveInsideTheSourceFolderIsLeftOut) {
    TempDir dir;
    WriteBytes(dir / "site/a.txt", "a");
    WriteBytes(PartialArchivePath(dir / "site/out.pel"), "leftover");
    Compile(dir / "site", dir / "site/out.pel");
    const LoadedArchive loaded = Loaded(dir / "site/out.pel");
    ASSERT_EQ(loaded.Entries.size(), 1u);
    EXPECT_EQ(loaded.Entries[0].Name, "a.txt");
}

TEST_P(CompileFault, FileThatShrinksWhileReadClaimsOnlyTheBytesStored) {
    TempDir dir;
    WriteBytes(dir / "site/shrinking.gif", RandomBytes(10000));
    // Only the first 4,096 bytes can be read, as if the file were cut meanwhile.
    FaultInjection::SetReadLimit(4096, 1);
    const auto progress = Compile(dir / "site", dir / "out.pel");
    FaultInjection::Reset();
    ASSERT_FALSE(progress->CompileFailed);
    const LoadedArchive loaded = Loaded(dir / "out.pel");
    ASSERT_EQ(loaded.Entries.size(), 1u);
    EXPECT_EQ(loaded.Entries[0].UnpackedSize, 4096u);
    const std::string archive = ReadBytes(dir / "out.pel");
    EXPECT_EQ(archive.size(), 4 + 4096 + 14 + std::string("shrinking.gif").size());
    EXPECT_EQ(GetU32(reinterpret_cast<const unsigned char*>(archive.data())), 4u + 4096u);
}

INSTANTIATE_TEST_SUITE_P(Threads, CompileFault, ::testing::Values(1u, 2u, 4u));

}  // namespace
