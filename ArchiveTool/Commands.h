// The commands of the archive tool. Each returns the program's exit
// status: kExitSound, or kExitProblem after one line per problem on
// streams.err.
#pragma once

#include <string>

#include "ArchiveTool/ToolStreams.h"

// One line per entry in index order: unpacked size, stored size, "lzo" or
// "raw", and the escaped name, separated by tabs.
int ListArchive(const std::string& archive, const ToolStreams& streams);

// The content of the entry `name` resolves to, as the server resolves a
// request path, on streams.out; nothing there when it names no entry or the
// entry is damaged.
int CatEntry(const std::string& archive, const std::string& name, const ToolStreams& streams);

// Every entry written below `folder`, never outside it.
int ExtractArchive(const std::string& archive, const std::string& folder, bool overwrite,
                   const ToolStreams& streams);

// Checks the whole archive: one line per problem, then a summary line on
// streams.out.
int VerifyArchive(const std::string& archive, const ToolStreams& streams);

// The pages that hold every one of `words`, best first: one line each, the
// entry's name and the page's title separated by a tab. The index is built
// first, or taken from the user's cache folder, as the server's search does.
int SearchArchive(const std::string& archive, const std::string& words,
                  const ToolStreams& streams);
