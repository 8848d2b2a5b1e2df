// Loading an archive for one command of the tool, through the same loader and
// entry table as the server.
#pragma once

#include <string>

#include "ArchiveTool/ToolStreams.h"
#include "Shared/LoadIndex.h"

// Loads `path` into Archive (emptied first). False, with a line on
// streams.err, when it cannot be opened.
bool OpenArchive(const std::string& path, const ToolStreams& streams,
                 IndexReport* report = nullptr);

// Writes "pelorine-archive: " and `line` as one line on `stream`.
void ReportLine(std::FILE* stream, const std::string& line);
