// Plug-in library errors and memory zones. On the real platform the library
// throws CDAEError with a host error code, and allocates in a zone that the
// plug-in selects around its own clean-up; here a zone is only remembered.
#pragma once

#include "platform/rtas/types.h"

constexpr ComponentResult noErr = 0;
constexpr ComponentResult kOutOfMemoryError = -108;
constexpr ComponentResult kInvalidControlIndexError = -7010;
constexpr ComponentResult kUnknownChunkError = -7011;
constexpr ComponentResult kBadChunkError = -7012;

class CDAEError {
public:
    explicit CDAEError(short code) : mCode(code) {}
    short GetErrorCode() const { return mCode; }

private:
    short mCode;
};

using PlugInZone = void*;
extern PlugInZone gPlugInZone;
// The zone new allocations go to; StSetZone switches it for a scope.
extern PlugInZone gCurrentZone;

class StSetZone {
public:
    explicit StSetZone(PlugInZone zone) : mPrevious(gCurrentZone) { gCurrentZone = zone; }
    ~StSetZone() { gCurrentZone = mPrevious; }
    StSetZone(const StSetZone&) = delete;
    StSetZone& operator=(const StSetZone&) = delete;

private:
    PlugInZone mPrevious;
};
