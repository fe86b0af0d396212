// Saved-settings chunks. On the real platform the host saves and restores a
// plug-in's settings as chunks: a fixed 56-byte header followed by the data,
// asked for by chunk ID. Here the header's fields are the library's own.
#pragma once

#include "platform/rtas/types.h"

#include <cstddef>
#include <cstdint>

struct SFicPlugInChunkHeader {
    std::int32_t fSize; // header and data together, in bytes
    std::int32_t fVersion;
    OSType fManufacturerID;
    OSType fProductID;
    OSType fPlugInID;
    OSType fChunkID;
    char fName[32];
};
constexpr std::size_t kChunkHeaderSize = 56;
static_assert(sizeof(SFicPlugInChunkHeader) == kChunkHeaderSize);

// A chunk as the host hands it over: a header with its data behind it.
struct SFicPlugInChunk : SFicPlugInChunkHeader {};

inline unsigned char* ChunkData(SFicPlugInChunk* chunk) {
    return reinterpret_cast<unsigned char*>(chunk) + kChunkHeaderSize;
}
