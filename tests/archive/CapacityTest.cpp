// A tree larger than the entry table: the first 262,144 files met are packed.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

TEST(Capacity, TreeOfOneFileTooManyGivesAFullTable) {
    TempDir dir;
    const uint32_t files = kMaxEntries + 1;
    for (uint32_t i = 0; i < files; ++i) {
        std::string folder = dir / ("site/d" + std::to_string(i / 1000));
        if (i % 1000 == 0) std::filesystem::create_directories(folder);
        std::ofstream(folder + "/f" + std::to_string(i)) << i;
    }
    const auto progress = CompileNow(dir / "site", dir / "out.pel");
    ASSERT_FALSE(progress->CompileFailed);
    EXPECT_EQ(progress->FilesPacked, kMaxEntries);
    EXPECT_EQ(progress->FilesLeftOut.overCapacity, 1u);
    EXPECT_EQ(Loaded(dir / "out.pel").Entries.size(), kMaxEntries);
}
