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
// head. `used`, when given, receives how many of the bytes were taken: those
// after a complete head are the next request's, on a persistent connection.
HeadProgress AppendToRequestHead(std::string& head, const char* bytes, size_t count,
                                 size_t* used = nullptr);

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
    // Given a default, so that a head written field by field may leave them out.
    // For persistent connections: whether to close, and whether a body follows.
    std::optional<std::string> Connection{};
    std::optional<std::string> ContentLength{};
    std::optional<std::string> TransferEncoding{};
    // For compressed responses.
    std::optional<std::string> AcceptEncoding{};
    // For the access log.
    std::optional<std::string> Referer{};
    std::optional<std::string> UserAgent{};
};

// Splits `head` into its request line (as SplitRequestLine) and the fields
// above. Field names match without regard to ASCII case; values lose the
// spaces and tabs around them. A line without ":", with a space or tab before
// it, or starting with one (an obsolete folded line), and a line after the
// head's empty line, are ignored.
RequestHead ParseRequestHead(const std::string& head);
