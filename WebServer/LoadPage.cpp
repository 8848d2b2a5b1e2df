#include "WebServer/LoadPage.h"

#include <cstring>
#include <memory>

#include "Platform/File.h"
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

SharedPage TextPage(PageKind kind, const char* text, const std::string& path) {
    const size_t textLength = std::strlen(text);
    SharedPage page;
    page.Body.Size = textLength + path.size();
    auto bytes = std::make_shared_for_overwrite<char[]>(page.Body.Size);
    std::memcpy(bytes.get(), text, textLength);
    std::memcpy(bytes.get() + textLength, path.data(), path.size());
    page.Body.Bytes = std::move(bytes);
    page.ContentType = kPlainText;
    page.Kind = kind;
    return page;
}

// The page for a resolved path: the entry's content, from `cache` when given
// and holding it, or the text that stands for it.
SharedPage ResolvedPage(const LoadedArchive& archive, const Resolution& resolved,
                        const PageRules& rules, PageCache* cache) {
    if (!resolved.Match.Found) return TextPage(PageKind::NotFound, kNotFoundText, resolved.Path);
    const TItem& entry = archive.Entries[resolved.Match.Index];
    SharedPage page;
    page.Entry = resolved.Match.Index;
    page.ContentType = ContentTypeOf(PageExtension(resolved.Path), rules.StandardTypes);
    if (cache != nullptr) {
        if (auto held = cache->Find(resolved.Match.Index)) {
            page.Body = std::move(*held);
            return page;
        }
    }
    if (!IsBackedByFile(entry, platform::FileSize64(archive.File()))) {
        return TextPage(PageKind::Damaged, kDamagedEntryText, resolved.Path);
    }
    auto bytes = std::make_shared_for_overwrite<char[]>(entry.UnpackedSize);
    // A short read or a damaged stream is still served: what the archive did
    // not deliver is zeros, never other memory. Such a body is not kept, so
    // that a file that has since been repaired is read again.
    const EntryReadResult result = ReadEntryContent(archive.File(), entry, bytes.get());
    page.Body = {std::move(bytes), entry.UnpackedSize};
    if (cache != nullptr && result == EntryReadResult::Read) {
        cache->Add(resolved.Match.Index, page.Body);
    }
    return page;
}

}  // namespace

PageRules PageRulesFor(const BrowseOptions& options) {
    PageRules rules;
    rules.Options = options;
    if (options.StandardTypes) rules.StandardTypes = MimeTypeTable::Read(kSystemMimeTypesPath);
    return rules;
}

Page LoadPage(const LoadedArchive& archive, const std::string& path, const PageRules& rules) {
    const SharedPage shared =
        ResolvedPage(archive, ResolvePath(archive, path, rules.Options), rules, nullptr);
    return {std::string(shared.Body.Bytes.get(), shared.Body.Size), shared.ContentType, shared.Kind,
            shared.Entry};
}

SharedPage LoadPage(const LoadedArchive& archive, const std::string& path, const PageRules& rules,
                    PageCache& cache) {
    return ResolvedPage(archive, ResolvePath(archive, path, rules.Options), rules, &cache);
}

std::optional<SharedPage> LoadPageIfQuick(const LoadedArchive& archive, const std::string& path,
                                          const PageRules& rules, PageCache& cache) {
    const Resolution resolved = ResolvePath(archive, path, rules.Options);
    if (resolved.Match.Found) {
        const TItem& entry = archive.Entries[resolved.Match.Index];
        if (IsCompressed(entry) && entry.UnpackedSize > kQuickLoadBytes &&
            !cache.Find(resolved.Match.Index)) {
            return std::nullopt;
        }
    }
    return ResolvedPage(archive, resolved, rules, &cache);
}
