#include "Compiler/Progress.h"

std::string& SourceFolder = *new std::string;
std::string& CompileArchivePath = *new std::string;
std::atomic<bool> CompileStarted{false};
std::atomic<bool> CompileFinished{false};
SharedText& CurrentFileName = *new SharedText;
std::atomic<bool> CompileFailed{false};
SharedText& CompileError = *new SharedText;
LeftOutCounts& FilesLeftOut = *new LeftOutCounts;

void ResetCompileProgress() {
    CompileStarted = false;
    CompileFinished = false;
    CompileFailed = false;
    CurrentFileName.Set("");
    CompileError.Set("");
    FilesLeftOut.unreadable = 0;
    FilesLeftOut.tooLarge = 0;
    FilesLeftOut.overCapacity = 0;
}
