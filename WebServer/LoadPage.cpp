#include "WebServer/LoadPage.h"

#include "Platform/File.h"
#include "Shared/ArchiveState.h"
#include "Shared/ReadEntry.h"
#include "WebServer/ContentTypes.h"
#include "WebServer/PageResolution.h"

namespace {

constexpr const char* kNotFoundText = "Cannot find the specified page: ";

// Said instead of the content of an entry whose recorded sizes the archive
// cannot back; reading it would mean allocating memory that can never be
// filled.
constexpr const char* kDamagedEntryText = "Cannot read the specified page from the archive: ";

constexpr const char* kPlainText = "text/plain";

Page TextPage(const char* text, const std::string& path) {
    Page page;
    page.Body = std::string(text) + path;
    page.ContentType = kPlainText;
    return page;
}

}  // namespace

PageRules PageRulesFor(const BrowseOptions& options) {
    PageRules rules;
    rules.Options = options;
    if (options.StandardTypes) rules.StandardTypes = MimeTypeTable::Read(kSystemMimeTypesPath);
    return rules;
}

Page LoadPage(const std::string& path, const PageRules& rules) {
    const Resolution resolved = ResolvePath(path, rules.Options);
    const std::string& normalized = resolved.Path;
    const EntryMatch match = resolved.Match;
    if (!match.Found) return TextPage(kNotFoundText, normalized);

    ArchiveState& archive = Archive;
    const TItem& entry = archive.EntryTable[match.Index];
    Page page;
    const EntryReadResult result =
        ReadEntry(archive.ArchiveHandle, platform::FileSize64(archive.ArchiveHandle), entry,
                  page.Body, &archive.ArchiveLock);
    // A short read or a damaged stream is still served: what the archive did
    // not deliver is zeros, never other memory.
    if (result == EntryReadResult::NotBacked) return TextPage(kDamagedEntryText, normalized);
    page.ContentType = ContentTypeOf(PageExtension(normalized), rules.StandardTypes);
    return page;
}
