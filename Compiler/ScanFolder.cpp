#include "Compiler/ScanFolder.h"

#include <algorithm>
#include <vector>

#include "Platform/FolderEnumeration.h"

namespace {

// Far deeper than any real site; it bounds the stack, the folders held open
// and the path built, whatever a hostile tree nests.
constexpr size_t kMostFolderLevels = 4096;

// `above` holds the folders being walked, from the source folder down to the
// one `listing` lists, whose path is `folder`. Each subfolder is opened
// through its parent, so a path longer than the system accepts whole is still
// walked; `folder` is extended for it and cut back afterwards.
void Walk(platform::FolderEnumeration& listing, std::string& folder,
          std::vector<platform::FileIdentity>& above, CompileRun& run, FilePacker& packer) {
    if (!listing.IsOpen()) return;
    above.push_back(listing.Identity());
    platform::FolderEntry entry;
    while (!run.Output.Failed() && !run.StopRequested() && listing.Next(entry)) {
        if (!entry.isFolder) {
            packer.Pack({folder + "/" + entry.name, entry.name, listing.Shared()});
            continue;
        }
        if (entry.name == "." || entry.name == "..") continue;
        // A link back into a folder being walked would never end.
        if (entry.identity && std::find(above.begin(), above.end(), *entry.identity) != above.end())
            continue;
        if (above.size() >= kMostFolderLevels) continue;
        const size_t length = folder.size();
        folder += "/" + entry.name;
        platform::FolderEnumeration sublisting(listing, entry.name, folder);
        Walk(sublisting, folder, above, run, packer);
        folder.resize(length);
    }
    above.pop_back();
}

}  // namespace

void ScanFolder(const std::string& folder, CompileRun& run, FilePacker& packer) {
    std::vector<platform::FileIdentity> above;
    std::string path = folder;
    platform::FolderEnumeration listing(path);
    Walk(listing, path, above, run, packer);
}
