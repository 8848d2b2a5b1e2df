// The request line with the header lines after it, as read when an opt-in
// option needs them (ranges, validators).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "WebServer/RequestLine.h"

enum class HeadProgress { Incomplete, Complete, TooLong };

// Appends received bytes to `head` up to the empty line that ends it: CR bytes
// are skipped, LF and every other byte kept, and bytes after the empty line
// dropped. An LF first (an empty request line) also completes it. TooLong once
// the head would exceed kMaxRequestLineLength, the one limit for the whole
// head.
HeadProgress AppendToRequestHead(std::string& head, const char* bytes, size_t count);

// Whether `head` holds a whole request line: then a peer that goes silent or
// closes its side is answered with the header lines it has sent.
bool HasRequestLine(const std::string& head);

// The fields the server acts on; each absent when not sent. A field sent on
// several lines is their values joined with ", ", as HTTP joins list fields,
// so that a field meant to appear once no longer parses when repeated.
struct RequestHead {
    RequestLine Line;
    std::optional<std::string> Range;
    std::optional<std::string> IfRange;
    std::optional<std::string> IfNoneMatch;
    std::optional<std::string> IfModifiedSince;
};

// Splits `head` into its request line (as SplitRequestLine) and the fields
// above. Field names match without regard to ASCII case; values lose the
// spaces and tabs around them. A line without ":", with a space or tab before
// it, or starting with one (an obsolete folded line), and a line after the
// head's empty line, are ignored.
RequestHead ParseRequestHead(const std::string& head);
