// What the compiler writes, checked byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "Compiler/IsStoredRaw.h"
#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

const std::string kEmptyArchive("\x04\x00\x00\x00", 4);

std::map<std::string, TItem> EntriesByName(const std::string& archive) {
    std::map<std::string, TItem> entries;
    for (const EntryView entry : Loaded(archive).Entries) {
        entries[std::string(entry.Name)] = {std::string(entry.Name), entry.DataOffset,
                                            entry.PackedSize, entry.UnpackedSize};
    }
    return entries;
}

TEST(Compile, SingleStoredRawFileGivesTheDocumentedBytes) {
    TempDir dir;
    WriteBytes(dir / "site/a.gif", "GIF");
    const auto progress = CompileNow(dir / "site", dir / "out.pel");
    EXPECT_TRUE(progress->CompileFinished);
    EXPECT_FALSE(progress->CompileFailed);
    std::string expected = U32(7) + "GIF" + Record(3, 0, 4, "a.gif");
    ASSERT_EQ(expected.size(), 26u);
    EXPECT_EQ(ReadBytes(dir / "out.pel"), expected);
}

TEST(Compile, EmptyMissingAndUnnamedSourceFoldersGiveAnEmptyArchive) {
    TempDir dir;
    std::filesystem::create_directories(dir / "empty/sub/deeper");
    for (const std::string& source : {dir / "empty", dir / "missing", std::string()}) {
        SCOPED_TRACE("source '" + source + "'");
        const auto progress = CompileNow(source, dir / "out.pel");
        EXPECT_TRUE(progress->CompileStarted);
        EXPECT_TRUE(progress->CompileFinished);
        EXPECT_FALSE(progress->CompileFailed);
        EXPECT_EQ(ReadBytes(dir / "out.pel"), kEmptyArchive);
    }
}

TEST(Compile, StoredRawListIgnoresLetterCaseAndTakesOnlyTheLastExtension) {
    struct Case {
        const char* name;
        bool raw;
    };
    const Case cases[] = {
        {"a.zip", true},      {"a.rar", true},       {"a.arj", true},   {"a.cab", true},
        {"a.tgz", true},      {"a.gz", true},        {"a.7z", true},    {"a.gif", true},
        {"a.png", true},      {"a.jpg", true},       {"a.jpeg", true},  {"a.mp3", true},
        {"a.wma", true},      {"a.ogg", true},       {"a.wav", true},   {"a.wmv", true},
        {"a.avi", true},      {"a.mpg", true},       {"a.mpge", true},  {"PHOTO.PNG", true},
        {"x.Gif", true},      {"data.tar.gz", true}, {"a.mpeg", false}, {"a.gz.txt", false},
        {"README", false},    {"a.html", false},     {"a.", false},     {"dir.gif\\x", false},
        {"c:x.gif:y", false}, {".gif", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsStoredRaw(c.name), c.raw) << c.name;
}

TEST(Compile, CompressesWhatShrinksAndStoresTheRestRaw) {
    TempDir dir;
    const std::string text = CompressibleText(50000);
    const std::string noise = RandomBytes(5000);
    WriteBytes(dir / "site/page.html", text);
    WriteBytes(dir / "site/noise.bin", noise);
    WriteBytes(dir / "site/tiny.txt", "ab");
    WriteBytes(dir / "site/photo.PNG", text);  // listed: raw even though it would shrink
    CompileNow(dir / "site", dir / "out.pel");
    auto entries = EntriesByName(dir / "out.pel");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_GT(entries["page.html"].PackedSize, 0u);
    EXPECT_LT(entries["page.html"].PackedSize, text.size() / 4);
    EXPECT_EQ(entries["noise.bin"].PackedSize, 0u);
    EXPECT_EQ(entries["tiny.txt"].PackedSize, 0u);
    EXPECT_EQ(entries["photo.PNG"].PackedSize, 0u);
    EXPECT_EQ(entries["photo.PNG"].UnpackedSize, text.size());
}

TEST(Compile, DataOffsetsAreContiguousAndTheIndexFollowsTheLastByte) {
    TempDir dir;
    WriteBytes(dir / "site/a.html", CompressibleText(3000));
    WriteBytes(dir / "site/empty.txt", "");
    WriteBytes(dir / "site/b.bin", RandomBytes(777));
    WriteBytes(dir / "site/sub/c.css", CompressibleText(100));
    WriteBytes(dir / "site/sub/empty2", "");
    CompileNow(dir / "site", dir / "out.pel");
    const LoadedArchive loaded = Loaded(dir / "out.pel");
    ASSERT_EQ(loaded.Entries.size(), 5u);
    uint32_t expectedOffset = 4;
    for (const EntryView item : loaded.Entries) {
        EXPECT_EQ(item.DataOffset, expectedOffset) << item.Name;
        expectedOffset += item.PackedSize != 0 ? item.PackedSize : item.UnpackedSize;
        if (item.UnpackedSize == 0) {
            EXPECT_EQ(item.PackedSize, 0u) << item.Name;
        }
    }
    const std::string archive = ReadBytes(dir / "out.pel");
    EXPECT_EQ(GetU32(reinterpret_cast<const unsigned char*>(archive.data())), expectedOffset);
}

TEST(Compile, NamesAreRelativeWithSlashesAndATrailingSlashChangesNothing) {
    TempDir dir;
    WriteBytes(dir / "site/img/logo.gif", "x");
    WriteBytes(dir / "site/docs/guide/deep.html", "y");
    WriteBytes(dir / "site/.hidden", "z");
    WriteBytes(dir / "site/back\\slash.txt", "w");
    std::filesystem::create_directories(dir / "site/empty-folder");
    for (const std::string& source : {dir / "site", dir / "site/"}) {
        SCOPED_TRACE(source);
        CompileNow(source, dir / "out.pel");
        auto entries = EntriesByName(dir / "out.pel");
        EXPECT_EQ(entries.size(), 4u);
        EXPECT_TRUE(entries.count("img/logo.gif"));
        EXPECT_TRUE(entries.count("docs/guide/deep.html"));
        EXPECT_TRUE(entries.count(".hidden"));
        EXPECT_TRUE(entries.count("back/slash.txt"));
    }
}

TEST(Compile, SubfolderFilesEnterTheTableWhereTheSubfolderIsListed) {
    TempDir dir;
    WriteBytes(dir / "site/a/1.txt", "1");
    WriteBytes(dir / "site/a/2.txt", "2");
    WriteBytes(dir / "site/b.txt", "b");
    WriteBytes(dir / "site/c/3.txt", "3");
    CompileNow(dir / "site", dir / "out.pel");
    const LoadedArchive loaded = Loaded(dir / "out.pel");
    ASSERT_EQ(loaded.Entries.size(), 4u);
    // Whatever order the folder lists in, a folder's files stay together.
    std::string prefixes;
    for (const EntryView entry : loaded.Entries) prefixes += entry.Name.substr(0, 1);
    EXPECT_NE(prefixes.find("aa"), std::string::npos) << prefixes;
}

TEST(Compile, ArchiveInsideItsOwnSourceFolderIsLeftOut) {
    TempDir dir;
    WriteBytes(dir / "site/index.html", "hello");
    // Compiling again over the first archive leaves that one out too.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto progress = CompileNow(dir / "site", dir / "site/site.pel");
        ASSERT_FALSE(progress->CompileFailed);
        const LoadedArchive loaded = Loaded(dir / "site/site.pel");
        ASSERT_EQ(loaded.Entries.size(), 1u);
        EXPECT_EQ(loaded.Entries[0].Name, "index.html");
    }
}

TEST(Compile, UnlistableSpecialAndLoopingEntriesNeitherHangNorLeak) {
    TempDir dir;
    WriteBytes(dir / "site/page.html", "page");
    ASSERT_EQ(mkfifo((dir / "site/pipe").c_str(), 0644), 0);
    std::filesystem::create_directory_symlink(dir / "site", dir / "site/loop");
    std::filesystem::create_symlink(dir / "nowhere", dir / "site/dangling.html");
    std::filesystem::create_symlink(dir / "site/page.html", dir / "site/alias.html");
    const auto progress = CompileNow(dir / "site", dir / "out.pel");
    EXPECT_FALSE(progress->CompileFailed);
    auto entries = EntriesByName(dir / "out.pel");
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries.count("page.html"));
    EXPECT_TRUE(entries.count("alias.html"));
    EXPECT_EQ(progress->FilesLeftOut.unreadable, 1u);  // the dangling link
}

TEST(Compile, FileOfTwoGibibytesIsLeftOutAsTooLarge) {
    TempDir dir;
    WriteBytes(dir / "site/page.html", "page");
    // Sparse: no disk space, and with the size check nothing is read.
    WriteBytes(dir / "site/huge.txt", "");
    std::filesystem::resize_file(dir / "site/huge.txt", uint64_t{1} << 31);
    const auto progress = CompileNow(dir / "site", dir / "out.pel", 1);
    EXPECT_FALSE(progress->CompileFailed);
    EXPECT_EQ(progress->FilesLeftOut.tooLarge, 1u);
    auto entries = EntriesByName(dir / "out.pel");
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries.count("page.html"));
}

TEST(Compile, FileBelowAPathLongerThanTheSystemTakesWholeIsPacked) {
    TempDir dir;
    WriteBytes(dir / "site/top.txt", "top");
    // 25 levels of 200-byte names: over 5,000 bytes, more than a path may be
    // on Linux.
    int fd = open((dir / "site").c_str(), O_RDONLY | O_DIRECTORY);
    const std::string level(200, 'n');
    std::string name;
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
        const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        name += level + "/";
    }
    const int file = openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(write(file, "leaf", 4), 4);
    close(file);
    close(fd);
    const auto progress = CompileNow(dir / "site", dir / "out.pel");
    EXPECT_FALSE(progress->CompileFailed);
    auto entries = EntriesByName(dir / "out.pel");
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries.count(name + "leaf.txt"));
}

TEST(Compile, ArchiveThatCannotBeCreatedFinishesWithoutAFile) {
    TempDir dir;
    WriteBytes(dir / "site/a.txt", "a");
    for (const std::string& target :
         {dir / "no/such/folder/out.pel", std::string(), dir / "site"}) {
        SCOPED_TRACE("target '" + target + "'");
        const auto progress = CompileNow(dir / "site", target);
        EXPECT_TRUE(progress->CompileFinished);
        EXPECT_TRUE(progress->CompileFailed);
        EXPECT_NE(progress->CompileError.Get().find("cannot create archive"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(PartialArchivePath(target)));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(Compile, ProgressShowsTheBareNameOfTheLastFile) {
    TempDir dir;
    WriteBytes(dir / "site/sub/index.html", "x");
    const auto progress = CompileNow(dir / "site", dir / "out.pel");
    EXPECT_EQ(progress->CurrentFileName.Get(), "index.html");
}

}  // namespace
