#include "WebServer/AccessLogLine.h"

#include <cstdio>

#include "WebServer/HttpDate.h"

namespace {

std::string Escaped(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e || c == '"' || c == '\\') {
            char hex[5];
            (void)std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            escaped += hex;
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

std::string Quoted(const std::optional<std::string>& field) {
    return "\"" + (field && !field->empty() ? Escaped(*field) : std::string("-")) + "\"";
}

}  // namespace

std::string AccessLogTime(int64_t seconds) {
    // From "Sun, 06 Nov 1994 08:49:37 GMT": day, month, year and time.
    const std::string date = FormatHttpDate(seconds);
    return date.substr(5, 2) + "/" + date.substr(8, 3) + "/" + date.substr(12, 4) + ":" +
           date.substr(17, 8) + " +0000";
}

std::string AccessLogLine(const AccessRecord& record) {
    return (record.PeerAddress.empty() ? std::string("-") : Escaped(record.PeerAddress)) +
           " - - [" + AccessLogTime(record.Time) + "] " + Quoted(record.RequestLine) + " " +
           std::to_string(record.Status) + " " + std::to_string(record.BodyBytes) + " " +
           Quoted(record.Referer) + " " + Quoted(record.UserAgent) + "\n";
}
