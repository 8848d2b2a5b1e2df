#include "Library/ArchiveFolder.h"

#include <algorithm>
#include <cerrno>

#include "Library/ArchiveName.h"
#include "Platform/FolderEnumeration.h"

FolderListing ListArchiveFolder(const std::string& folder) {
    FolderListing listing;
    platform::FolderEnumeration enumeration(folder);
    if (!enumeration.IsOpen()) {
        listing.ErrorNumber = errno;
        listing.Error = platform::LastErrorText();
        return listing;
    }
    listing.Listed = true;
    std::vector<std::string> names;
    platform::FolderEntry entry;
    while (enumeration.Next(entry)) {
        if (!entry.isFolder && IsArchiveFileName(entry.name))
            names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end());
    for (std::string& name : names) {
        ArchiveFile file{std::move(name), {}};
        // Gone since it was listed: the next look will not see it either.
        if (!platform::StampAt(ArchivePath(folder, file), file.Stamp)) continue;
        if (listing.Archives.size() == kMaxLibraryArchives) {
            ++listing.Beyond;
            continue;
        }
        listing.Archives.push_back(std::move(file));
    }
    return listing;
}

FolderListing ListOneArchive(const std::string& path) {
    FolderListing listing;
    listing.Listed = true;
    ArchiveFile file{path, {}};
    if (platform::StampAt(path, file.Stamp)) listing.Archives.push_back(std::move(file));
    return listing;
}

std::string ArchivePath(const std::string& folder, const ArchiveFile& file) {
    if (folder.empty()) return file.FileName;
    const char last = folder.back();
    if (last == '/' || last == '\\') return folder + file.FileName;
    return folder + "/" + file.FileName;
}
