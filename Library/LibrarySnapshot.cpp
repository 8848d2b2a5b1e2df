#include "Library/LibrarySnapshot.h"

#include <map>

#include "Library/ArchiveName.h"
#include "Library/ArchiveTitle.h"
#include "Shared/AnsiText.h"
#include "WebServer/PageResolution.h"

namespace {

std::shared_ptr<const LibraryArchive> Unchanged(const LibrarySnapshot* previous,
                                                const ArchiveFile& file) {
    if (previous == nullptr) return nullptr;
    for (const auto& archive : previous->Archives) {
        if (archive->File == file) return archive;
    }
    return nullptr;
}

// Names that differ only in case are each served under their own; the case
// blind fallback of FindArchive then finds neither.
std::vector<std::string> CaseClashes(
    const std::vector<std::shared_ptr<const LibraryArchive>>& all) {
    std::map<std::string, std::vector<std::string>> byLower;
    for (const auto& archive : all)
        byLower[AsciiLower(archive->Name)].push_back(archive->File.FileName);
    std::vector<std::string> notes;
    for (const auto& [lower, files] : byLower) {
        if (files.size() < 2) continue;
        std::string note = "archives whose names differ only in case:";
        for (const std::string& file : files) note += " '" + file + "'";
        notes.push_back(note + "; each is served under its own name exactly");
    }
    return notes;
}

}  // namespace

std::shared_ptr<const LibrarySnapshot> NextSnapshot(const LibrarySnapshot* previous,
                                                    const std::string& folder,
                                                    FolderListing listing,
                                                    const ArchiveLoader& load) {
    auto next = std::make_shared<LibrarySnapshot>();
    next->Folder = folder;
    for (const ArchiveFile& file : listing.Archives) {
        std::shared_ptr<const LibraryArchive> archive = Unchanged(previous, file);
        next->Archives.push_back(archive ? std::move(archive) : load(folder, file));
    }
    if (!folder.empty()) next->Notes = CaseClashes(next->Archives);
    if (listing.Beyond > 0) {
        next->Notes.push_back(std::to_string(listing.Beyond) + " archives beyond the first " +
                              std::to_string(kMaxLibraryArchives) + " are not served");
    }
    // Said once, not at every look.
    if (previous != nullptr) {
        std::erase_if(next->Notes, [&](const std::string& note) {
            return std::find(previous->Notes.begin(), previous->Notes.end(), note) !=
                   previous->Notes.end();
        });
    }
    next->Listing = std::move(listing);
    return next;
}

std::shared_ptr<const LibraryArchive> FindArchive(const LibrarySnapshot& snapshot,
                                                  std::string_view segment) {
    const auto served = [](const auto& archive) { return archive->Problem.empty(); };
    for (const auto& archive : snapshot.Archives) {
        if (served(archive) && archive->Segment == segment) return archive;
    }
    const std::optional<std::string> decoded = PercentDecode(std::string(segment));
    const std::string_view name = decoded ? std::string_view(*decoded) : segment;
    for (const auto& archive : snapshot.Archives) {
        if (served(archive) && archive->Name == name) return archive;
    }
    std::shared_ptr<const LibraryArchive> found;
    for (const auto& archive : snapshot.Archives) {
        if (!served(archive) || !EqualIgnoringAsciiCase(archive->Name, name)) continue;
        if (found) return nullptr;  // two such: neither is meant more than the other
        found = archive;
    }
    return found;
}

LibraryArchive LoadLibraryArchive(const std::string& folder, const ArchiveFile& file) {
    LibraryArchive library;
    library.File = file;
    library.Name = folder.empty() ? std::string() : ArchiveNameOf(file.FileName);
    library.Segment = PathSegmentOf(library.Name);
    library.Title = library.Name;
    if (!folder.empty() && library.Name == kReservedSegment) {
        library.Problem = "its name is the one the library keeps for its own pages";
        return library;
    }
    ArchiveLoad load = LoadArchive(ArchivePath(folder, file), ArchiveSharing::Replaceable);
    if (!load.Archive) {
        library.Problem = "cannot be opened: " + load.Error;
        library.ErrorNumber = load.ErrorNumber;
        return library;
    }
    const IndexReport& noticed = load.Archive->Noticed;
    if (!folder.empty() &&
        (noticed.HeaderCut || noticed.IndexOffsetOutside || load.Archive->Entries.empty())) {
        library.Problem = noticed.HeaderCut ? "not an archive: shorter than its header"
                          : noticed.IndexOffsetOutside
                              ? "damaged: its index would start past its end"
                              : "holds no entries";
        return library;
    }
    // The stamp of the file as opened: the name may lead to a newer one by now.
    library.File.Stamp = platform::FileStampOf(load.Archive->File());
    library.EntryCount = load.Archive->Entries.size();
    std::string title = StartPageTitle(*load.Archive);
    if (!title.empty()) library.Title = std::move(title);
    library.Archive = std::make_shared<const LoadedArchive>(std::move(*load.Archive));
    return library;
}
