// CoreFoundation stand-in: reference-counted strings, arrays, numbers, data,
// dictionaries, and the bundle and URL of a loaded module. On the real
// platform these are the system's property-list objects; a unit hands them to
// the host (presets, parameter names, saved state) and each side releases
// what it was given.
//
// Every object starts with one reference; CFRelease of the last one frees
// it. Constant strings (CFSTR) live for the whole process and ignore retain
// and release. CFLiveObjectCount lets a host check that nothing leaked.
#pragma once

#include "platform/au/services_api.h"

#include <cstdint>

using CFIndex = long;
using CFTypeID = unsigned long;
using Boolean = unsigned char;
using CFStringEncoding = std::uint32_t;
using CFTypeRef = const void*;
using CFAllocatorRef = const void*;

struct CFStringObject;
struct CFArrayObject;
struct CFNumberObject;
struct CFDataObject;
struct CFDictionaryObject;
struct CFURLObject;
struct CFBundleObject;
using CFStringRef = const CFStringObject*;
using CFArrayRef = const CFArrayObject*;
using CFNumberRef = const CFNumberObject*;
using CFDataRef = const CFDataObject*;
using CFDictionaryRef = const CFDictionaryObject*;
using CFMutableDictionaryRef = CFDictionaryObject*;
using CFURLRef = const CFURLObject*;
using CFBundleRef = CFBundleObject*;
using CFPropertyListRef = CFTypeRef;

inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;
inline constexpr CFStringEncoding kCFStringEncodingMacRoman = 0;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

enum CFNumberType : CFIndex { kCFNumberSInt32Type = 3, kCFNumberSInt64Type = 4 };

// Array callbacks: only "retain the elements" (kCFTypeArrayCallBacks) or
// none (a null pointer: the array does not own its elements).
struct CFArrayCallBacks {
    CFIndex version;
};

extern "C" {
TARVEX_AU_SERVICES_API extern const CFArrayCallBacks kCFTypeArrayCallBacks;

TARVEX_AU_SERVICES_API CFTypeRef CFRetain(CFTypeRef object);
// A null object is ignored.
TARVEX_AU_SERVICES_API void CFRelease(CFTypeRef object);
TARVEX_AU_SERVICES_API CFIndex CFGetRetainCount(CFTypeRef object);
TARVEX_AU_SERVICES_API CFTypeID CFGetTypeID(CFTypeRef object);
TARVEX_AU_SERVICES_API Boolean CFEqual(CFTypeRef a, CFTypeRef b);
// Objects made and not yet freed in this process (constants excluded).
TARVEX_AU_SERVICES_API CFIndex CFLiveObjectCount();

TARVEX_AU_SERVICES_API CFTypeID CFStringGetTypeID();
TARVEX_AU_SERVICES_API CFTypeID CFArrayGetTypeID();
TARVEX_AU_SERVICES_API CFTypeID CFNumberGetTypeID();
TARVEX_AU_SERVICES_API CFTypeID CFDataGetTypeID();
TARVEX_AU_SERVICES_API CFTypeID CFDictionaryGetTypeID();
TARVEX_AU_SERVICES_API CFTypeID CFURLGetTypeID();

// The string keeps the bytes and their encoding; null text gives null.
TARVEX_AU_SERVICES_API CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator,
                                                             const char* text,
                                                             CFStringEncoding encoding);
// Copies the text with a terminator when it fits and the encoding is the
// string's own (or the text is plain ASCII); false otherwise.
TARVEX_AU_SERVICES_API Boolean CFStringGetCString(CFStringRef string, char* buffer,
                                                  CFIndex bufferSize, CFStringEncoding encoding);
// The process-wide constant string of that text.
TARVEX_AU_SERVICES_API CFStringRef CFSTR(const char* text);

TARVEX_AU_SERVICES_API CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values,
                                                CFIndex count, const CFArrayCallBacks* callBacks);
TARVEX_AU_SERVICES_API CFIndex CFArrayGetCount(CFArrayRef array);
// Null for an index out of range.
TARVEX_AU_SERVICES_API const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);

TARVEX_AU_SERVICES_API CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type,
                                                  const void* value);
TARVEX_AU_SERVICES_API Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value);

TARVEX_AU_SERVICES_API CFDataRef CFDataCreate(CFAllocatorRef allocator, const std::uint8_t* bytes,
                                              CFIndex length);
TARVEX_AU_SERVICES_API CFIndex CFDataGetLength(CFDataRef data);
TARVEX_AU_SERVICES_API const std::uint8_t* CFDataGetBytePtr(CFDataRef data);

// Keys and values are retained by the dictionary; keys compare with CFEqual.
TARVEX_AU_SERVICES_API CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator,
                                                                        CFIndex capacity,
                                                                        const void* keyCallBacks,
                                                                        const void* valueCallBacks);
TARVEX_AU_SERVICES_API void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key,
                                                 const void* value);
TARVEX_AU_SERVICES_API const void* CFDictionaryGetValue(CFDictionaryRef dictionary,
                                                        const void* key);
TARVEX_AU_SERVICES_API CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);

// The bundle of the loaded module that holds the address (not a new
// reference); null when the address belongs to no module.
TARVEX_AU_SERVICES_API CFBundleRef CFBundleGetBundleContainingAddress(const void* address);
TARVEX_AU_SERVICES_API CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
// The URL's file path with a terminator; false when it does not fit.
TARVEX_AU_SERVICES_API Boolean CFURLGetFileSystemRepresentation(CFURLRef url,
                                                                Boolean resolveAgainstBase,
                                                                std::uint8_t* buffer,
                                                                CFIndex maxLength);
}
