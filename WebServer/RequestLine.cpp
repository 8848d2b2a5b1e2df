#include "WebServer/RequestLine.h"

LineProgress AppendToRequestLine(std::string& line, const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\n') return LineProgress::Complete;
        if (c == '\r') continue;
        if (line.size() == kMaxRequestLineLength) return LineProgress::TooLong;
        line.push_back(c);
    }
    return LineProgress::Incomplete;
}

RequestLine SplitRequestLine(const std::string& line) {
    RequestLine parts;
    const size_t first = line.find(' ');
    if (first == std::string::npos) return parts;
    parts.Method = line.substr(0, first);
    const size_t second = line.find(' ', first + 1);
    if (second == std::string::npos) return parts;
    parts.Target = line.substr(first + 1, second - first - 1);
    parts.Version = line.substr(second + 1);
    return parts;
}

RequestTarget SplitTarget(const std::string& target) {
    const size_t question = target.find('?');
    if (question == std::string::npos) return {target, {}};
    return {target.substr(0, question), target.substr(question + 1)};
}
