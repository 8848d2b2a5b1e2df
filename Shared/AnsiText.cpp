#include "Shared/AnsiText.h"

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return text;
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
