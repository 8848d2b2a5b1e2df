// A thousand entries, compressed and raw, fetched concurrently while a reader
// that shares no code with the program decodes the same archive: every body
// the server sends equals both its source file and what that reader decodes,
// and the archive is laid out exactly as its layout says.
#include <gtest/gtest.h>

#include <future>
#include <map>

#include "Shared/ArchiveLayout.h"
#include "WebServer/ContentTypes.h"
#include "tests/reliability/IndependentArchiveReader.h"
#include "tests/reliability/PeerCrowd.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using namespace reliability;
using namespace std::chrono_literals;
using server_testing::CompileTree;
using server_testing::ExpectedResponse;
using server_testing::StartServer;
using testing_support::CompressibleText;
using testing_support::RandomBytes;
using testing_support::TempDir;

namespace {

constexpr size_t kEntries = 1000;
constexpr size_t kAtOnce = 250;

// Text that shrinks, noise that does not, text under extensions that are
// stored as they are, and sizes around the send piece and zero; spread over
// folders two levels deep.
std::map<std::string, std::string> Files() {
    static const char* const kTextKinds[] = {".html", ".css", ".js", ".txt", ".xml"};
    static const char* const kNoiseKinds[] = {".bin", ".jpg", ".png", ".pdf"};
    std::map<std::string, std::string> files;
    for (size_t i = 0; i < kEntries; ++i) {
        const std::string folder = "f" + std::to_string(i % 7) + "/g" + std::to_string(i % 3) + "/";
        const size_t size = i % 50 == 0 ? i % 3 * 1509 + i % 2 : (i * 7919) % 60000;
        std::string name;
        std::string content;
        switch (i % 4) {
            case 0:
            case 1:
                name = "page" + std::to_string(i) + kTextKinds[i % 5];
                content = CompressibleText(size) + std::to_string(i);
                break;
            case 2:
                name = "blob" + std::to_string(i) + kNoiseKinds[i % 4];
                content = RandomBytes(size, static_cast<unsigned>(i));
                break;
            default:
                name = "Packed" + std::to_string(i) + ".GIF";
                content = CompressibleText(size);
                break;
        }
        files[folder + name] = content;
    }
    return files;
}

struct Decoded {
    std::map<std::string, std::string> contents;
    std::vector<std::string> problems;
    size_t compressed = 0;
    size_t raw = 0;
};

// The program's own parser of the index, given the bytes from the header's
// offset, reads every whole record as the independent reader does, and no
// more records than it when the layout is sound.
void ExpectParseIndexAgrees(const std::string& archive, const independent::ArchiveReader& reader,
                            const std::string& what) {
    if (archive.size() < kHeaderSize) return;
    const uint32_t offset = ParseHeader(archive);
    if (offset > archive.size()) return;
    const ParsedIndex parsed = ParseIndex(std::string_view(archive).substr(offset));
    const auto& records = reader.records();
    ASSERT_GE(parsed.Entries.size(), records.size()) << what;
    if (reader.problems().empty()) {
        EXPECT_EQ(parsed.Entries.size(), records.size()) << what;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const EntryView entry = parsed.Entries[i];
        EXPECT_EQ(entry.Name, records[i].name) << what << ", record " << i;
        EXPECT_EQ(entry.UnpackedSize, records[i].unpackedSize) << what << ", record " << i;
        EXPECT_EQ(entry.PackedSize, records[i].packedSize) << what << ", record " << i;
        EXPECT_EQ(entry.DataOffset, records[i].dataOffset) << what << ", record " << i;
    }
}

Decoded DecodeIndependently(const std::string& archive) {
    const auto reader = independent::ArchiveReader::FromFile(archive);
    Decoded decoded;
    decoded.problems = reader.problems();
    for (const auto& record : reader.records()) {
        std::string content, problem;
        if (!reader.Decode(record, content, problem)) {
            decoded.problems.push_back(record.name + ": " + problem);
        }
        if (!decoded.contents.emplace(record.name, content).second) {
            decoded.problems.push_back(record.name + ": named twice");
        }
        ++(record.compressed() ? decoded.compressed : decoded.raw);
    }
    return decoded;
}

// The reader must itself tell a sound layout from a damaged one, or agreeing
// with it proves nothing.
struct ReaderCase {
    const char* what;
    std::string archive;
    const char* problem;  // in the first problem reported; empty: none
};

std::string Le32(uint32_t value) {
    return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
            static_cast<char>(value >> 24)};
}

std::string Record(uint32_t unpacked, uint32_t packed, uint32_t offset, const std::string& name) {
    return Le32(unpacked) + Le32(packed) + Le32(offset) + static_cast<char>(name.size()) + '\0' +
           name;
}

TEST(IndependentReader, TellsTheLayoutFromDamage) {
    const std::string gif = "GIF";
    const ReaderCase cases[] = {
        {"no entries", Le32(4), ""},
        {"one raw entry", Le32(7) + gif + Record(3, 0, 4, "a.gif"), ""},
        {"too short", std::string("\x04\0", 2), "shorter than the header"},
        {"index past the end", Le32(9) + gif, "outside the file"},
        {"a gap before the data", Le32(8) + "x" + gif + Record(3, 0, 5, "a.gif"), "expected at 4"},
        {"data over the index", Le32(7) + gif + Record(4, 0, 4, "a.gif"), "runs into the index"},
        {"packed not smaller", Le32(7) + gif + Record(3, 3, 4, "a.gif"), "not below"},
        {"a record cut short", Le32(7) + gif + Record(3, 0, 4, "a.gif").substr(0, 10), "cut short"},
        {"a name cut short", Le32(7) + gif + Record(3, 0, 4, "a.gif").substr(0, 17), "cut short"},
    };
    for (const auto& c : cases) {
        const independent::ArchiveReader reader(c.archive);
        ExpectParseIndexAgrees(c.archive, reader, c.what);
        const std::string first = reader.problems().empty() ? "" : reader.problems().front();
        if (*c.problem == '\0') {
            EXPECT_EQ(first, "") << c.what;
        } else {
            EXPECT_NE(first.find(c.problem), std::string::npos) << c.what << ": " << first;
        }
    }

    // A stream that decodes, the same cut short, and one followed by a byte
    // of its own.
    const std::string content = CompressibleText(5000);
    const std::string stream = server_testing::Compress(content);
    const auto size = static_cast<uint32_t>(stream.size());
    const struct {
        std::string stored;
        bool decodes;
    } streams[] = {{stream, true}, {stream.substr(0, size - 1), false}, {stream + "x", false}};
    for (const auto& s : streams) {
        const auto stored = static_cast<uint32_t>(s.stored.size());
        const independent::ArchiveReader reader(Le32(4 + stored) + s.stored +
                                                Record(5000, stored, 4, "p.html"));
        ASSERT_EQ(reader.problems(), std::vector<std::string>{});
        std::string decoded, problem;
        EXPECT_EQ(reader.Decode(reader.records().at(0), decoded, problem), s.decodes) << stored;
        if (s.decodes) {
            EXPECT_EQ(decoded, content);
        }
    }
}

TEST(Entries, AThousandServedConcurrentlyEqualTheirSourceAndAnIndependentDecoding) {
    RaiseOwnDescriptorLimit();
    TempDir dir;
    const auto files = Files();
    const std::string archive = dir / "site.pel";
    CompileTree(files, dir / "site", archive);
    const uint16_t port = StartServer(archive);
    ASSERT_NE(port, 0);

    std::vector<PeerPlan> plans;
    std::vector<const std::string*> names;
    for (const auto& [name, content] : files) {
        plans.push_back(
            {PeerKind::Good, "GET /" + name + " HTTP/1.1\r\n\r\n",
             ExpectedResponse("HTTP/1.1", ContentTypeOf(PageExtension(name)), content)});
        names.push_back(&name);
    }
    auto decoding = std::async(std::launch::async, DecodeIndependently, archive);
    CrowdFigures figures;
    const auto outcomes = RunCrowd(port, plans, {kAtOnce, 0ms, 60s}, figures);
    const Decoded decoded = decoding.get();
    const std::string bytes = testing_support::ReadBytes(archive);
    ExpectParseIndexAgrees(bytes, independent::ArchiveReader(bytes), "the compiled archive");

    for (const auto& problem : decoded.problems) ADD_FAILURE() << problem;
    EXPECT_EQ(decoded.contents.size(), files.size());
    EXPECT_GE(decoded.compressed, kEntries / 3);
    EXPECT_GE(decoded.raw, kEntries / 3);
    int faults = 0;
    for (size_t i = 0; i < plans.size(); ++i) {
        const std::string& name = *names[i];
        const std::string& source = files.at(name);
        const auto found = decoded.contents.find(name);
        const std::string served = outcomes[i].received.substr(
            std::min(outcomes[i].received.size(), plans[i].expected.size() - source.size()));
        const bool sound = Judge(plans[i], outcomes[i]).empty() && served == source &&
                           found != decoded.contents.end() && found->second == source;
        if (!sound && ++faults <= 20) {
            ADD_FAILURE() << name << ": " << Judge(plans[i], outcomes[i])
                          << (found == decoded.contents.end() ? " (not in the index)"
                              : found->second != source       ? " (decodes to other bytes)"
                                                              : "");
        }
    }
    EXPECT_EQ(faults, 0);
    std::printf("%zu entries (%zu compressed, %zu raw) served %zu at once in %lld ms\n",
                decoded.contents.size(), decoded.compressed, decoded.raw, figures.peakOpen,
                static_cast<long long>(figures.elapsed.count()));
}

}  // namespace
