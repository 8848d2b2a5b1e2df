// What a body puts on the wire after its header: the exact bytes of a stretch
// of the archive file, with zeros for any part the file no longer holds (as a
// page read whole always had), and the same for a part of a body.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "Platform/File.h"
#include "WebServer/BodySender.h"
#include "tests/support/TestFiles.h"

using testing_support::RandomBytes;
using testing_support::TempDir;

namespace {

// Sends `header` and `body` through a connected pair of sockets and returns
// what arrived.
std::string Sent(const std::string& header, const ResponseBody& body) {
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    std::string received;
    std::thread reader([&] {
        char buffer[65536];
        for (ssize_t got; (got = read(ends[1], buffer, sizeof buffer)) > 0;) {
            received.append(buffer, static_cast<size_t>(got));
        }
    });
    BodySender sender;
    uint64_t sent = 0;
    while (sent < header.size() + body.Size) {
        const std::string_view rest =
            sent < header.size() ? std::string_view(header).substr(sent) : std::string_view();
        const long put =
            sender.Send(ends[0], rest, body, sent < header.size() ? 0 : sent - header.size());
        if (put < 1) break;
        sent += static_cast<uint64_t>(put);
    }
    close(ends[0]);
    reader.join();
    close(ends[1]);
    return received;
}

SharedBody MemoryOf(const std::string& text) {
    auto bytes = std::make_shared_for_overwrite<char[]>(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    return {std::move(bytes), text.size()};
}

TEST(BodySender, SendsTheFilesBytesAndZerosWhereTheFileEnds) {
    TempDir dir;
    const std::string content = RandomBytes(300 * 1024, 3);
    testing_support::WriteBytes(dir / "archive", content);
    const platform::FileHandle file = platform::OpenForReading(dir / "archive");
    ASSERT_NE(file, platform::kInvalidFile);
    struct Case {
        const char* name;
        uint64_t offset;
        uint64_t size;
        std::string expected;
    };
    const Case cases[] = {
        {"inside the file", 1000, 200 * 1024, content.substr(1000, 200 * 1024)},
        {"to the file's end", 100 * 1024, 200 * 1024, content.substr(100 * 1024)},
        {"past the file's end", 250 * 1024, 400 * 1024,
         content.substr(250 * 1024) + std::string(350 * 1024, '\0')},
        {"wholly past the end", 400 * 1024, 70 * 1024, std::string(70 * 1024, '\0')},
        {"empty", 5, 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sent("HEADER", ResponseBody::FromFile(file, c.offset, c.size)),
                  "HEADER" + c.expected)
            << c.name;
    }
    const ResponseBody whole = ResponseBody::FromFile(file, 0, content.size());
    EXPECT_EQ(Sent("", whole.Part(5000, 70000)), content.substr(5000, 70000)) << "a file's part";
    const std::string text = "0123456789";
    EXPECT_EQ(Sent("H", ResponseBody::InMemory(MemoryOf(text)).Part(3, 4)), "H3456")
        << "a part in memory";
    EXPECT_EQ(Sent("H", ResponseBody::InMemory(MemoryOf(text)).Part(8, 10)), "H89")
        << "a part clamped to the body";
    platform::CloseFile(file);
}

}  // namespace
