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
    CompileNow(dir / "site", dir / "out.pel");
    ASSERT_FALSE(Progress.CompileFailed);
    EXPECT_EQ(Progress.FilesPacked, kMaxEntries);
    EXPECT_EQ(Progress.FilesLeftOut.overCapacity, 1u);
    EXPECT_EQ(Loaded(dir / "out.pel").Entries.size(), kMaxEntries);
}
