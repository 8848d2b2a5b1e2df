#include "Compiler/ScanFolder.h"

#include <algorithm>
#include <vector>

#include "Platform/FolderEnumeration.h"

namespace {

// `above` holds the folders being walked, from the source folder down to the
// one that lists `folder`.
void Walk(const std::string& folder, std::vector<platform::FileIdentity>& above, CompileRun& run,
          FilePacker& packer) {
    platform::FolderEnumeration listing(folder);
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
        Walk(folder + "/" + entry.name, above, run, packer);
    }
    above.pop_back();
}

}  // namespace

void ScanFolder(const std::string& folder, CompileRun& run, FilePacker& packer) {
    std::vector<platform::FileIdentity> above;
    Walk(folder, above, run, packer);
}
