#include "Library/ArchiveName.h"

#include "Search/SearchPages.h"
#include "Shared/AnsiText.h"

bool IsArchiveFileName(std::string_view fileName) {
    return fileName.size() > kArchiveExtension.size() &&
           EqualIgnoringAsciiCase(fileName.substr(fileName.size() - kArchiveExtension.size()),
                                  kArchiveExtension);
}

std::string ArchiveNameOf(std::string_view fileName) {
    return std::string(fileName.substr(0, fileName.size() - kArchiveExtension.size()));
}

std::string PathSegmentOf(std::string_view name) {
    return PercentEncode(name, "");
}
