// Times as HTTP writes them: "Sun, 06 Nov 1994 08:49:37 GMT".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// `seconds` since 1970-01-01 UTC as an HTTP date (years 1 to 9999 only: a time
// outside them is written as the nearest end).
std::string FormatHttpDate(int64_t seconds);

// The seconds an HTTP date in the format above names. Nothing for any other
// text, the two obsolete date formats included: a date the server cannot
// read only costs the client a whole response.
std::optional<int64_t> ParseHttpDate(std::string_view text);
