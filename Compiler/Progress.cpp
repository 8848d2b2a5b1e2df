#include "Compiler/Progress.h"

CompileProgress& Progress = *new CompileProgress;

void CompileProgress::MarkFinished() {
    {
        // Under the waiter's lock, so that the wake-up cannot fall between its
        // look at the flag and its sleep.
        std::lock_guard guard(finishLock_);
        CompileFinished = true;
    }
    finished_.notify_all();
}

bool CompileProgress::WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock guard(finishLock_);
    return finished_.wait_for(guard, timeout, [this] { return CompileFinished.load(); });
}

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
