#include "ArchiveTool/OpenArchive.h"

#include "Platform/File.h"
#include "Shared/ArchiveState.h"

void ReportLine(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "pelorine-archive: %s\n", line.c_str());
}

bool OpenArchive(const std::string& path, const ToolStreams& streams, IndexReport* report) {
    Archive.Reset();
    if (LoadIndex(path, report)) return true;
    ReportLine(streams.err, "cannot open " + path + ": " + platform::LastErrorText());
    return false;
}
