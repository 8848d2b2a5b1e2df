#include "WebServer/UrlRoot.h"

#include <string_view>

namespace {

bool AllowedInRoot(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) return false;
    return c != '%' && c != '?' && c != '#' && c != '\\';
}

}  // namespace

std::optional<std::string> UrlRootOf(const std::string& value) {
    if (value.empty() || value.front() != '/' || value.size() > kMaxUrlRootLength) {
        return std::nullopt;
    }
    std::string_view rest(value);
    while (rest.size() > 1 && rest.back() == '/') rest.remove_suffix(1);
    if (rest == "/") return std::string();
    // Each segment after its "/".
    size_t at = 0;
    while (at < rest.size()) {
        const size_t next = rest.find('/', at + 1);
        const std::string_view segment = rest.substr(at + 1, next - at - 1);
        if (segment.empty() || segment == "." || segment == "..") return std::nullopt;
        for (char c : segment) {
            if (!AllowedInRoot(c)) return std::nullopt;
        }
        at = next == std::string_view::npos ? rest.size() : next;
    }
    return std::string(rest);
}

std::optional<std::string> PathUnderRoot(const std::string& path, const std::string& root) {
    if (root.empty()) return path;
    if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0 ||
        path[root.size()] != '/') {
        return std::nullopt;
    }
    return path.substr(root.size());
}
