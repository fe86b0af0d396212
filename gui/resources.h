#pragma once

struct EmbeddedResource {
    const char* name;
    const unsigned char* data;
    unsigned long size;
};

// The images built into this module; null when the module carries none or the name is unknown.
const EmbeddedResource* findEmbeddedResource(const char* name);
