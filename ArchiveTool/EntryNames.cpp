#include "ArchiveTool/EntryNames.h"

#include "Shared/AnsiText.h"

std::string EscapedName(std::string_view name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::vector<std::string> SafeSegments(std::string_view name, std::string& refusal) {
    if (name.empty()) {
        refusal = "the name is empty";
        return {};
    }
    if (name.find('\0') != std::string_view::npos) {
        refusal = "the name holds a NUL byte";
        return {};
    }
    const std::string path = BackslashesToSlashes(std::string(name));
    if (path.front() == '/') {
        refusal = "the name is an absolute path";
        return {};
    }
    std::vector<std::string> segments;
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        std::string segment = path.substr(start, slash - start);
        if (segment.empty() || segment == "." || segment == "..") {
            refusal = segment.empty() ? "the name has an empty folder level"
                                      : "the name has a \"" + segment + "\" folder level";
            return {};
        }
        segments.push_back(std::move(segment));
        if (slash == std::string::npos) return segments;
        start = slash + 1;
    }
}
