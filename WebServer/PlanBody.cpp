#include "WebServer/PlanBody.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "Platform/File.h"
#include "Search/SearchPages.h"
#include "Shared/ReadEntry.h"
#include "WebServer/LibrarySearch.h"
#include "WebServer/ResponseCompression.h"
#include "WebServer/Site.h"

namespace {

// The search's answer to `normalizedPath` with `query`, its links under
// `root` (Site::Root: the server's root, then an archive's prefix in a
// library). It takes milliseconds: it runs on the loader pool.
SharedBody SearchBody(const SiteSearch& search, const std::string& normalizedPath,
                      const std::string& query, const std::string& root) {
    return SharedBodyOf(
        AnswerSearchRequest(normalizedPath, query, search, root).value_or(SearchResponse{}).Body);
}

}  // namespace

std::optional<ResponseBody> QuickBody(const RequestPlan& plan) {
    if (plan.Kind == PlanKind::Ready) return plan.Body;
    if (plan.Kind != PlanKind::Entry) return std::nullopt;
    if (plan.Body.Memory.Bytes) return plan.Body;  // the cache's, found by the route
    Site& site = *plan.Where;
    const uint32_t index = plan.Page.Entry;
    const EntryView entry = site.Archive.Entries[index];
    if (auto cached = site.Cache.Find(index)) return ResponseBody::InMemory(std::move(*cached));
    if (entry.UnpackedSize > kQuickLoadBytes) {
        if (!IsCompressed(entry)) {
            return ResponseBody::FromFile(site.Archive.File(), entry.DataOffset,
                                          entry.UnpackedSize);
        }
        if (auto held = site.Bodies.Held(index)) return ResponseBody::InMemory(std::move(*held));
        return std::nullopt;
    }
    // A short read or a damaged stream is still served: what the archive did
    // not deliver is zeros, never other memory.
    auto bytes = std::make_shared_for_overwrite<char[]>(entry.UnpackedSize);
    const EntryReadResult result = ReadEntryContent(site.Archive.File(), entry, bytes.get());
    SharedBody body{std::move(bytes), entry.UnpackedSize};
    // Not kept when short or damaged, so that a file since repaired is read again.
    if (result == EntryReadResult::Read) site.Cache.Add(index, body);
    return ResponseBody::InMemory(std::move(body));
}

void MakeBody(const RequestPlan& plan, LargeBodies::Delivery deliver) {
    if (plan.Kind == PlanKind::Search && plan.Where == nullptr && plan.Library) {
        // Across the library: the job holds the snapshot it asks.
        auto job = [library = plan.Library, path = plan.SearchPath, query = plan.SearchQuery,
                    root = plan.Rules->Options.UrlRoot, deliver]() {
            std::optional<SharedBody> body;
            try {
                body = LibrarySearchBody(*library, path, query, root);
            } catch (...) {
                body.reset();  // out of memory: the connection is closed
            }
            deliver(std::move(body));
        };
        if (plan.Loaders == nullptr || !plan.Loaders->Submit(std::move(job))) deliver(std::nullopt);
        return;
    }
    if (plan.Where == nullptr) return deliver(std::nullopt);
    Site& site = *plan.Where;
    if (plan.Kind == PlanKind::Entry)
        return site.Bodies.Request(plan.Page.Entry, std::move(deliver));
    if (plan.Kind != PlanKind::Search || site.Search == nullptr) return deliver(std::nullopt);
    // A query with its snippets takes milliseconds.
    auto job = [&search = *site.Search, path = plan.SearchPath, query = plan.SearchQuery,
                root = site.Root, deliver]() {
        std::optional<SharedBody> body;
        try {
            body = SearchBody(search, path, query, root);
        } catch (...) {
            body.reset();  // out of memory: the connection is closed
        }
        deliver(std::move(body));
    };
    if (!site.Loaders.Submit(std::move(job))) deliver(std::nullopt);
}

void MakeCompressedBody(Site& site, SharedBody plain, ContentCoding coding,
                        LargeBodies::Delivery deliver) {
    auto job = [plain = std::move(plain), coding, deliver]() {
        std::optional<SharedBody> compressed;
        try {
            compressed =
                CompressIfSmaller(coding, plain.Bytes.get(), plain.Size).value_or(SharedBody{});
        } catch (...) {
            compressed.reset();  // out of memory: the body goes plain
        }
        deliver(std::move(compressed));
    };
    if (!site.Loaders.Submit(std::move(job))) deliver(std::nullopt);
}
