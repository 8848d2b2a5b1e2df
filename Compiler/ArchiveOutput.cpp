#include "Compiler/ArchiveOutput.h"

#include "Shared/EntryTable.h"

namespace {

// Only the compile thread writes the archive, so no lock is needed here.
bool writeFailed = false;
std::string writeError;

}  // namespace

bool AppendToArchive(const void* bytes, size_t count) {
    if (writeFailed) return false;
    size_t written = platform::WriteFile(ArchiveHandle, bytes, count);
    WritePosition += static_cast<uint32_t>(written);
    if (written != count) {
        writeFailed = true;
        writeError = platform::LastErrorText();
        return false;
    }
    return true;
}

bool ArchiveWriteFailed() {
    return writeFailed;
}
std::string ArchiveWriteError() {
    return writeError;
}

void ResetArchiveOutput() {
    writeFailed = false;
    writeError.clear();
}
