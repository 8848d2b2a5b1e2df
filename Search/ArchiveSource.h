// The search's view of a loaded archive.
#pragma once

#include "Search/SearchSource.h"
#include "Shared/LoadedArchive.h"

// The entries of `archive` and a reader of their content through its open
// file (positional reads: any number of threads at once). The archive must
// outlive the source's use.
SearchSource SourceOfArchive(const LoadedArchive& archive);
