#include "WebServer/ByteRange.h"

#include <limits>
#include <optional>

namespace {

constexpr uint64_t kMostPosition = std::numeric_limits<uint64_t>::max();

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Decimal digits only; a number too large for 64 bits is taken as the largest,
// which lies past the end of any body.
std::optional<uint64_t> PositionOf(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        value = value > (kMostPosition - digit) / 10 ? kMostPosition : value * 10 + digit;
    }
    return value;
}

// The one range of the set: its elements are split at commas, and empty ones
// (as HTTP lists allow) are passed over.
std::optional<std::string_view> OnlyRange(std::string_view set) {
    std::optional<std::string_view> only;
    for (;;) {
        const size_t comma = set.find(',');
        const std::string_view element = Trimmed(set.substr(0, comma));
        if (!element.empty()) {
            if (only) return std::nullopt;
            only = element;
        }
        if (comma == std::string_view::npos) return only;
        set.remove_prefix(comma + 1);
    }
}

}  // namespace

RangeChoice ChooseRange(std::string_view range, uint64_t length) {
    constexpr std::string_view kUnit = "bytes=";
    if (range.size() < kUnit.size()) return {};
    for (size_t i = 0; i < kUnit.size(); ++i) {
        if (AsciiLower(range[i]) != kUnit[i]) return {};
    }
    const std::optional<std::string_view> spec = OnlyRange(range.substr(kUnit.size()));
    if (!spec) return {};
    const size_t dash = spec->find('-');
    if (dash == std::string_view::npos) return {};
    const std::optional<uint64_t> first = PositionOf(spec->substr(0, dash));
    const std::string_view lastText = spec->substr(dash + 1);
    const std::optional<uint64_t> last = PositionOf(lastText);

    if (dash == 0) {
        // The last N bytes.
        if (!last) return {};
        if (*last == 0) return {RangeAnswer::NotSatisfiable};
        if (length == 0) return {};
        const uint64_t count = *last < length ? *last : length;
        return {RangeAnswer::Part, length - count, count};
    }
    if (!first || (!lastText.empty() && (!last || *last < *first))) return {};
    if (*first >= length) return {RangeAnswer::NotSatisfiable};
    const uint64_t end = !last || *last >= length - 1 ? length - 1 : *last;
    return {RangeAnswer::Part, *first, end - *first + 1};
}
