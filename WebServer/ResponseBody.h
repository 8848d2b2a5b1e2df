// What follows a response's header on the wire: bytes held in memory (shared
// with the cache and with other connections), or a stretch of the archive file
// (a stored entry), sent from where it lies so that no peer makes the server
// hold a whole file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "Platform/File.h"
#include "WebServer/PageCache.h"

struct ResponseBody {
    // The bytes, when the body is in memory.
    SharedBody Memory;
    // The archive, when the body is a stretch of it (kInvalidFile otherwise).
    platform::FileHandle File = platform::kInvalidFile;
    // Where the bytes to send start: into Memory, or into File from its start.
    uint64_t Offset = 0;
    // How many bytes to send.
    uint64_t Size = 0;

    static ResponseBody InMemory(SharedBody body) {
        ResponseBody whole;
        whole.Size = body.Size;
        whole.Memory = std::move(body);
        return whole;
    }

    static ResponseBody FromFile(platform::FileHandle file, uint64_t offset, uint64_t size) {
        ResponseBody stretch;
        stretch.File = file;
        stretch.Offset = offset;
        stretch.Size = size;
        return stretch;
    }

    bool IsFile() const { return File != platform::kInvalidFile; }

    // The bytes [from, from + length) of this body, clamped to it.
    ResponseBody Part(uint64_t from, uint64_t length) const {
        ResponseBody part = *this;
        from = std::min(from, Size);
        part.Offset += from;
        part.Size = std::min(length, Size - from);
        return part;
    }
};
