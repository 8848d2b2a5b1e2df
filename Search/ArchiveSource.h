// The search's view of a loaded archive.
#pragma once

#include "Search/SearchSource.h"
#include "Shared/ArchiveState.h"

// The entries of `archive` and a reader of their content through its open
// handle (positional reads: any number of threads at once). The archive must
// stay loaded while the source is used.
SearchSource SourceOfArchive(const ArchiveState& archive);
