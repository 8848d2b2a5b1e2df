#include "Library/ArchiveTitle.h"

#include "Search/PageText.h"
#include "Shared/EntryLookup.h"
#include "Shared/ReadEntry.h"

std::string StartPageTitle(const LoadedArchive& archive) {
    PreparePageTextExtraction();
    constexpr std::string_view kStartPage = "index.html";
    const EntryMatch match = FindEntry(archive, kStartPage);
    if (!match.Found) return {};
    std::string content;
    if (!ReadEntryStart(archive.File(), archive.FileSize, archive.Entries[match.Index],
                        kTitleReadBytes, content)) {
        return {};
    }
    // The text is not wanted: once some of it is there, the head is past.
    return ExtractPageText(
               kStartPage, content, kTitleReadBytes,
               [](std::string_view text, const std::vector<PageSection>&) { return !text.empty(); })
        .Title;
}
