// Loading an archive for one command of the tool, through the same loader as
// the server.
#pragma once

#include <optional>
#include <string>

#include "ArchiveTool/ToolStreams.h"
#include "Shared/LoadedArchive.h"

// The archive at `path`; nothing, with a line on streams.err, when it cannot
// be opened.
std::optional<LoadedArchive> OpenArchive(const std::string& path, const ToolStreams& streams);

// Writes "pelorine-archive: " and `line` as one line on `stream`.
void ReportLine(std::FILE* stream, const std::string& line);

// Whether the index was read whole, as written; if not, one "damaged:" line
// on streams.err says why. The entries read before the damage stay usable,
// but a command that works on all of them must not call its work complete.
bool IndexSound(const LoadedArchive& archive, const ToolStreams& streams);
