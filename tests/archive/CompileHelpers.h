// Compiles for the archive tests, and the bytes of the archives they expect.
#pragma once

#include <string>

#include "Platform/FaultInjection.h"
#include "Shared/ArchiveLayout.h"
#include "tests/support/CompileNow.h"

// Bytes of a little-endian 32-bit value, for building expected archives.
inline std::string U32(uint32_t value) {
    std::string out;
    PutU32(out, value);
    return out;
}

inline std::string U16(uint16_t value) {
    std::string out;
    PutU16(out, value);
    return out;
}

inline std::string Record(uint32_t unpacked, uint32_t packed, uint32_t offset,
                          const std::string& name) {
    return U32(unpacked) + U32(packed) + U32(offset) + U16(static_cast<uint16_t>(name.size())) +
           name;
}
