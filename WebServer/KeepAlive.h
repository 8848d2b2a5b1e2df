// Persistent connections (--browse-keep-alive): when a connection may carry
// another request after its response, and the bounds that keep idle ones
// cheap and few.
#pragma once

#include <chrono>
#include <string_view>

#include "WebServer/RequestHead.h"

// How long a connection waits for its next request after a response. Long
// enough for a browser fetching a page's style sheets, scripts and images one
// after the other; short enough that idle connections do not pile up.
inline constexpr std::chrono::milliseconds kKeepAliveIdleWait{5000};

// Requests answered on one connection before it is closed, as other servers
// do, so that no peer holds one for ever.
inline constexpr unsigned kMaxRequestsPerConnection = 1000;

// Idle connections an event loop closes, the idlest first, when an accept
// fails for want of descriptors: room for the new peer and the next few.
inline constexpr unsigned kIdleClosedForRoom = 16;

// Whether the comma-separated list `value` (a Connection field) holds `token`,
// without regard to ASCII case.
bool HasToken(std::string_view value, std::string_view token);

// Whether the connection stays open after answering `request`, its
// `answered`-th request: an HTTP/1.1 request that does not ask for the close
// and carries no body (whose end the server would have to find), below
// kMaxRequestsPerConnection. HTTP/1.0 and anything else closes.
bool StaysOpenAfter(const RequestHead& request, unsigned answered);
