// Compressing one file's content at a level. The compile and the archive
// tool's repack share it, so that both make the same choice for the same bytes.
#pragma once

#include <cstdint>

#include "Compiler/CompileLevel.h"
#include "Compiler/ReusedBuffer.h"

// Where the stream is written, where the best level decompresses it again to
// check it, and the compressor's work memory; kept from one file to the next.
struct CompressionBuffers {
    ReusedBuffer output;
    ReusedBuffer check;
    ReusedBuffer work;
};

// The bytes `buffers` take to compress content of `size` bytes at `level`.
uint64_t CompressionMemory(uint64_t size, CompileLevel level);

// Compresses `size` bytes at `content` into buffers.output. Gives the stream's
// length when it is smaller than the content, and 0 when the content is to be
// stored as it is (not smaller, no memory, or a stream that did not
// decompress to the content).
uint32_t CompressContent(const unsigned char* content, uint32_t size, CompileLevel level,
                         CompressionBuffers& buffers);
