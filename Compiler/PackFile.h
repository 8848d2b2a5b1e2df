// Packing one file, in two halves: reading and compressing it, which any
// thread may do for any file, and appending it to the archive, which the
// compile thread does strictly in the walk's order. Every decision that
// depends on earlier files (the entry limit, the data area's end) is taken in
// the second half, so any number of threads gives the same archive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Compiler/CompileLevel.h"
#include "Compiler/CompileRun.h"
#include "Compiler/CompressContent.h"
#include "Compiler/ReusedBuffer.h"
#include "Platform/HeldFolder.h"

// A file read, and compressed when that made it smaller.
struct PreparedFile {
    enum class Outcome { Read, Unreadable, TooLarge };
    Outcome outcome = Outcome::Unreadable;
    uint32_t unpackedSize = 0;              // what the read delivered
    const unsigned char* stored = nullptr;  // the bytes to store, in the buffers
    uint32_t storedSize = 0;
    uint32_t packedSize = 0;  // 0 when stored raw
};

// A file the walk met: its path, its bare name, and the folder it was
// listed in, held open for opening it by that name.
struct FileToPack {
    std::string path;
    std::string fileName;
    platform::SharedFolder folder;
};

// Where a file's bytes and its compressed stream are held until appended.
struct FileBuffers {
    ReusedBuffer input;
    CompressionBuffers compression;
};

// Told how many bytes a file's buffers are about to take, once its size is
// known and before they are reserved; it may hold the caller back until that
// much memory may be used.
using MemoryGate = std::function<void(uint64_t bytes)>;

// Opens, reads and compresses `file` at `level`; one of `ownFiles` is
// unreadable. The result points into `buffers`, which must stay untouched
// until it is appended.
PreparedFile PrepareFile(const FileToPack& file, CompileLevel level,
                         const std::vector<platform::FileIdentity>& ownFiles, FileBuffers& buffers,
                         const MemoryGate& gate);

// Counts the file as over capacity when the entry table is full: true then,
// and the file must not be packed.
bool LeaveOutOverCapacity(CompileRun& run);

// Appends a prepared file as the next entry, or counts it as left out.
void AppendFile(const PreparedFile& file, const std::string& path, CompileRun& run);
