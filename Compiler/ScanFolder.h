#pragma once

#include <string>

// Packs every file below `folder` into the archive being written, depth-first:
// a subfolder's files enter the table where the subfolder comes up in its
// parent's listing. The top call passes SourceFolder itself, whose length cuts
// the entry names.
void ScanFolder(const std::string& folder);
