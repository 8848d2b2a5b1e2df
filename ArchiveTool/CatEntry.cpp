#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/EntryProblem.h"
#include "ArchiveTool/OpenArchive.h"
#include "Shared/EntryLookup.h"
#include "Shared/ReadEntry.h"

int CatEntry(const std::string& archive, const std::string& name, const ToolStreams& streams) {
    const std::optional<LoadedArchive> loaded = OpenArchive(archive, streams);
    if (!loaded) return kExitProblem;
    const std::string normalized = NormalizePath(name);
    const EntryMatch match = FindEntry(*loaded, normalized);
    if (!match.Found) {
        ReportLine(streams.err, "no entry named " + EscapedName(normalized));
        return kExitProblem;
    }
    const EntryView entry = loaded->Entries[match.Index];
    std::string content;
    const EntryReadResult result = ReadEntry(loaded->File(), loaded->FileSize, entry, content);
    // Damaged content is never written: a partial file would pass for the real one.
    if (result != EntryReadResult::Read) {
        ReportLine(streams.err, EscapedName(entry.Name) + ": " + EntryProblemText(result));
        return kExitProblem;
    }
    if (std::fwrite(content.data(), 1, content.size(), streams.out) != content.size() ||
        std::fflush(streams.out) != 0) {
        ReportLine(streams.err, "cannot write the content: " + platform::LastErrorText());
        return kExitProblem;
    }
    return kExitSound;
}
