// What the folder walk hands each file to, in walk order.
#pragma once

#include <memory>
#include <string>

#include "Compiler/CompileRun.h"
#include "Compiler/PackFile.h"

class FilePacker {
  public:
    virtual ~FilePacker() = default;
    // Packs `file` after every file handed over before it.
    virtual void Pack(FileToPack file) = 0;
    // Appends whatever is still in flight; called once, after the walk.
    virtual void Finish() {}
};

// Reads, compresses and appends each file in turn on the compile thread.
class SequentialPacker final : public FilePacker {
  public:
    explicit SequentialPacker(CompileRun& run) : run_(run) {}
    void Pack(FileToPack file) override;

  private:
    CompileRun& run_;
    FileBuffers buffers_;  // kept from one file to the next
};

// The packer for `threads` threads (0: one per core): the sequential one for
// a single thread, else a pool of workers.
std::unique_ptr<FilePacker> MakeFilePacker(CompileRun& run, unsigned threads);
