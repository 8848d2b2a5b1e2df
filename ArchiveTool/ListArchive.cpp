#include <charconv>

#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/OpenArchive.h"
#include "Platform/File.h"
#include "Shared/ReadEntry.h"

namespace {

// Lines are gathered and written in blocks of about this size: a quarter of a
// million entries would otherwise cost as many calls into stdio.
constexpr size_t kOutputBlock = size_t{64} * 1024;

void AppendNumber(std::string& out, uint32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

}  // namespace

int ListArchive(const std::string& archive, const ToolStreams& streams) {
    const std::optional<LoadedArchive> loaded = OpenArchive(archive, streams);
    if (!loaded) return kExitProblem;
    const bool sound = IndexSound(*loaded, streams);
    bool written = true;
    std::string block;
    block.reserve(kOutputBlock * 2);
    for (const EntryView entry : loaded->Entries) {
        AppendNumber(block, entry.UnpackedSize);
        block += '\t';
        AppendNumber(block, StoredSize(entry));
        block += IsCompressed(entry) ? "\tlzo\t" : "\traw\t";
        block += EscapedName(entry.Name);
        block += '\n';
        if (block.size() >= kOutputBlock) {
            written &= std::fwrite(block.data(), 1, block.size(), streams.out) == block.size();
            block.clear();
        }
    }
    written &= std::fwrite(block.data(), 1, block.size(), streams.out) == block.size();
    if (std::fflush(streams.out) == 0 && written) return sound ? kExitSound : kExitProblem;
    ReportLine(streams.err, "cannot write the list: " + platform::LastErrorText());
    return kExitProblem;
}
