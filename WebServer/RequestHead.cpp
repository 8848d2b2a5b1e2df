#include "WebServer/RequestHead.h"

#include <string_view>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool NamesEqual(std::string_view name, std::string_view lowerCaseName) {
    if (name.size() != lowerCaseName.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (AsciiLower(name[i]) != lowerCaseName[i]) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

void Add(std::optional<std::string>& field, std::string_view value) {
    if (field) {
        *field += ", ";
        *field += value;
    } else {
        field.emplace(value);
    }
}

}  // namespace

HeadProgress AppendToRequestHead(std::string& head, const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\r') continue;
        if (head.size() == kMaxRequestLineLength) return HeadProgress::TooLong;
        head.push_back(c);
        if (c == '\n' && (head.size() == 1 || head[head.size() - 2] == '\n')) {
            return HeadProgress::Complete;
        }
    }
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
        if (colon == std::string_view::npos || colon == 0 || IsBlank(line.front()) ||
            IsBlank(line[colon - 1])) {
            continue;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = Trimmed(line.substr(colon + 1));
        if (NamesEqual(name, "range")) Add(parsed.Range, value);
        if (NamesEqual(name, "if-range")) Add(parsed.IfRange, value);
        if (NamesEqual(name, "if-none-match")) Add(parsed.IfNoneMatch, value);
        if (NamesEqual(name, "if-modified-since")) Add(parsed.IfModifiedSince, value);
    }
    return parsed;
}
