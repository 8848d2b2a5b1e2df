// The text of request header fields: the spaces and tabs HTTP allows around
// values and list items do not count.
#pragma once

#include <string_view>

inline bool IsFieldBlank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view TrimmedField(std::string_view text) {
    while (!text.empty() && IsFieldBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsFieldBlank(text.back())) text.remove_suffix(1);
    return text;
}
