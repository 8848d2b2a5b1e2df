// Page resolution against loaded tables, through the server's own route and
// loader: normalisation, lookup, content types, raw and compressed entries,
// and damaged or hostile entries.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Platform/FaultInjection.h"
#include "Shared/AnsiText.h"
#include "Shared/ArchiveLayout.h"
#include "WebServer/ContentTypes.h"
#include "WebServer/PageResolution.h"
#include "WebServer/RequestLine.h"
#include "tests/server/ServedPage.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/Loaded.h"
#include "tests/support/TestFiles.h"

using namespace server_testing;
using testing_support::CompressibleText;
using testing_support::RandomBytes;
using testing_support::TempDir;

namespace {

const std::string kNotFound = "Cannot find the specified page: ";
const std::string kDamaged = "Cannot read the specified page from the archive: ";

LoadedArchive Load(const ArchiveBuilder& builder, const TempDir& dir) {
    builder.WriteTo(dir / "test.pel");
    return Loaded(dir / "test.pel");
}

// The page served for a GET of `path` by a server of its own over `archive`.
ServedPage ServeAlone(const LoadedArchive& archive, const std::string& path) {
    TestSite site(archive);
    return Serve(site.Get(), path);
}

void ExpectPage(const ServedPage& page, const std::string& body, const std::string& contentType,
                const std::string& what) {
    EXPECT_EQ(page.Body, body) << what;
    EXPECT_EQ(page.Body.size(), body.size()) << what;
    EXPECT_EQ(page.ContentType, contentType) << what;
}

class LoadedTable : public ::testing::Test {
  protected:
    void SetUp() override {
        builder.AddRaw("index.htm", "<p>home</p>");
        builder.AddCompressed("Docs/A.htm", docsA);
        builder.AddRaw("docs/a.htm", "the second of two names that differ in case");
        builder.AddRaw("empty.css", "");
        builder.AddRaw("my page.htm", "spaced");
        builder.AddRaw("page.htm#2", "hash in the name");
        builder.AddRaw("\xC4x.htm", "capital A umlaut in Latin-1");
        // PackedSize equal to and larger than UnpackedSize: read as stored.
        builder.AddRecord("equal.txt", 5, 5, builder.AddData("fives"));
        builder.AddRecord("larger.txt", 3, 900, builder.AddData("abc"));
        archive = Load(builder, dir);
    }

    const std::string docsA = CompressibleText(5000);
    ArchiveBuilder builder;
    TempDir dir;
    LoadedArchive archive;
};

TEST(NormalizePath, RemovesOuterSlashesAndTurnsBackslashesOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"/", ""},
        {"///", ""},
        {"\\", ""},
        {"/docs//a.htm/", "docs//a.htm"},
        {"\\docs\\a.htm", "docs/a.htm"},
        {"//docs/a.htm//", "docs/a.htm"},
        {"/x/../docs/a.htm", "x/../docs/a.htm"},
        {"/my%20page.htm", "my%20page.htm"},
        {"/A+B.HTM", "A+B.HTM"},
    };
    for (const auto& [path, normalized] : cases) EXPECT_EQ(NormalizePath(path), normalized) << path;
}

TEST(ContentTypes, ChoosesByExtensionWithoutRegardToAsciiCase) {
    const std::pair<std::string, std::string> cases[] = {
        {"a.htm", "text/html"},
        {"a.HTML", "text/html"},
        {"a.jpeg", "image/jpeg"},
        {"photo.JPG", "image/jpg"},
        {"a.gif", "image/gif"},
        {"a.Png", "image/png"},
        {"a.bmp", "image/bmp"},
        {"a.js", "application/x-javascript"},
        {"a.css", "text/css"},
        {"a.midi", "audio/midi"},
        {"song.Mid", "audio/midi"},
        {"a.xml", "application/xml"},
        {"a.swf", "application/x-shockwave-flash"},
        {"a.pdf", "application/pdf"},
        {"a.ps", "application/postscript"},
        {"a.mp3", "audio/mpeg"},
        {"a.wav", "audio/wav"},
        {"data.tar.gz", "application/x-gzip"},
        {"a.TGZ", "application/x-gzip"},
        {"a.zip", "application/zip"},
        {"README", "*/*"},
        {"docs.old/readme", "*/*"},
        {"a.htm:x", "*/*"},
        {"a\\b", "*/*"},
        {"page.htm#2", "text/html"},
        {"page.css?v=2", "text/css"},
        {"a.txt", "*/*"},
        {"a.", "*/*"},
        {"a.h\xD4m", "*/*"},
    };
    for (const auto& [path, type] : cases)
        EXPECT_EQ(ContentTypeOf(PageExtension(path)), type) << path;
    EXPECT_EQ(PageExtension("docs.old/readme"), ".old/readme");
    EXPECT_EQ(PageExtension("a.b?c#d"), ".b");
    EXPECT_EQ(PageExtension("a:b"), "");
}

TEST(RequestLine, SplitsAtTheFirstTwoSpacesAndTheFirstQuestionMark) {
    struct Case {
        std::string line, method, target, version;
    };
    const Case cases[] = {
        {"GET /a HTTP/1.1", "GET", "/a", "HTTP/1.1"},
        {"GET /a HTTP/1.0 extra", "GET", "/a", "HTTP/1.0 extra"},
        {"GET  /a HTTP/1.0", "GET", "", "/a HTTP/1.0"},
        {"GET /x", "GET", "", ""},
        {"GET", "", "", ""},
        {"", "", "", ""},
        {" / HTTP/1.0", "", "/", "HTTP/1.0"},
        {"GET /a\tb HTTP/1.0", "GET", "/a\tb", "HTTP/1.0"},
    };
    for (const Case& c : cases) {
        const RequestLine parts = SplitRequestLine(c.line);
        EXPECT_EQ(parts.Method, c.method) << c.line;
        EXPECT_EQ(parts.Target, c.target) << c.line;
        EXPECT_EQ(parts.Version, c.version) << c.line;
    }
    EXPECT_EQ(SplitTarget("/a?x=1&y=2?z").Path, "/a");
    EXPECT_EQ(SplitTarget("/a?x=1&y=2?z").Query, "x=1&y=2?z");
    EXPECT_EQ(SplitTarget("/a").Path, "/a");
    EXPECT_EQ(SplitTarget("?").Path, "");
}

TEST_F(LoadedTable, FindsTheFirstEntryWhateverTheAsciiCaseAndSlashes) {
    for (const std::string path :
         {"/docs/a.htm", "docs/a.htm", "\\docs\\a.htm", "//docs/a.htm//", "/DOCS/A.HTM"}) {
        ExpectPage(ServeAlone(archive, path), docsA, "text/html", path);
    }
    EXPECT_EQ(FindEntry(archive, "docs/a.htm").Index, 1u);
    ExpectPage(ServeAlone(archive, "/Index.HTM"), "<p>home</p>", "text/html", "Index.HTM");
    ExpectPage(ServeAlone(archive, "/page.htm#2"), "hash in the name", "text/html", "page.htm#2");
    ExpectPage(ServeAlone(archive, "/\xC4X.HTM"), "capital A umlaut in Latin-1", "text/html",
               "latin-1");
}

TEST_F(LoadedTable, AnswersMissesWithTheNotFoundText) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"/", ""},
        {"///", ""},
        {"/Docs/Missing.HTM", "Docs/Missing.HTM"},
        {"/my%20page.htm", "my%20page.htm"},
        {"/docs//a.htm", "docs//a.htm"},
        {"/x/../docs/a.htm", "x/../docs/a.htm"},
        {"/\xE4x.htm", "\xE4x.htm"},  // letters beyond ASCII keep their case
        {"/index.htm/x", "index.htm/x"},
    };
    for (const auto& [path, shown] : cases) {
        ExpectPage(ServeAlone(archive, path), kNotFound + shown, "text/plain", path);
    }
    EXPECT_EQ(ServeAlone(archive, "/Docs/Missing.HTM").Body.size(), 48u);
    EXPECT_EQ(FindEntry(archive, "missing").Index, archive.Entries.size());
    EXPECT_FALSE(FindEntry(archive, "missing").Found);
}

TEST_F(LoadedTable, ReadsEmptyAndOversizedPackedEntriesAsStored) {
    ExpectPage(ServeAlone(archive, "/empty.css"), "", "text/css", "empty");
    ExpectPage(ServeAlone(archive, "/equal.txt"), "fives", "*/*", "equal");
    ExpectPage(ServeAlone(archive, "/larger.txt"), "abc", "*/*", "larger");
}

TEST_F(LoadedTable, ServesConcurrentReadersTheirOwnEntries) {
    TestSite site(archive);
    std::vector<std::thread> readers;
    std::vector<int> wrong(8, 0);
    for (int t = 0; t < 8; ++t) {
        readers.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                if (Serve(site.Get(), (i + t) % 2 ? "/docs/a.htm" : "/index.htm").Body !=
                    ((i + t) % 2 ? docsA : "<p>home</p>")) {
                    ++wrong[t];
                }
            }
        });
    }
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(wrong, std::vector<int>(8, 0));
}

TEST(EmptyName, IsFoundByTheEmptyPath) {
    TempDir dir;
    ArchiveBuilder builder;
    builder.AddRaw("", "nameless");
    const LoadedArchive archive = Load(builder, dir);
    ExpectPage(ServeAlone(archive, "/"), "nameless", "*/*", "/");
}

// What the body holds where the stream or the read fell short: zeros, never
// leftovers, and never more than UnpackedSize bytes written.
TEST(DamagedEntries, KeepTheirLengthAndFillWhatWasNotDeliveredWithZeros) {
    TempDir dir;
    ArchiveBuilder builder;
    const std::string text = CompressibleText(20000);
    const std::string stream = Compress(text);
    // The stream cut in half.
    builder.AddRecord("cut.htm", 20000, static_cast<uint32_t>(stream.size() / 2),
                      builder.AddData(stream.substr(0, stream.size() / 2)));
    // A stream that would write twice the body it is given.
    builder.AddRecord("overrun.htm", 10000, static_cast<uint32_t>(stream.size()),
                      builder.AddData(stream));
    // Bytes that are no stream at all.
    builder.AddRecord("noise.htm", 5000, 1000, builder.AddData(RandomBytes(1000, 7)));
    builder.AddRaw("raw.htm", text);
    const LoadedArchive archive = Load(builder, dir);

    for (const char* name : {"/cut.htm", "/overrun.htm", "/raw.htm"}) {
        ServedPage page = ServeAlone(archive, name);
        const size_t expected = std::string(name) == "/overrun.htm" ? 10000 : 20000;
        ASSERT_EQ(page.Body.size(), expected) << name;
        // The text holds no NUL: what was delivered is a prefix of it, zeros follow.
        const size_t delivered = std::min(page.Body.find('\0'), page.Body.size());
        EXPECT_GT(delivered, 0u) << name;
        EXPECT_EQ(page.Body.substr(0, delivered), text.substr(0, delivered)) << name;
        EXPECT_EQ(page.Body.find_first_not_of('\0', delivered), std::string::npos) << name;
    }
    EXPECT_EQ(ServeAlone(archive, "/noise.htm").Body.size(), 5000u);

    // A read that stops early, as from a file that shrank.
    platform::FaultInjection::SetReadLimit(1000, 1);
    const ServedPage shortRead = ServeAlone(archive, "/raw.htm");
    platform::FaultInjection::Reset();
    EXPECT_EQ(shortRead.Body.substr(0, 1000), text.substr(0, 1000));
    EXPECT_EQ(shortRead.Body.find_first_not_of('\0', 1000), std::string::npos);
}

// Entries whose recorded sizes the archive cannot back are not read: no
// allocation of memory that could never be filled.
TEST(HostileEntries, AreAnsweredWithTheDamagedTextInsteadOfBeingRead) {
    TempDir dir;
    ArchiveBuilder builder;
    const uint32_t small = builder.AddData(CompressibleText(3000));
    const std::string stream = Compress(std::string(1 << 20, '\0'));
    const uint32_t zeros = builder.AddData(stream);
    builder.AddRecord("offset-2g.htm", 10, 0, 0x80000000u);
    builder.AddRecord("offset-max.htm", 10, 0, 0xFFFFFFFFu);
    builder.AddRecord("size-2g.htm", 0x80000000u, 0, small);
    builder.AddRecord("size-max.htm", 0xFFFFFFFFu, 0, small);
    builder.AddRecord("packed-size-max.htm", 0xFFFFFFFFu, 100, small);
    builder.AddRecord("past-end.htm", 1000000, 0, small);
    builder.AddRecord("starts-past-end.htm", 10, 0, 0x7FFFFFF0u);
    builder.AddRecord("stream-past-end.htm", 2000000, 1000000, small);
    // More than any LZO1X stream of this length could yield.
    builder.AddRecord("ratio.htm", 300 * 100, 100, small);
    // A real stream of a megabyte of zeros, near the largest ratio: served.
    builder.AddRecord("zeros.bin", 1 << 20, static_cast<uint32_t>(stream.size()), zeros);
    const LoadedArchive archive = Load(builder, dir);

    for (const char* name :
         {"offset-2g.htm", "offset-max.htm", "size-2g.htm", "size-max.htm", "packed-size-max.htm",
          "past-end.htm", "starts-past-end.htm", "stream-past-end.htm", "ratio.htm"}) {
        ExpectPage(ServeAlone(archive, name), kDamaged + name, "text/plain", name);
    }
    ExpectPage(ServeAlone(archive, "zeros.bin"), std::string(1 << 20, '\0'), "*/*", "zeros");
}

// The first entry in table order whose name equals the key without regard to
// ASCII case, found the slow way: what FindEntry's index must agree with.
uint32_t ScanForEntry(const LoadedArchive& archive, const std::string& key) {
    const auto count = static_cast<uint32_t>(archive.Entries.size());
    for (uint32_t index = 0; index < count; ++index) {
        if (AsciiLower(std::string(archive.Entries[index].Name)) == AsciiLower(key)) return index;
    }
    return count;
}

TEST(EntryIndex, AgreesWithAScanOfTheTable) {
    const std::vector<std::string> special = {
        "Index.html", "index.HTML", "index.html",  // differ only in case
        "dup",        "dup",                       // exact duplicates
        "\xC4x.htm",  "\xE4x.htm",  "\xE4X.htm",   // bytes above 0x7F keep their case
        "",           "a/b/c",      "A/B/C",
    };
    std::vector<std::string> names = special;
    for (size_t i = names.size(); names.size() + 2 < kMaxEntries; ++i) {
        names.push_back("f/" + std::to_string(i));
    }
    names.push_back("LAST");
    names.push_back("last");  // fills the table
    TempDir dir;
    ArchiveBuilder builder;
    const uint32_t offset = builder.AddData("x");
    for (const std::string& name : names) builder.AddRecord(name, 1, 0, offset);
    const LoadedArchive archive = Load(builder, dir);
    ASSERT_EQ(archive.Entries.size(), kMaxEntries);

    std::vector<std::string> keys = {
        "INDEX.HTML", "Dup",  "\xC4X.HTM", "\xE4x.HTM", "\xC4x.htm",
        "\xE4X.htm",  "\xC4", "",          "a/B/c",     "Last",
        "missing",    "f/",   "F/100",     "f/100 ",    std::string("dup\0", 4)};
    for (size_t i = 0; i < names.size(); i += 4099) keys.push_back(names[i]);
    for (const std::string& key : keys) {
        const EntryMatch match = FindEntry(archive, key);
        const uint32_t expected = ScanForEntry(archive, key);
        EXPECT_EQ(match.Index, expected) << key;
        EXPECT_EQ(match.Found, expected < archive.Entries.size()) << key;
    }
}

}  // namespace
