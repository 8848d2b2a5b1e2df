// The part of a body a Range field asks for.
#pragma once

#include <cstdint>
#include <string_view>

enum class RangeAnswer {
    Whole,           // no single, well-formed byte range: the whole body, 200
    Part,            // First and Length name the part, 206
    NotSatisfiable,  // the range starts past the end, 416
};

struct RangeChoice {
    RangeAnswer Answer = RangeAnswer::Whole;
    uint64_t First = 0;
    uint64_t Length = 0;
};

// What the Range value `range` asks of a body of `length` bytes. Served as
// asked: "bytes=A-B" (B past the end means to the end), "bytes=A-" and
// "bytes=-N" (the last N bytes, all of them when N is more). A range that
// starts at or past the end, and a last 0 bytes, cannot be satisfied. Anything
// else, several ranges included, is answered with the whole body, as HTTP
// allows; so is a suffix range of an empty body, which no Content-Range can
// describe.
RangeChoice ChooseRange(std::string_view range, uint64_t length);
