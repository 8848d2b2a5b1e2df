// What the folder walk hands each file to, in walk order.
#pragma once

#include <memory>
#include <string>

#include "Compiler/CompileRun.h"
#include "Compiler/PackFile.h"

class FilePacker {
  public:
    virtual ~FilePacker() = default;
    // Packs the file at `path`, whose bare name is `fileName`, after every
    // file handed over before it.
    virtual void Pack(std::string path, std::string fileName) = 0;
    // Appends whatever is still in flight; called once, after the walk.
    virtual void Finish() {}
};

// Reads, compresses and appends each file in turn on the compile thread.
class SequentialPacker final : public FilePacker {
  public:
    explicit SequentialPacker(CompileRun& run) : run_(run) {}
    void Pack(std::string path, std::string fileName) override;

  private:
    CompileRun& run_;
    FileBuffers buffers_;  // kept from one file to the next
};

// The packer for `threads` threads (0: one per core): the sequential one for
// a single thread, else a pool of workers.
std::unique_ptr<FilePacker> MakeFilePacker(CompileRun& run, unsigned threads);
