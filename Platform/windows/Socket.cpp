#include "Platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <string>

#include "Platform/windows/WindowsText.h"

namespace platform {
namespace {

// Winsock must be started once before the first socket; it stays started for
// the life of the process, as sockets may outlive any one caller.
bool WinsockReady() {
    static const bool ready = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

// The last failed socket call's Winsock code on this thread, for WouldBlock.
thread_local int lastSocketError = 0;

void RecordSocketError() {
    lastSocketError = WSAGetLastError();
    windows::RecordError(static_cast<DWORD>(lastSocketError));
}

// A handle inherited by a child process (the browser the shell starts, say)
// would keep the port or a connection open after this program ends.
void KeepFromChildren(Socket socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

int ClampedCount(size_t count) {
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

WaitResult WaitFor(Socket socket, short events, int milliseconds) {
    WSAPOLLFD entry{};
    entry.fd = socket;
    entry.events = events;
    const int result = WSAPoll(&entry, 1, milliseconds);
    if (result > 0) return WaitResult::Ready;
    if (result == 0) return WaitResult::TimedOut;
    RecordSocketError();
    return WaitResult::Failed;
}

}  // namespace

Socket CreateStreamSocket() {
    if (!WinsockReady()) {
        windows::RecordError(WSANOTINITIALISED);
        return kInvalidSocket;
    }
    const SOCKET created = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (created == INVALID_SOCKET) {
        RecordSocketError();
        return kInvalidSocket;
    }
    KeepFromChildren(created);
    return created;
}

bool BindAllInterfaces(Socket socket, uint16_t port) {
    // SO_REUSEADDR would let another program bind the same port and take
    // connections meant for this one; exclusive use shuts that out.
    BOOL on = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A port held for exclusive use answers "access denied": for the user
        // that is a port in use, as elsewhere.
        const int error = WSAGetLastError();
        windows::RecordError(static_cast<DWORD>(error == WSAEACCES ? WSAEADDRINUSE : error));
        return false;
    }
    return true;
}

bool Listen(Socket socket, int backlog) {
    if (listen(socket, backlog) != 0) {
        RecordSocketError();
        return false;
    }
    return true;
}

Socket Accept(Socket listener) {
    const SOCKET accepted = accept(listener, nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        RecordSocketError();
        return kInvalidSocket;
    }
    KeepFromChildren(accepted);
    return accepted;
}

Socket AcceptNonBlocking(Socket listener) {
    const Socket accepted = Accept(listener);
    if (accepted != kInvalidSocket && !MakeNonBlocking(accepted)) {
        closesocket(accepted);
        return kInvalidSocket;
    }
    return accepted;
}

bool MakeNonBlocking(Socket socket) {
    u_long nonBlocking = 1;
    if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        RecordSocketError();
        return false;
    }
    return true;
}

bool WouldBlock() {
    return lastSocketError == WSAEWOULDBLOCK;
}

bool ConnectionAborted() {
    return lastSocketError == WSAECONNRESET || lastSocketError == WSAECONNABORTED ||
           lastSocketError == WSAEINTR;
}

WaitResult WaitReadable(Socket socket, int milliseconds) {
    return WaitFor(socket, POLLRDNORM, milliseconds);
}

WaitResult WaitWritable(Socket socket, int milliseconds) {
    return WaitFor(socket, POLLWRNORM, milliseconds);
}

long Receive(Socket socket, void* buffer, size_t count) {
    const int got = recv(socket, static_cast<char*>(buffer), ClampedCount(count), 0);
    if (got == SOCKET_ERROR) {
        RecordSocketError();
        return -1;
    }
    return got;
}

long Send(Socket socket, const void* buffer, size_t count, bool /*moreFollows*/) {
    // Windows raises no signal on a send to a vanished peer, and joins small
    // sends by itself (Nagle), so there is nothing more to ask for.
    const int put = send(socket, static_cast<const char*>(buffer), ClampedCount(count), 0);
    if (put == SOCKET_ERROR) {
        RecordSocketError();
        return -1;
    }
    return put;
}

long SendTwo(Socket socket, const void* first, size_t firstCount, const void* second,
             size_t secondCount, bool /*moreFollows*/) {
    WSABUF parts[2];
    parts[0].buf = const_cast<char*>(static_cast<const char*>(first));
    parts[0].len = static_cast<ULONG>(ClampedCount(firstCount));
    parts[1].buf = const_cast<char*>(static_cast<const char*>(second));
    parts[1].len = static_cast<ULONG>(firstCount > INT_MAX ? 0 : ClampedCount(secondCount));
    DWORD put = 0;
    if (WSASend(socket, parts, 2, &put, 0, nullptr, nullptr) == SOCKET_ERROR) {
        RecordSocketError();
        return -1;
    }
    return static_cast<long>(put);
}

void ShutdownSending(Socket socket) {
    shutdown(socket, SD_SEND);
}

void CloseSocket(Socket socket) {
    if (socket != kInvalidSocket) closesocket(socket);
}

uint16_t LocalPort(Socket socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

void SendAtOnce(Socket socket) {
    int on = 1;
    (void)setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on);
}

std::string PeerAddress(Socket socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return {};
    return text;
}

}  // namespace platform
