#include "Compiler/CompressContent.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstring>

namespace {

// Work memory for each compressor; LZO1X-1 is given at least 131,072 bytes.
constexpr size_t kFastWorkMemory = std::max<size_t>(131072, LZO1X_1_MEM_COMPRESS);
constexpr size_t kBestWorkMemory = LZO1X_999_MEM_COMPRESS;

// The library's documented worst case for input that does not compress.
constexpr uint64_t CompressBound(uint64_t size) {
    return size + size / 16 + 64 + 3;
}

// The slow compressor is not the one every archive so far was made with: a
// stream it makes is put in the archive only once it has been seen to give
// back the content exactly.
bool GivesBack(const unsigned char* stream, lzo_uint length, const unsigned char* content,
               uint32_t size, ReusedBuffer& check) {
    unsigned char* const out = check.Reserve(size);
    if (out == nullptr) return false;
    lzo_uint produced = size;
    const int result = lzo1x_decompress_safe(stream, length, out, &produced, nullptr);
    return result == LZO_E_OK && produced == size && std::memcmp(out, content, size) == 0;
}

}  // namespace

uint64_t CompressionMemory(uint64_t size, CompileLevel level) {
    const uint64_t output = ReusedBuffer::RoundedSize(CompressBound(size));
    return level == CompileLevel::Best ? output + ReusedBuffer::RoundedSize(size) : output;
}

uint32_t CompressContent(const unsigned char* content, uint32_t size, CompileLevel level,
                         CompressionBuffers& buffers) {
    if (size == 0) return 0;
    unsigned char* const output = buffers.output.ReserveGrowing(CompressBound(size));
    unsigned char* const work =
        buffers.work.Reserve(level == CompileLevel::Fast ? kFastWorkMemory : kBestWorkMemory);
    if (output == nullptr || work == nullptr) return 0;
    lzo_uint length = 0;
    if (level == CompileLevel::Fast) {
        if (lzo1x_1_compress(content, size, output, &length, work) != LZO_E_OK) return 0;
    } else {
        if (lzo1x_999_compress(content, size, output, &length, work) != LZO_E_OK) return 0;
        if (length < size && !GivesBack(output, length, content, size, buffers.check)) return 0;
    }
    return length < size ? static_cast<uint32_t>(length) : 0;
}
