#pragma once

#include <string>

#include "Compiler/CompileRun.h"
#include "Compiler/FilePacker.h"

// Hands every file below `folder` to `packer`, depth-first: a subfolder's
// files come where the subfolder comes up in its parent's listing. The top
// call passes run.SourceFolder itself. Stops early once a write has failed or
// the compile is asked to stop.
void ScanFolder(const std::string& folder, CompileRun& run, FilePacker& packer);
