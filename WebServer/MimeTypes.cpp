#include "WebServer/MimeTypes.h"

#include <algorithm>
#include <vector>

#include "Platform/File.h"
#include "Shared/AnsiText.h"

namespace {

// Debian's list is about 100 KiB; a file many times that size is no such list,
// and reading stops here whatever it is.
constexpr size_t kMostBytesRead = size_t{4} * 1024 * 1024;

// Registered types and subtypes have at most 127 characters each.
constexpr size_t kLongestType = 255;
constexpr size_t kLongestExtension = 64;

// Bytes that may stand in a header field's value without quoting: printable
// ASCII, no space. Anything else in a list line marks it as not meant for us.
bool IsPrintableToken(std::string_view token) {
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < '\x7F'; });
}

bool IsMediaType(std::string_view type) {
    const size_t slash = type.find('/');
    return type.size() <= kLongestType && IsPrintableToken(type) && slash != 0 &&
           slash != std::string_view::npos && slash + 1 < type.size() &&
           type.find('/', slash + 1) == std::string_view::npos;
}

bool IsExtension(std::string_view extension) {
    return extension.size() <= kLongestExtension && IsPrintableToken(extension) &&
           extension.find('/') == std::string_view::npos;
}

std::vector<std::string_view> SplitAtBlanks(std::string_view line) {
    std::vector<std::string_view> tokens;
    constexpr std::string_view kBlanks = " \t\r\v\f";
    size_t start = line.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const size_t end = std::min(line.find_first_of(kBlanks, start), line.size());
        tokens.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kBlanks, end);
    }
    return tokens;
}

}  // namespace

MimeTypeTable MimeTypeTable::Read(const std::string& path) {
    const platform::FileHandle file = platform::OpenForReading(path);
    if (file == platform::kInvalidFile) return {};
    std::string text(kMostBytesRead, '\0');
    const size_t got = platform::ReadFile(file, text.data(), text.size());
    platform::CloseFile(file);
    text.resize(got);
    // A list cut short here must not end in half a line.
    if (got == kMostBytesRead) text.resize(text.rfind('\n') + 1);
    return Parse(text);
}

MimeTypeTable MimeTypeTable::Parse(std::string_view text) {
    MimeTypeTable table;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        line = line.substr(0, line.find('#'));
        const std::vector<std::string_view> tokens = SplitAtBlanks(line);
        if (tokens.size() < 2 || !IsMediaType(tokens[0])) continue;
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (!IsExtension(tokens[i])) continue;
            table.types_.try_emplace(AsciiLower(std::string(tokens[i])), tokens[0]);
        }
    }
    return table;
}

const char* MimeTypeTable::Find(const std::string& extension) const {
    const auto found = types_.find(extension);
    return found == types_.end() ? nullptr : found->second.c_str();
}
