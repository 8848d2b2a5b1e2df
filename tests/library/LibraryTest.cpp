// A library folder as the server sees it: which files are archives and under
// which path each is served, the snapshot that takes over unchanged archives,
// the start page and its JSON, and the watch that finds a replaced archive.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "Library/ArchiveName.h"
#include "Library/ArchiveTitle.h"
#include "Library/FolderWatch.h"
#include "Library/LiveLibrary.h"
#include "Library/StartPage.h"
#include "WebServer/ServedSites.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using server_testing::ArchiveBuilder;
using testing_support::TempDir;

namespace {

TEST(ArchiveNames, AreFilesEndingInPelOfAnyCaseServedUnderTheirEncodedName) {
    struct Case {
        std::string file;
        bool archive;
        std::string name;
        std::string segment;
    };
    const Case cases[] = {
        {"python.pel", true, "python", "python"},
        {"Rust Book.PEL", true, "Rust Book", "Rust%20Book"},
        {"50%.Pel", true, "50%", "50%25"},
        {"a+b#c?.pel", true, "a+b#c?", "a%2Bb%23c%3F"},
        {"caf\xC3\xA9.pel", true, "caf\xC3\xA9", "caf%C3%A9"},
        {"odd\xFF.pel", true, "odd\xFF", "odd%FF"},
        {".pel", false, "", ""},
        {"notes.txt", false, "", ""},
        {"archive.pel.bak", false, "", ""},
        {"pel", false, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsArchiveFileName(c.file), c.archive) << c.file;
        if (!c.archive) continue;
        EXPECT_EQ(ArchiveNameOf(c.file), c.name) << c.file;
        EXPECT_EQ(PathSegmentOf(c.name), c.segment) << c.file;
    }
}

std::shared_ptr<const LibraryArchive> Served(const std::string& file, const std::string& title) {
    auto archive = std::make_shared<LibraryArchive>();
    archive->File.FileName = file;
    archive->Name = ArchiveNameOf(file);
    archive->Segment = PathSegmentOf(archive->Name);
    archive->Title = title;
    archive->EntryCount = 3;
    archive->File.Stamp.Size = 1536;
    archive->File.Stamp.ModifiedSeconds = 1700000000;
    return archive;
}

LibrarySnapshot SnapshotOf(std::vector<std::shared_ptr<const LibraryArchive>> archives) {
    LibrarySnapshot snapshot;
    snapshot.Folder = "lib";
    snapshot.Listing.Listed = true;
    snapshot.Archives = std::move(archives);
    return snapshot;
}

TEST(FindArchive, TakesTheSegmentAsWrittenThenDecodedThenTheOneNameOfAnyCase) {
    auto broken = std::make_shared<LibraryArchive>(*Served("broken.pel", "broken"));
    broken->Problem = "holds no entries";
    const LibrarySnapshot snapshot =
        SnapshotOf({Served("Rust Book.pel", "R"), Served("a.pel", "a"), Served("A.pel", "A"),
                    Served("Python.pel", "P"), broken});
    const struct {
        std::string segment;
        std::string found;  // file name; empty: none
    } cases[] = {
        {"Rust%20Book", "Rust Book.pel"},
        {"Rust Book", "Rust Book.pel"},
        {"rust%20book", "Rust Book.pel"},
        {"a", "a.pel"},
        {"A", "A.pel"},
        {"python", "Python.pel"},
        {"broken", ""},
        {"missing", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const auto found = FindArchive(snapshot, c.segment);
        EXPECT_EQ(found ? found->File.FileName : "", c.found) << c.segment;
    }
}

// The library step: which requests are the library's own pages, which go to
// an archive and with what path, and what is not found.
TEST(ChooseSite, GivesTheLibraryItsOwnPathsAndEachArchiveThePathBelowItsName) {
    const auto snapshot = std::make_shared<const LibrarySnapshot>(
        SnapshotOf({Served("Rust Book.pel", "R"), Served("python.pel", "P")}));
    const struct {
        std::string path;
        bool search;
        std::string answer;  // "page:" and its type, "archive:" and its path, "search:", "missing"
    } cases[] = {
        {"/", false, "page:text/html; charset=utf-8"},
        {"", false, "page:text/html; charset=utf-8"},
        {"/index.html", false, "page:text/html; charset=utf-8"},
        {"/.pelorine/library.json", false, "page:application/json"},
        {"/.pelorine/search", true, "search:.pelorine/search"},
        {"/.pelorine/search.json", true, "search:.pelorine/search.json"},
        {"/.pelorine/search", false, "missing"},
        {"/python/index.html", false, "archive:python.pel /index.html"},
        {"/python", false, "archive:python.pel "},
        {"//python//a.html", false, "archive:python.pel //a.html"},
        {"/Rust%20Book/ch01.html", false, "archive:Rust Book.pel /ch01.html"},
        {"/python/.pelorine/search", true, "archive:python.pel /.pelorine/search"},
        {"/nothing/index.html", false, "missing"},
    };
    for (const auto& c : cases) {
        const SiteChoice choice = ChooseSite(snapshot, c.path, c.search);
        std::string answer = "missing";
        if (choice.Ready && choice.Ready->Kind == PageKind::Made) {
            answer = "page:" + choice.Ready->ContentType;
        } else if (choice.LibrarySearch) {
            answer = "search:" + choice.Path;
        } else if (choice.Archive != nullptr) {
            answer = "archive:" + choice.Archive->File.FileName + " " + choice.Path;
        }
        EXPECT_EQ(answer, c.answer) << c.path;
    }
}

TEST(NextSnapshot, TakesOverUnchangedArchivesAndLoadsChangedOnes) {
    FolderListing listing;
    listing.Listed = true;
    listing.Archives = {{"a.pel", {1, 10, 100, 0}}, {"b.pel", {2, 10, 100, 0}}};
    int loads = 0;
    const ArchiveLoader load = [&](const std::string&, const ArchiveFile& file) {
        ++loads;
        auto archive = std::make_shared<LibraryArchive>();
        archive->File = file;
        archive->Name = ArchiveNameOf(file.FileName);
        return archive;
    };
    const auto first = NextSnapshot(nullptr, "lib", listing, load);
    EXPECT_EQ(loads, 2);
    listing.Archives[1].Stamp.Id = 3;  // b replaced by a rename
    listing.Archives.push_back({"c.pel", {4, 10, 100, 0}});
    const auto second = NextSnapshot(first.get(), "lib", listing, load);
    EXPECT_EQ(loads, 4);
    ASSERT_EQ(second->Archives.size(), 3u);
    EXPECT_EQ(second->Archives[0], first->Archives[0]) << "an unchanged archive stays as it was";
    EXPECT_NE(second->Archives[1], first->Archives[1]);
    EXPECT_EQ(first->Archives[1]->File.Stamp.Id, 2u) << "the old snapshot is never changed";
}

TEST(StartPage, ListsEachArchiveEscapedWithItsFactsOrWhyItIsNotServed) {
    auto broken = std::make_shared<LibraryArchive>(*Served("bad<1>.pel", "bad<1>"));
    broken->Problem = "not an archive: shorter than its header";
    const LibrarySnapshot snapshot =
        SnapshotOf({Served("Rust Book.pel", "The <Rust> & \"Book\""), broken});
    const std::string html = StartPageHtml(snapshot, true);
    EXPECT_NE(html.find("<a href=\"/Rust%20Book/index.html\">The &lt;Rust&gt; &amp; "
                        "&quot;Book&quot;</a>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("3 entries · 1.5 KiB · changed 2023-11-14 22:13:20 UTC"), std::string::npos)
        << html;
    EXPECT_NE(html.find("<form action=\"/Rust%20Book/.pelorine/search\">"), std::string::npos);
    EXPECT_NE(html.find("<form action=\"/.pelorine/search\">"), std::string::npos);
    EXPECT_NE(html.find("<strong>bad&lt;1&gt;</strong>"), std::string::npos) << html;
    EXPECT_NE(html.find("Not served: not an archive: shorter than its header"), std::string::npos);
    EXPECT_EQ(html.find("/bad"), std::string::npos) << "no link to an archive not served";
    EXPECT_EQ(StartPageHtml(snapshot, false).find("<form"), std::string::npos);

    EXPECT_EQ(LibraryJson(snapshot),
              "{\"archives\":[{\"name\":\"Rust Book\",\"path\":\"/Rust%20Book/\",\"title\":"
              "\"The <Rust> & \\\"Book\\\"\",\"entries\":3,\"size\":1536,\"lastChange\":"
              "1700000000,\"served\":true,\"problem\":\"\"},{\"name\":\"bad<1>\",\"path\":"
              "\"/bad%3C1%3E/\",\"title\":\"bad<1>\",\"entries\":3,\"size\":1536,\"lastChange\":"
              "1700000000,\"served\":false,\"problem\":\"not an archive: shorter than its "
              "header\"}]}\n");
}

TEST(UtcTime, IsWrittenAsDateAndTime) {
    EXPECT_EQ(UtcTimeText(0), "1970-01-01 00:00:00 UTC");
    EXPECT_EQ(UtcTimeText(951782400), "2000-02-29 00:00:00 UTC");
    EXPECT_EQ(UtcTimeText(1700000000), "2023-11-14 22:13:20 UTC");
}

void WriteArchive(const std::string& path, const std::string& title) {
    ArchiveBuilder builder;
    builder.AddRaw("index.html", "<html><head><title>" + title + "</title></head><body>x</body>");
    builder.AddRaw("a.txt", "a");
    builder.WriteTo(path);
}

// The folder as a watch sees it: archives and their titles, the files that
// are not archives or cannot be read, and an archive replaced by a rename,
// which the snapshot already held keeps reading.
TEST(LiveLibrary, ServesEachArchiveAndSwapsAReplacedOneWhileTheOldSnapshotStillReadsItsFile) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "lib");
    WriteArchive(dir / "lib/one.pel", "First &amp; one");
    testing_support::WriteBytes(dir / "lib/notes.txt", "not an archive");
    testing_support::WriteBytes(dir / "lib/bad.PEL", "ab");
    std::vector<std::string> notes;
    LiveLibrary library(
        dir / "lib", false,
        [](const std::string& folder, const ArchiveFile& file) {
            return std::make_shared<const LibraryArchive>(LoadLibraryArchive(folder, file));
        },
        [&](const std::string& line) { notes.push_back(line); });
    library.Look();
    const auto before = library.Current();
    ASSERT_EQ(before->Archives.size(), 2u);
    EXPECT_EQ(before->Archives[0]->Problem, "not an archive: shorter than its header");
    EXPECT_EQ(before->Archives[1]->Title, "First & one");
    EXPECT_EQ(before->Archives[1]->EntryCount, 2u);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("'bad.PEL' is not served"), std::string::npos) << notes[0];

    library.Look();
    EXPECT_EQ(library.Current(), before) << "nothing changed, nothing swapped";

    WriteArchive(dir / "lib/new.tmp", "Second");
    std::filesystem::rename(dir / "lib/new.tmp", dir / "lib/one.pel");
    std::atomic<int> looks{0};
    {
        FolderWatch watch(std::chrono::milliseconds(10), [&] {
            library.Look();
            ++looks;
        });
        ASSERT_TRUE(watch.Running());
        for (int i = 0; i < 500 && library.Current() == before; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    const auto after = library.Current();
    ASSERT_NE(after, before);
    EXPECT_EQ(after->Archives[1]->Title, "Second");
    EXPECT_EQ(after->Archives[0], before->Archives[0]);
    EXPECT_EQ(before->Archives[1]->Title, "First & one");
    EXPECT_EQ(StartPageTitle(*before->Archives[1]->Archive), "First & one")
        << "the old file is still open and readable";

    std::filesystem::remove(dir / "lib/bad.PEL");
    library.Look();
    EXPECT_EQ(library.Current()->Archives.size(), 1u);
}

}  // namespace
