#include "WebServer/KeepAlive.h"

#include "Shared/AnsiText.h"
#include "WebServer/FieldText.h"

namespace {

constexpr std::string_view kPersistentVersion = "HTTP/1.1";

}  // namespace

bool HasToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const size_t comma = value.find(',');
        if (EqualIgnoringAsciiCase(TrimmedField(value.substr(0, comma)), token)) return true;
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

bool StaysOpenAfter(const RequestHead& request, unsigned answered) {
    if (request.Line.Version != kPersistentVersion) return false;
    if (request.Connection && HasToken(*request.Connection, "close")) return false;
    if (request.TransferEncoding) return false;
    if (request.ContentLength && *request.ContentLength != "0") return false;
    return answered < kMaxRequestsPerConnection;
}
