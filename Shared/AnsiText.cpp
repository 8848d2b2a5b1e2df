#include "Shared/AnsiText.h"

std::string AsciiLower(std::string text) {
    for (char& c : text) c = LowerAsciiChar(c);
    return text;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAsciiChar(a[i]) != LowerAsciiChar(b[i])) return false;
    }
    return true;
}

std::string ExtensionOf(const std::string& name) {
    size_t separator = name.find_last_of(".\\:");
    if (separator == std::string::npos || name[separator] != '.') return {};
    return name.substr(separator);
}

std::string BackslashesToSlashes(std::string text) {
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}
