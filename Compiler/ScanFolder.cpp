#include "Compiler/ScanFolder.h"

#include "Platform/FolderEnumeration.h"

void ScanFolder(const std::string& folder, CompileRun& run, FilePacker& packer) {
    platform::FolderEnumeration listing(folder);
    platform::FolderEntry entry;
    while (!run.Output.Failed() && !run.StopRequested() && listing.Next(entry)) {
        if (entry.isFolder) {
            if (entry.name != "." && entry.name != "..") {
                ScanFolder(folder + "/" + entry.name, run, packer);
            }
        } else {
            packer.Pack(folder + "/" + entry.name, entry.name);
        }
    }
}
