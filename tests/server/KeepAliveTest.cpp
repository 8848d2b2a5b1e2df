// When a persistent connection stays open after its response.
#include <gtest/gtest.h>

#include "WebServer/KeepAlive.h"

namespace {

TEST(KeepAlive, StaysOpenForHttp11WithoutCloseOrBodyBelowTheRequestLimit) {
    const std::tuple<std::string, unsigned, bool> cases[] = {
        {"GET / HTTP/1.1\n\n", 1, true},
        {"GET / HTTP/1.1\nConnection: keep-alive\n\n", 1, true},
        {"GET / HTTP/1.1\nConnection: close\n\n", 1, false},
        {"GET / HTTP/1.1\nConnection: Keep-Alive, CLOSE\n\n", 1, false},
        {"GET / HTTP/1.1\nConnection: keep-alive\nConnection: close\n\n", 1, false},
        {"GET / HTTP/1.1\nConnection: closed\n\n", 1, true},
        {"GET / HTTP/1.0\n\n", 1, false},
        {"GET / HTTP/1.0\nConnection: keep-alive\n\n", 1, false},
        {"GET / HTTP/1.1 extra\n\n", 1, false},
        {"GET /\n\n", 1, false},
        {"GET / HTTP/1.1\nContent-Length: 0\n\n", 1, true},
        {"GET / HTTP/1.1\nContent-Length: 5\n\n", 1, false},
        {"GET / HTTP/1.1\nTransfer-Encoding: chunked\n\n", 1, false},
        {"GET / HTTP/1.1\n\n", kMaxRequestsPerConnection - 1, true},
        {"GET / HTTP/1.1\n\n", kMaxRequestsPerConnection, false},
    };
    for (const auto& [head, answered, open] : cases) {
        EXPECT_EQ(StaysOpenAfter(ParseRequestHead(head), answered), open) << head << answered;
    }
}

TEST(KeepAlive, TheHeadEndsWhereTheNextRequestBegins) {
    const std::string two = "GET /a HTTP/1.1\r\nHost: x\r\n\r\nGET /b HTTP/1.1\r\n\r\n";
    std::string head;
    size_t used = 0;
    ASSERT_EQ(AppendToRequestHead(head, two.data(), two.size(), &used), HeadProgress::Complete);
    EXPECT_EQ(head, "GET /a HTTP/1.1\nHost: x\n\n");
    EXPECT_EQ(two.substr(used), "GET /b HTTP/1.1\r\n\r\n");
}

}  // namespace
