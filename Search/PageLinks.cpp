#include "Search/PageLinks.h"

#include <string>
#include <vector>

std::string LinkedName(std::string_view pageName, std::string_view href) {
    href = href.substr(0, href.find_first_of("?#"));
    if (href.empty() || href.starts_with("//")) return {};
    // "http:", "mailto:", "javascript:": a scheme stands before any "/".
    const size_t colon = href.find(':');
    if (colon != std::string_view::npos && colon < href.find('/')) return {};
    std::vector<std::string_view> parts;
    const auto add = [&](std::string_view path, bool last) -> bool {
        for (size_t at = 0; at <= path.size();) {
            const size_t end = std::min(path.find('/', at), path.size());
            const std::string_view part = path.substr(at, end - at);
            // The page's own name ends in itself, not in a folder.
            if (end == path.size() && !last) break;
            if (part == "..") {
                if (parts.empty()) return false;
                parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            at = end + 1;
        }
        return true;
    };
    if (!href.starts_with('/') && !add(pageName, false)) return {};
    if (!add(href, true)) return {};
    std::string name;
    for (const std::string_view part : parts) {
        if (!name.empty()) name += '/';
        name += part;
    }
    const bool folder = href.ends_with('/') || href.ends_with("/.") || href.ends_with("/..") ||
                        href == "." || href == "..";
    if (folder || name.empty()) name += name.empty() ? "index.html" : "/index.html";
    return name;
}
