#include "Compiler/Progress.h"

CompileProgress& Progress = *new CompileProgress;

void CompileProgress::Reset() {
    CompileStarted = false;
    CompileFinished = false;
    CompileFailed = false;
    CurrentFileName.Set("");
    CompileError.Set("");
    FilesLeftOut.unreadable = 0;
    FilesLeftOut.tooLarge = 0;
    FilesLeftOut.overCapacity = 0;
    FilesPacked = 0;
    BytesPacked = 0;
    IndexOffset = 0;
}
