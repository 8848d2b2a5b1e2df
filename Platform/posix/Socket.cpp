#include "Platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace platform {
namespace {

// poll rather than select: select cannot watch a descriptor numbered 1024 or
// above, and a busy server holds more connections than that.
// A signal cuts the wait short; it resumes for the time that is left.
WaitResult WaitFor(Socket socket, short events, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        pollfd entry{socket, events, 0};
        int result = poll(&entry, 1, milliseconds);
        if (result > 0) return WaitResult::Ready;
        if (result == 0) return WaitResult::TimedOut;
        if (errno != EINTR) return WaitResult::Failed;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return WaitResult::TimedOut;
        milliseconds = static_cast<int>(left.count());
    }
}

}  // namespace

Socket CreateStreamSocket() {
    return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

bool BindAllInterfaces(Socket socket, uint16_t port) {
    // Linux refuses a bind while connections of an earlier run linger in
    // TIME_WAIT on the port; this option lifts only that refusal.
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool Listen(Socket socket, int backlog) {
    return listen(socket, backlog) == 0;
}

Socket Accept(Socket listener) {
    for (;;) {
        Socket accepted = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0 || errno != EINTR) return accepted;
    }
}

Socket AcceptNonBlocking(Socket listener) {
    for (;;) {
        Socket accepted = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (accepted >= 0 || errno != EINTR) return accepted;
    }
}

bool ConnectionAborted() {
    return errno == ECONNABORTED || errno == EPROTO || errno == EINTR;
}

bool MakeNonBlocking(Socket socket) {
    const int flags = fcntl(socket, F_GETFL);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

WaitResult WaitReadable(Socket socket, int milliseconds) {
    return WaitFor(socket, POLLIN, milliseconds);
}

WaitResult WaitWritable(Socket socket, int milliseconds) {
    return WaitFor(socket, POLLOUT, milliseconds);
}

long Receive(Socket socket, void* buffer, size_t count) {
    for (;;) {
        ssize_t got = recv(socket, buffer, count, 0);
        if (got >= 0 || errno != EINTR) return got;
    }
}

long Send(Socket socket, const void* buffer, size_t count, bool moreFollows) {
    const int flags = MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0);
    for (;;) {
        ssize_t put = send(socket, buffer, count, flags);
        if (put >= 0 || errno != EINTR) return put;
    }
}

long SendTwo(Socket socket, const void* first, size_t firstCount, const void* second,
             size_t secondCount, bool moreFollows) {
    iovec parts[2] = {{const_cast<void*>(first), firstCount},
                      {const_cast<void*>(second), secondCount}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    for (;;) {
        ssize_t put = sendmsg(socket, &message, MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0));
        if (put >= 0 || errno != EINTR) return put;
    }
}

void ShutdownSending(Socket socket) {
    shutdown(socket, SHUT_WR);
}

void CloseSocket(Socket socket) {
    if (socket != kInvalidSocket) close(socket);
}

uint16_t LocalPort(Socket socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

void SendAtOnce(Socket socket) {
    int on = 1;
    (void)setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::string PeerAddress(Socket socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return {};
    return text;
}

}  // namespace platform
