#include "WebServer/RequestHead.h"

#include <string_view>

#include "Shared/AnsiText.h"
#include "WebServer/FieldText.h"

namespace {

void Add(std::optional<std::string>& field, std::string_view value) {
    if (field) {
        *field += ", ";
        *field += value;
    } else {
        field.emplace(value);
    }
}

}  // namespace

HeadProgress AppendToRequestHead(std::string& head, const char* bytes, size_t count, size_t* used) {
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\r') continue;
        if (head.size() == kMaxRequestLineLength) return HeadProgress::TooLong;
        head.push_back(c);
        if (c == '\n' && (head.size() == 1 || head[head.size() - 2] == '\n')) {
            if (used != nullptr) *used = i + 1;
            return HeadProgress::Complete;
        }
    }
    if (used != nullptr) *used = count;
    return HeadProgress::Incomplete;
}

bool HasRequestLine(const std::string& head) {
    return head.find('\n') != std::string::npos;
}

RequestHead ParseRequestHead(const std::string& head) {
    RequestHead parsed;
    const std::string_view text(head);
    size_t lineEnd = text.find('\n');
    parsed.Line = SplitRequestLine(std::string(text.substr(0, lineEnd)));
    while (lineEnd != std::string_view::npos) {
        const size_t start = lineEnd + 1;
        lineEnd = text.find('\n', start);
        // Only whole lines count: one cut short by a silence may lack its end.
        if (lineEnd == std::string_view::npos) break;
        const std::string_view line = text.substr(start, lineEnd - start);
        if (line.empty()) break;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || IsFieldBlank(line.front()) ||
            IsFieldBlank(line[colon - 1])) {
            continue;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = TrimmedField(line.substr(colon + 1));
        if (EqualIgnoringAsciiCase(name, "range")) Add(parsed.Range, value);
        if (EqualIgnoringAsciiCase(name, "if-range")) Add(parsed.IfRange, value);
        if (EqualIgnoringAsciiCase(name, "if-none-match")) Add(parsed.IfNoneMatch, value);
        if (EqualIgnoringAsciiCase(name, "if-modified-since")) Add(parsed.IfModifiedSince, value);
        if (EqualIgnoringAsciiCase(name, "connection")) Add(parsed.Connection, value);
        if (EqualIgnoringAsciiCase(name, "content-length")) Add(parsed.ContentLength, value);
        if (EqualIgnoringAsciiCase(name, "transfer-encoding")) Add(parsed.TransferEncoding, value);
        if (EqualIgnoringAsciiCase(name, "accept-encoding")) Add(parsed.AcceptEncoding, value);
        if (EqualIgnoringAsciiCase(name, "referer")) Add(parsed.Referer, value);
        if (EqualIgnoringAsciiCase(name, "user-agent")) Add(parsed.UserAgent, value);
    }
    return parsed;
}
