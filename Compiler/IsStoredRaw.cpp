#include "Compiler/IsStoredRaw.h"

#include <array>
#include <string_view>

#include "Shared/AnsiText.h"

namespace {

// Compared in this order; the first match wins.
constexpr std::array<std::string_view, 19> kStoredRawExtensions = {
    ".zip",  ".rar", ".arj", ".cab", ".tgz", ".gz",  ".7z",  ".gif", ".png",  ".jpg",
    ".jpeg", ".mp3", ".wma", ".ogg", ".wav", ".wmv", ".avi", ".mpg", ".mpge",
};

}  // namespace

bool IsStoredRaw(const std::string& fileName) {
    std::string extension = AsciiLower(ExtensionOf(fileName));
    for (std::string_view candidate : kStoredRawExtensions) {
        if (extension == candidate) return true;
    }
    return false;
}
