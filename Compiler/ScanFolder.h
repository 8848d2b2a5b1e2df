#pragma once

#include <string>

#include "Compiler/CompileRun.h"
#include "Compiler/FilePacker.h"

// Hands every file below `folder` to `packer`, depth-first: a subfolder's
// files come where the subfolder comes up in its parent's listing. `folder`
// is run.SourceFolder itself. Stops early once a write has failed or
// the compile is asked to stop. A folder reached again through a link, inside
// itself, is passed over.
void ScanFolder(const std::string& folder, CompileRun& run, FilePacker& packer);
