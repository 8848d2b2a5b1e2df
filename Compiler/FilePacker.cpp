#include "Compiler/FilePacker.h"

#include <thread>

#include "Compiler/ParallelPacker.h"

void SequentialPacker::Pack(FileToPack file) {
    if (LeaveOutOverCapacity(run_)) return;
    run_.Progress.CurrentFileName.Set(file.fileName);
    AppendFile(PrepareFile(file, run_.Level, run_.OwnFiles, buffers_, nullptr), file.path, run_);
}

std::unique_ptr<FilePacker> MakeFilePacker(CompileRun& run, unsigned threads) {
    if (threads == 0) threads = std::thread::hardware_concurrency();
    if (threads > 1) {
        auto pool = std::make_unique<ParallelPacker>(run, threads);
        // Fewer than two workers could be started: packing on the compile
        // thread itself is as fast and simpler.
        if (pool->Workers() > 1) return pool;
    }
    return std::make_unique<SequentialPacker>(run);
}
