#include "WebServer/LoadPage.h"

#include <cstring>
#include <memory>

#include "Platform/File.h"
#include "Shared/ReadEntry.h"
#include "WebServer/ContentTypes.h"
#include "WebServer/PageResolution.h"
#include "WebServer/Site.h"

namespace {

constexpr const char* kNotFoundText = "Cannot find the specified page: ";

// Said instead of the content of an entry whose recorded sizes the archive
// cannot back; reading it would mean allocating memory that can never be
// filled.
constexpr const char* kDamagedEntryText = "Cannot read the specified page from the archive: ";

constexpr const char* kPlainText = "text/plain";

SharedPage TextPage(PageKind kind, const char* text, const std::string& path) {
    const size_t textLength = std::strlen(text);
    SharedBody body;
    body.Size = textLength + path.size();
    auto bytes = std::make_shared_for_overwrite<char[]>(body.Size);
    std::memcpy(bytes.get(), text, textLength);
    std::memcpy(bytes.get() + textLength, path.data(), path.size());
    body.Bytes = std::move(bytes);
    SharedPage page{ResponseBody::InMemory(std::move(body)), kPlainText};
    page.Kind = kind;
    return page;
}

// The whole content of a backed entry. A short read or a damaged stream is
// still served: what the archive did not deliver is zeros, never other
// memory.
SharedBody ReadWhole(platform::FileHandle file, const EntryView& entry, EntryReadResult& result) {
    auto bytes = std::make_shared_for_overwrite<char[]>(entry.UnpackedSize);
    result = ReadEntryContent(file, entry, bytes.get());
    return {std::move(bytes), entry.UnpackedSize};
}

}  // namespace

SharedPage NotFoundPage(const std::string& normalizedPath) {
    return TextPage(PageKind::NotFound, kNotFoundText, normalizedPath);
}

PageRules PageRulesFor(const BrowseOptions& options) {
    PageRules rules;
    rules.Options = options;
    if (options.StandardTypes) rules.StandardTypes = MimeTypeTable::Read(kSystemMimeTypesPath);
    return rules;
}

Page LoadPage(const LoadedArchive& archive, const std::string& path, const PageRules& rules) {
    const Resolution resolved = ResolvePath(archive, path, rules.Options);
    SharedPage shared;
    if (!resolved.Match.Found) {
        shared = TextPage(PageKind::NotFound, kNotFoundText, resolved.Path);
    } else {
        const EntryView entry = archive.Entries[resolved.Match.Index];
        if (!IsBackedByFile(entry, platform::FileSize64(archive.File()))) {
            shared = TextPage(PageKind::Damaged, kDamagedEntryText, resolved.Path);
        } else {
            EntryReadResult result;
            shared.Body = ResponseBody::InMemory(ReadWhole(archive.File(), entry, result));
            shared.ContentType = ContentTypeOf(PageExtension(resolved.Path), rules.StandardTypes);
            shared.Entry = resolved.Match.Index;
        }
    }
    const SharedBody& body = shared.Body.Memory;
    return {std::string(body.Bytes.get(), body.Size), shared.ContentType, shared.Kind,
            shared.Entry};
}

PageStart StartPage(Site& site, const std::string& path) {
    const Resolution resolved = ResolvePath(site.Archive, path, site.Rules.Options);
    PageStart start;
    auto text = [&](PageKind kind, const char* what) {
        start.Ready = TextPage(kind, what, resolved.Path);
        start.ContentType = kPlainText;
        return start;
    };
    if (!resolved.Match.Found) return text(PageKind::NotFound, kNotFoundText);
    const uint32_t index = resolved.Match.Index;
    const EntryView entry = site.Archive.Entries[index];
    const platform::FileHandle file = site.Archive.File();
    start.Entry = index;
    start.ContentType = ContentTypeOf(PageExtension(resolved.Path), site.Rules.StandardTypes);
    auto ready = [&](ResponseBody body) {
        start.Ready = SharedPage{std::move(body), start.ContentType, PageKind::Entry, index};
        return start;
    };
    if (auto cached = site.Cache.Find(index)) return ready(ResponseBody::InMemory(*cached));
    if (!IsBackedByFile(entry, platform::FileSize64(file))) {
        return text(PageKind::Damaged, kDamagedEntryText);
    }
    if (entry.UnpackedSize > kQuickLoadBytes) {
        if (!IsCompressed(entry)) {
            return ready(ResponseBody::FromFile(file, entry.DataOffset, entry.UnpackedSize));
        }
        if (auto held = site.Bodies.Held(index)) return ready(ResponseBody::InMemory(*held));
        return start;  // for the loader pool
    }
    EntryReadResult result;
    SharedBody body = ReadWhole(file, entry, result);
    // Not kept when short or damaged, so that a file since repaired is read again.
    if (result == EntryReadResult::Read) site.Cache.Add(index, body);
    return ready(ResponseBody::InMemory(std::move(body)));
}
