#include "Compiler/ArchiveOutput.h"

bool ArchiveOutput::Append(const void* bytes, size_t count) {
    if (failed_) return false;
    size_t written = platform::WriteFile(file_, bytes, count);
    writePosition_ += static_cast<uint32_t>(written);
    if (written != count) {
        failed_ = true;
        error_ = platform::LastErrorText();
        return false;
    }
    return true;
}
