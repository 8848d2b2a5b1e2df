#include "ArchiveTool/OpenArchive.h"

#include <cstdio>

#include "Shared/ArchiveLayout.h"

void ReportLine(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "pelorine-archive: %s\n", line.c_str());
}

std::optional<LoadedArchive> OpenArchive(const std::string& path, const ToolStreams& streams) {
    ArchiveLoad load = LoadArchive(path);
    if (!load.Archive) ReportLine(streams.err, "cannot open " + path + ": " + load.Error);
    return std::move(load.Archive);
}

bool IndexSound(const LoadedArchive& archive, const ToolStreams& streams) {
    const IndexReport& index = archive.Noticed;
    const char* problem =
        index.HeaderCut                     ? "the file is shorter than its 4-byte header"
        : index.IndexOffsetOutside          ? "its IndexOffset lies outside the file"
        : archive.IndexOffset < kHeaderSize ? "its IndexOffset lies inside the header"
        : index.LastRecordCut        ? "the last index record is cut short by the end of the file"
        : index.MoreRecordsThanTable ? "the index holds more records than an archive can have"
                                     : nullptr;
    if (problem == nullptr) return true;
    std::fprintf(streams.err, "damaged: %s\n", problem);
    return false;
}
