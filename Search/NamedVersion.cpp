#include "Search/NamedVersion.h"

#include <algorithm>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNumber(std::string_view word) {
    return !word.empty() && AllDigits(word);
}

}  // namespace

std::vector<std::string> AskedVersion(const std::vector<QueryWord>& words) {
    std::vector<std::string> parts;
    for (size_t first = 0; first < words.size(); ++first) {
        // QueryWords gives a dotted number's first part its Number and no
        // Whole, and each further part both.
        if (!IsNumber(words[first].Word) || !words[first].Whole.empty() ||
            words[first].Number.empty()) {
            continue;
        }
        parts.emplace_back(words[first].Word);
        for (size_t part = first + 1; part < words.size() && IsNumber(words[part].Word) &&
                                      !words[part].Whole.empty() && !words[part].Number.empty();
             ++part) {
            parts.emplace_back(words[part].Word);
        }
        break;
    }
    if (parts.size() < 2) parts.clear();
    return parts;
}

VersionNamed VersionNamedIn(std::string_view name, const std::vector<std::string>& asked) {
    VersionNamed named = VersionNamed::None;
    for (size_t at = 0; at < name.size();) {
        // Each number is read whole below, so `at` never stands inside one.
        if (!IsDigit(name[at])) {
            ++at;
            continue;
        }
        std::vector<std::string_view> parts;
        size_t end = at;
        while (true) {
            const size_t start = end;
            while (end < name.size() && IsDigit(name[end])) ++end;
            parts.push_back(name.substr(start, end - start));
            if (end + 1 < name.size() && name[end] == '.' && IsDigit(name[end + 1])) {
                ++end;
                continue;
            }
            break;
        }
        at = end;
        if (parts.size() < 2) continue;
        const size_t common = std::min(parts.size(), asked.size());
        if (!std::equal(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(common),
                        asked.begin())) {
            if (named == VersionNamed::None) named = VersionNamed::Other;
        } else if (parts.size() == asked.size()) {
            return VersionNamed::Asked;
        }
    }
    return named;
}
