#include "Library/LiveLibrary.h"

#include <algorithm>

LiveLibrary::LiveLibrary(std::string folder, bool singleArchive, ArchiveLoader load,
                         NoteFunction note)
    : folder_(std::move(folder)),
      single_(singleArchive),
      load_(std::move(load)),
      note_(std::move(note)) {}

void LiveLibrary::Look() {
    FolderListing listing = single_ ? ListOneArchive(folder_) : ListArchiveFolder(folder_);
    const std::shared_ptr<const LibrarySnapshot> previous = Current();
    if (previous) {
        if (listing == previous->Listing) return;
        if (single_ && listing.Archives.empty()) return;
        if (listing.Listed != previous->Listing.Listed && !listing.Listed) {
            note_("library folder '" + folder_ + "' cannot be read: " + listing.Error);
        }
    }
    std::shared_ptr<const LibrarySnapshot> next =
        NextSnapshot(previous.get(), single_ ? std::string() : folder_, std::move(listing), load_);
    // A single archive replaced by one that cannot be served: the one served
    // so far stays, under the new listing, so that it is not tried again
    // until it changes once more.
    if (single_ && previous && !previous->Archives.empty() &&
        previous->Archives.front()->Problem.empty() && !next->Archives.front()->Problem.empty()) {
        note_("archive '" + folder_ + "' is not served: " + next->Archives.front()->Problem +
              "; the one before it still is");
        auto kept = std::make_shared<LibrarySnapshot>(*next);
        kept->Archives = previous->Archives;
        const std::lock_guard<std::mutex> hold(lock_);
        current_ = std::move(kept);
        return;
    }
    for (const auto& archive : next->Archives) {
        const bool isNew =
            !previous || std::find(previous->Archives.begin(), previous->Archives.end(), archive) ==
                             previous->Archives.end();
        if (isNew && !archive->Problem.empty()) {
            note_("archive '" + archive->File.FileName + "' is not served: " + archive->Problem);
        }
    }
    for (const std::string& line : next->Notes) note_(line);
    const std::lock_guard<std::mutex> hold(lock_);
    current_ = std::move(next);
}

std::shared_ptr<const LibrarySnapshot> LiveLibrary::Current() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return current_;
}
