// One line of the access log, in the combined format other web servers write,
// so that the tools people already use read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What is logged of one response.
struct AccessRecord {
    std::string PeerAddress;  // "127.0.0.1"
    int64_t Time = 0;         // when the response ended, seconds since 1970-01-01 UTC
    std::string RequestLine;  // as received, without its line end
    int Status = 200;
    uint64_t BodyBytes = 0;  // of the body, as far as it was sent
    std::optional<std::string> Referer;
    std::optional<std::string> UserAgent;
};

// `peer - - [09/Dec/2026:16:27:54 +0000] "GET / HTTP/1.1" 200 512 "referer"
// "agent"` and a line feed. Times are written in UTC. In the quoted parts a
// '"', a '\' and every byte below 0x20 or above 0x7e becomes \xHH, so that no
// request can forge a line; an absent or empty field is "-".
std::string AccessLogLine(const AccessRecord& record);

// `seconds` as the log's time: "09/Dec/2026:16:27:54 +0000".
std::string AccessLogTime(int64_t seconds);
