#pragma once

#include <string>

// Packs SourceFolder into the archive at CompileArchivePath. Runs on a worker
// thread of its own; the argument is not used. Reports through the values of
// Compiler/Progress.h only.
void CompileThread(void* unused);

// Where the archive is written until it is complete: beside the archive, so
// that putting it in place is one rename. A leftover from a killed run is
// simply overwritten by the next compile.
std::string PartialArchivePath(const std::string& archivePath);
