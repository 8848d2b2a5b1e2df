// The socket address tests bind to or connect to.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>

namespace testing_support {

// `host` (INADDR_LOOPBACK, INADDR_ANY) and `port`, both in host byte order.
inline sockaddr_in Ipv4Address(in_addr_t host, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host);
    return address;
}

}  // namespace testing_support
