#include "ArchiveTool/OpenArchive.h"

void ReportLine(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "pelorine-archive: %s\n", line.c_str());
}

std::optional<LoadedArchive> OpenArchive(const std::string& path, const ToolStreams& streams) {
    ArchiveLoad load = LoadArchive(path);
    if (!load.Archive) ReportLine(streams.err, "cannot open " + path + ": " + load.Error);
    return std::move(load.Archive);
}
