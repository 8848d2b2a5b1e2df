// The socket layer's two Linux differences: binding over TIME_WAIT (but not
// over a live listener), and sends to a vanished peer without SIGPIPE.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "Platform/Socket.h"
#include "tests/server/ServerTestSupport.h"

using namespace std::chrono_literals;

namespace {

struct Listener {
    platform::Socket socket = platform::CreateStreamSocket();
    ~Listener() { platform::CloseSocket(socket); }
};

// A listener on a port the system picks, and its port.
uint16_t ListenOnFreePort(Listener& listener) {
    EXPECT_TRUE(platform::BindAllInterfaces(listener.socket, 0));
    EXPECT_TRUE(platform::Listen(listener.socket, 8));
    return platform::LocalPort(listener.socket);
}

// A loopback connection: the client's end and the end the listener accepted.
struct Connection {
    int client = -1;
    platform::Socket accepted = platform::kInvalidSocket;
};

Connection Connect(Listener& listener) {
    Connection connection;
    connection.client = server_testing::ConnectTo(ListenOnFreePort(listener), 5s);
    EXPECT_GE(connection.client, 0);
    connection.accepted = platform::Accept(listener.socket);
    EXPECT_NE(connection.accepted, platform::kInvalidSocket);
    return connection;
}

TEST(Socket, BindsOverTimeWaitButNotOverALiveListener) {
    uint16_t port;
    {
        Listener first;
        const auto [client, accepted] = Connect(first);
        port = platform::LocalPort(first.socket);
        // The server side closes first, so its end lingers in TIME_WAIT.
        platform::ShutdownSending(accepted);
        char byte;
        EXPECT_EQ(recv(client, &byte, 1, 0), 0);
        platform::CloseSocket(accepted);
        close(client);
    }
    Listener second;
    ASSERT_TRUE(platform::BindAllInterfaces(second.socket, port));
    ASSERT_TRUE(platform::Listen(second.socket, 8));
    Listener third;
    EXPECT_FALSE(platform::BindAllInterfaces(third.socket, port));
}

TEST(Socket, SendsToAVanishedPeerFailWithoutSigpipe) {
    Listener listener;
    const auto [client, accepted] = Connect(listener);
    close(client);
    const std::string chunk(64 * 1024, 'x');
    long result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
        result = platform::Send(accepted, chunk.data(), chunk.size());
    }
    EXPECT_EQ(result, -1);  // still running: no SIGPIPE
    platform::CloseSocket(accepted);
}

TEST(Socket, WaitsAreBoundedAndSeeArrivals) {
    Listener listener;
    const auto [client, accepted] = Connect(listener);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::WaitReadable(accepted, 100), platform::WaitResult::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(platform::WaitWritable(accepted, 100), platform::WaitResult::Ready);
    ASSERT_TRUE(server_testing::SendAll(client, "hi"));
    EXPECT_EQ(platform::WaitReadable(accepted, 1000), platform::WaitResult::Ready);
    char buffer[8];
    EXPECT_EQ(platform::Receive(accepted, buffer, sizeof buffer), 2);
    close(client);
    EXPECT_EQ(platform::WaitReadable(accepted, 1000), platform::WaitResult::Ready);
    EXPECT_EQ(platform::Receive(accepted, buffer, sizeof buffer), 0);
    platform::CloseSocket(accepted);
}

}  // namespace
